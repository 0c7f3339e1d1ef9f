// The integrity check and the repair of damaged database files, on files damaged the ways disks
// and crashes damage them: an index page from an older state (an index that misses a row), a
// page of flipped bits, a file cut short.
#include "engine/integrity.h"
#include "engine_test_support.h"
#include "framework/exception.h"
#include "tests/support/damaged_database.h"

namespace engine_test {
namespace {

using engine::IntegrityProblems;
using engine::RepairDatabase;

using testsupport::RawQuery;

class IntegrityTest : public EngineTest {
 protected:
  // The birthday table of `n` records with a unique index on Personalnr, closed (so that the
  // file holds every page and no write-ahead log).
  std::string MakeDatabase(int n) {
    CreateBirthdays(n);
    db_->Execute("DROP INDEX Personalnr ON Geburtstag");
    db_->Execute("CREATE UNIQUE INDEX Personalnr ON Geburtstag (Personalnr)");
    db_->Close();
    db_.reset();
    return Path("geb.db");
  }

  // Gives the index on Personalnr the page it had before one more record was added: the index
  // then misses that record, and the table and the other pages are sound.
  std::string IndexMissingARow() {
    const std::string path = MakeDatabase(20);
    testsupport::LoseIndexEntries(path, "Geburtstag.Personalnr", [&] {
      db_ = ws_->OpenDatabase(path);
      db_->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Neu\", 5000)");
      db_->Close();
      db_.reset();
    });
    return path;
  }

  int64_t Count(const std::string& path, const std::string& where = "") {
    auto db = ws_->OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT COUNT(*) AS n FROM Geburtstag" + where, Variant(dao::dbOpenSnapshot));
    const int64_t n = rs->Fields()->Item(0)->Value().ToInt32();
    rs->Close();
    db->Close();
    return n;
  }
};

TEST_F(IntegrityTest, ASoundDatabasePasses) {
  const std::string path = MakeDatabase(50);
  EXPECT_TRUE(IntegrityProblems(path).empty());
  db_ = ws_->OpenDatabase(path);
  EXPECT_NO_THROW(engine::CheckIntegrity(db_));
}

TEST_F(IntegrityTest, AnIndexThatMissesARowIsFoundAndRepaired) {
  const std::string path = IndexMissingARow();
  const std::vector<std::string> problems = IntegrityProblems(path);
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(std::string::npos, problems[0].find("missing from index Geburtstag.Personalnr")) << problems[0];

  // The check that runs before an import refuses it, naming the file and the repair.
  db_ = ws_->OpenDatabase(path);
  try {
    engine::CheckIntegrity(db_);
    FAIL();
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(engine::kDamagedDatabase, e.ErrorCode());
    EXPECT_NE(std::string::npos, e.Message().find("'" + path + "' is damaged")) << e.Message();
    EXPECT_NE(std::string::npos, e.Message().find("dbsh --repair '" + path + "' NEW_FILE")) << e.Message();
  }
  // What lets a damaged index spread damage: the unique index lets a second 5000 in.
  db_->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Doppelt\", 5000)");
  db_->Close();
  db_.reset();

  const std::string repaired = Path("repaired.db");
  const engine::RepairReport report = RepairDatabase(path, repaired);
  EXPECT_FALSE(report.Complete());
  EXPECT_TRUE(IntegrityProblems(repaired).empty());
  // Every record came along but the second 5000, which the rebuilt unique index refused.
  size_t refused = 0;
  for (const auto& t : report.tables) {
    if (t.name == "Geburtstag") {
      EXPECT_EQ(21, t.rows_copied);
      EXPECT_EQ(1u, t.rows_refused.size());
      EXPECT_TRUE(t.unreadable.empty());
    }
    refused += t.rows_refused.size();
  }
  EXPECT_EQ(1u, refused);
  EXPECT_EQ(21, Count(repaired));
  EXPECT_EQ(1, Count(repaired, " WHERE Personalnr = 5000 AND Mitarbeiter = \"Neu\""));
  // The repaired file is an ordinary database of the engine, its AutoNumber going on.
  auto db = ws_->OpenDatabase(repaired);
  db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES (\"Danach\", 6000)");
  auto rs = db->OpenRecordset("SELECT ID FROM Geburtstag WHERE Personalnr = 6000", Variant(dao::dbOpenSnapshot));
  EXPECT_EQ(23, rs->Fields()->Item(0)->Value().ToInt32());
  rs->Close();
  db->Close();
  EXPECT_EQ(dao::err::kDatabaseExists, ErrorOf([&] { RepairDatabase(path, repaired); }));
}

TEST_F(IntegrityTest, APageOfFlippedBitsLosesOnlyItsOwnRows) {
  const std::string path = MakeDatabase(3000);
  const int64_t page_size = RawQuery(path, "PRAGMA page_size");
  // A leaf page of the table's data in the middle of the file.
  const int64_t leaf = RawQuery(path, "SELECT pageno FROM dbstat WHERE name = 'Geburtstag' AND pagetype = 'leaf' "
                                      "ORDER BY pageno LIMIT 1 OFFSET 10");
  ASSERT_GT(leaf, 1);
  std::string bytes = testsupport::ReadFile(path);
  for (int64_t k = 8; k < page_size; k += 3) bytes[static_cast<size_t>((leaf - 1) * page_size + k)] ^= 0x5A;
  testsupport::WriteFile(path, bytes);

  EXPECT_FALSE(IntegrityProblems(path).empty());
  // Reading the damage says what it is, not that a record was changed by another user.
  auto db = ws_->OpenDatabase(path);
  try {
    auto rs = db->OpenRecordset("SELECT COUNT(Mitarbeiter) AS n FROM Geburtstag", Variant(dao::dbOpenSnapshot));
    FAIL() << rs->Fields()->Item(0)->Value().ToInt32();
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(engine::kDamagedDatabase, e.ErrorCode());
    EXPECT_NE(std::string::npos, e.Message().find("is damaged")) << e.Message();
  }
  db->Close();

  const std::string repaired = Path("repaired.db");
  const engine::RepairReport report = RepairDatabase(path, repaired);
  EXPECT_TRUE(IntegrityProblems(repaired).empty());
  int64_t copied = 0;
  for (const auto& t : report.tables)
    if (t.name == "Geburtstag") {
      copied = t.rows_copied;
      EXPECT_FALSE(t.unreadable.empty());
    }
  // One page of a few dozen rows is lost; the rows before and after it are saved.
  EXPECT_GT(copied, 2800);
  EXPECT_LT(copied, 3000);
  EXPECT_EQ(copied, Count(repaired));
  EXPECT_EQ(1, Count(repaired, " WHERE Personalnr = 1000"));
  EXPECT_EQ(1, Count(repaired, " WHERE Personalnr = 3999"));
}

TEST_F(IntegrityTest, OpeningSaysWhatIsWrongWithTheFile) {
  const std::string path = MakeDatabase(300);
  const std::string bytes = testsupport::ReadFile(path);
  testsupport::WriteFile(Path("cut.db"), bytes.substr(0, bytes.size() / 2));
  testsupport::WriteFile(Path("stub.db"), bytes.substr(0, 50));
  auto message_of = [&](const std::string& file, int expected_error) {
    try {
      ws_->OpenDatabase(file);
    } catch (const dao::EOleException& e) {
      EXPECT_EQ(expected_error, e.ErrorCode()) << file << ": " << e.Message();
      return e.Message();
    }
    ADD_FAILURE() << file << " opened";
    return std::string();
  };
  EXPECT_NE(std::string::npos, message_of(Path("cut.db"), engine::kDamagedDatabase).find("cut short"));
  EXPECT_NE(std::string::npos, message_of(Path("stub.db"), engine::kDamagedDatabase).find("cut short"));
  EXPECT_NE(std::string::npos, message_of("/dev/null", dao::err::kCannotOpenFile).find("'/dev/null': it is a device"));
  EXPECT_NE(std::string::npos, message_of(dir_.string(), dao::err::kCannotOpenFile).find("a directory"));
  EXPECT_NE(std::string::npos, message_of(Path("none.db"), dao::err::kFileNotFound).find("Could not find file"));
  testsupport::WriteFile(Path("text.db"), "Personalnr;Name\n");
  EXPECT_NE(std::string::npos, message_of(Path("text.db"), dao::err::kNotADatabase).find("not a database of this engine"));
  EXPECT_FALSE(IntegrityProblems(Path("cut.db")).empty());
}

}  // namespace
}  // namespace engine_test
