// dbsh --check and dbsh --repair as a user sees them: what they print and their exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "dao/dao_constants.h"
#include "engine/engine.h"
#include "tests/support/damaged_database.h"
#include "tools/dbsh_integrity.h"

namespace dbsh {
namespace {

using dao::Variant;

class DbshIntegrityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/geb_dbsh_XXXXXX";
    dir_ = mkdtemp(tmpl);
    ws_ = engine::CreateEngine()->CreateWorkspace("T", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
    path_ = dir_ + "/geb.mdb";
    auto db = ws_->CreateDatabase(path_);
    db->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), "
                "Personalnr LONG)");
    db->Execute("CREATE UNIQUE INDEX Personalnr ON Geburtstag (Personalnr)");
    for (int i = 1; i <= 5; ++i)
      db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"M\", " + std::to_string(i) + ")");
    db->Close();
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string dir_, path_;
  std::shared_ptr<dao::Workspace> ws_;
  std::ostringstream out_, err_;
};

TEST_F(DbshIntegrityTest, CheckSaysOkOrNamesTheProblemsAndTheRepair) {
  EXPECT_EQ(0, CheckDatabase(path_, out_, err_));
  EXPECT_EQ("ok\n", out_.str());
  out_.str("");
  EXPECT_EQ(1, CheckDatabase(dir_ + "/none.mdb", out_, err_));
  EXPECT_EQ("error 3024: Could not find file '" + dir_ + "/none.mdb'.\n", err_.str());

  testsupport::LoseIndexEntries(path_, "Geburtstag.Personalnr", [&] {
    auto db = ws_->OpenDatabase(path_);
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Neu\", 6)");
    db->Close();
  });
  EXPECT_EQ(1, CheckDatabase(path_, out_, err_));
  EXPECT_NE(std::string::npos, out_.str().find("missing from index Geburtstag.Personalnr")) << out_.str();
  EXPECT_NE(std::string::npos, out_.str().find("Repair it with dbsh --repair '" + path_ + "' NEW_FILE.")) << out_.str();
}

TEST_F(DbshIntegrityTest, RepairPrintsWhatItSavedAndRefused) {
  // A damaged unique index lets a second 6 in; the repair keeps the first.
  testsupport::LoseIndexEntries(path_, "Geburtstag.Personalnr", [&] {
    auto db = ws_->OpenDatabase(path_);
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Neu\", 6)");
    db->Close();
  });
  auto db = ws_->OpenDatabase(path_);
  db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Doppelt\", 6)");
  db->Close();
  const std::string repaired = dir_ + "/repaired.mdb";
  EXPECT_EQ(1, RepairDatabase(path_, repaired, out_, err_));
  EXPECT_NE(std::string::npos, out_.str().find("Geburtstag: 6 rows copied, 1 refused by a unique index or a rule (row ids 7)"))
      << out_.str();
  EXPECT_NE(std::string::npos, out_.str().find("What could be read was copied into " + repaired + ".")) << out_.str();
  out_.str("");
  EXPECT_EQ(0, CheckDatabase(repaired, out_, err_));
  // A sound file is copied whole; an existing target is refused.
  EXPECT_EQ(0, RepairDatabase(repaired, dir_ + "/copy.mdb", out_, err_));
  EXPECT_NE(std::string::npos, out_.str().find("Everything was copied into " + dir_ + "/copy.mdb.")) << out_.str();
  EXPECT_EQ(1, RepairDatabase(repaired, dir_ + "/copy.mdb", out_, err_));
  EXPECT_NE(std::string::npos, err_.str().find("error 3204: Database already exists")) << err_.str();
}

}  // namespace
}  // namespace dbsh
