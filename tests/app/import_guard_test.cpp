#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "app/import_guard.h"
#include "dao/dao_constants.h"
#include "engine/engine.h"
#include "engine/integrity.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/file_lock.h"
#include "tests/support/damaged_database.h"

namespace app {
namespace {

using dao::Variant;
using namespace std::chrono_literals;

class ImportGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/geb_guard_XXXXXX";
    dir_ = mkdtemp(tmpl);
    engine_ = engine::CreateEngine();
    ws_ = engine_->CreateWorkspace("Test", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
    path_ = dir_ + "/geburtstage.mdb";
    auto db = ws_->CreateDatabase(path_);
    db->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
                "Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
    db->Execute("CREATE INDEX Personalnr ON Geburtstag (Personalnr)");
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Meier\", 1001)");
    db->Close();
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string dir_, path_;
  std::shared_ptr<dao::DBEngine> engine_;
  std::shared_ptr<dao::Workspace> ws_;
};

TEST_F(ImportGuardTest, OneImportAtATimePerDatabaseFile) {
  auto db = ws_->OpenDatabase(path_);
  std::shared_ptr<void> first = PrepareImport(db, 0ms);
  ASSERT_NE(nullptr, first);
  // A second import of the same file, also under another name of it, waits and then gives up.
  ASSERT_EQ(0, ::symlink(path_.c_str(), (dir_ + "/link.mdb").c_str()));
  EXPECT_EQ(ImportLockFile(path_), ImportLockFile(dir_ + "/link.mdb"));
  auto other = ws_->OpenDatabase(dir_ + "/link.mdb");
  try {
    PrepareImport(other, 200ms);
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_NE(std::string::npos, e.Message().find("von einem anderen Import bearbeitet")) << e.Message();
    EXPECT_NE(std::string::npos, e.Message().find("unver\xC3\xA4ndert")) << e.Message();
  }
  first.reset();
  EXPECT_NE(nullptr, PrepareImport(other, 0ms));
  other->Close();
  db->Close();
  // A database that is no engine file has neither lock nor check.
  EXPECT_EQ(nullptr, PrepareImport(nullptr, 0ms));
}

TEST_F(ImportGuardTest, ADamagedDatabaseIsRefusedBeforeAnyChangeAndTheLockIsFreed) {
  testsupport::LoseIndexEntries(path_, "Geburtstag.Personalnr", [&] {
    auto db = ws_->OpenDatabase(path_);
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Neu\", 1002)");
    db->Close();
  });
  auto db = ws_->OpenDatabase(path_);
  try {
    PrepareImport(db, 0ms);
    FAIL();
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(engine::kDamagedDatabase, e.ErrorCode());
    EXPECT_NE(std::string::npos, e.Message().find("'" + path_ + "' is damaged")) << e.Message();
    EXPECT_NE(std::string::npos, e.Message().find("dbsh --repair")) << e.Message();
  }
  framework::TFileLock lock;
  EXPECT_TRUE(lock.Acquire(ImportLockFile(path_), 0ms));
  db->Close();
}

}  // namespace
}  // namespace app
