#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/com.h"
#include "framework/component.h"
#include "framework/exception.h"

namespace framework {
namespace {

// Records the removals it is told about and drops its reference, as components do.
class Watcher : public TComponent {
 public:
  Watcher(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log_(log) {}
  ~Watcher() override { log_->push_back("destroy " + Name()); }
  TComponent* peer = nullptr;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove) {
      log_->push_back(Name() + " sees removal of " + c->Name());
      if (c == peer) peer = nullptr;
    }
    TComponent::Notification(c, op);
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerDestroysChildrenAndSiblingsAreNotified) {
  std::vector<std::string> log;
  auto* owner = new Watcher(nullptr, &log);
  owner->SetName("Data");
  auto* a = new Watcher(owner, &log);
  a->SetName("Datenbank");
  auto* b = new Watcher(owner, &log);
  b->SetName("Fahrer");
  b->peer = a;
  EXPECT_EQ(a, owner->FindComponent("DATENBANK"));
  EXPECT_THROW(b->SetName("Datenbank"), EComponentError);
  EXPECT_THROW(b->SetName("1x"), EComponentError);
  delete a;
  EXPECT_EQ(nullptr, b->peer);  // the sibling dropped its reference
  EXPECT_EQ(1, owner->ComponentCount());
  delete owner;
  EXPECT_EQ("destroy Fahrer", log.back());  // children go after the owner's own destructor body
}

TEST(Component, FreeNotificationAcrossOwners) {
  std::vector<std::string> log;
  Watcher table(nullptr, &log);
  table.SetName("T");
  {
    Watcher db(nullptr, &log);
    db.SetName("D");
    table.peer = &db;
    db.FreeNotification(&table);
  }
  EXPECT_EQ(nullptr, table.peer);
}

TEST(Com, InitialisationCountsAndProgIds) {
  EXPECT_EQ(S_OK, CoInitialize());
  EXPECT_EQ(S_FALSE, CoInitialize());
  EXPECT_EQ(2, CoInitializeCount());
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many does no harm
  EXPECT_EQ(0, CoInitializeCount());
  struct Thing : OleObject {};
  RegisterOleClass("Test.Thing.1", [] { return std::make_shared<Thing>(); });
  EXPECT_TRUE(IsOleClassRegistered("test.thing.1"));
  EXPECT_NE(nullptr, std::dynamic_pointer_cast<Thing>(CreateOleObject("TEST.THING.1")));
  UnregisterOleClass("Test.Thing.1");
  EXPECT_THROW(CreateOleObject("Test.Thing.1"), EOleException);
}

}  // namespace
}  // namespace framework
