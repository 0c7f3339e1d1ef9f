// Two processes on one database file: a reader sees what the other commits, and a writer that
// meets the other's open transaction waits for the busy timeout and then fails with 3218.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

// Child: opens the file, changes Telefon of Personalnr 1000 inside a transaction, tells the
// parent (one byte on `ready`), waits for the parent's byte on `go`, commits.
[[noreturn]] void ChildWriter(const std::string& path, int ready, int go) {
  int status = 0;
  try {
    auto engine = engine::CreateEngine();
    auto ws = engine->CreateWorkspace("child", Variant("Admin"), Variant(""), Variant(dbUseJet));
    auto db = ws->OpenDatabase(path);
    ws->BeginTrans();
    db->Execute("UPDATE Geburtstag SET Telefon = \"vom Kind\" WHERE Personalnr = 1000");
    char c = 'r';
    if (write(ready, &c, 1) != 1) status = 2;
    if (read(go, &c, 1) != 1) status = 3;
    ws->CommitTrans();
    db->Close();
  } catch (...) {
    status = 1;
  }
  _exit(status);
}

TEST_F(EngineTest, TwoProcessesOnOneFile) {
  CreateBirthdays(3);
  db_->Close();
  const std::string path = Path("geb.db");
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) ChildWriter(path, ready[1], go[0]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);

  auto db = ws_->OpenDatabase(path, Variant(false), Variant(false), Variant(";BUSYTIMEOUT=300"));
  auto rs = db->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(dbOpenDynaset));
  // The reader sees the committed state, not the child's pending change.
  EXPECT_TRUE(rs->Fields()->Item("Telefon")->Value().ToString() != "vom Kind");
  // A writer waits for the busy timeout and then fails with a clear error.
  rs->Edit();
  rs->Fields()->Item("Telefon")->SetValue(Variant("vom Elternteil"));
  try {
    rs->Update();
    ADD_FAILURE() << "the update should have met the other's lock";
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), err::kLocked);
    EXPECT_NE(e.Message().find("locked by another user"), std::string::npos) << e.Message();
  }
  rs->CancelUpdate();

  c = 'g';
  ASSERT_EQ(write(go[1], &c, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // After the commit the reader sees the change when the record becomes current again.
  rs->Move(0);
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "vom Kind");
  rs->Edit();
  rs->Fields()->Item("Telefon")->SetValue(Variant("danach"));
  rs->Update();
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "danach");
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

}  // namespace
}  // namespace engine_test
