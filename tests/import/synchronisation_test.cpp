#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/date_time_fields.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "engine/engine.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/stop_request.h"
#include "import/synchronisation.h"
#include "engine/database.h"
#include "engine/database_core.h"
#include "tests/support/counting_vfs.h"

namespace import {
namespace {

using framework::Variant;

class RecordingProgress : public ProgressSink {
 public:
  void SetMax(int max) override { maxima.push_back(max); }
  void SetPosition(int position) override { last_position = position; }
  void Repaint() override { ++repaints; }
  std::vector<int> maxima;
  int last_position = -1;
  int repaints = 0;
};

struct Record {
  int32_t number;
  std::string birthday;  // dd.mm.yyyy
  std::string name;
  std::string phone;
  bool operator==(const Record& o) const {
    return number == o.number && birthday == o.birthday && name == o.name && phone == o.phone;
  }
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
  return os << r.number << "|" << r.birthday << "|" << r.name << "|" << r.phone;
}

class SynchronisationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::InstallCountingVfs();
    engine::RegisterEngineClasses();
  }

  void SetUp() override {
    framework::SetFormatSettings(framework::FormatSettings::German());
    char tmpl[] = "/tmp/geb_sync_XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/geburtstage.mdb";
    auto engine =
        std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    auto db = engine->CreateDatabase(path_);
    db->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
                "Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
    db->Execute("CREATE INDEX Personalnr ON Geburtstag (Personalnr)");
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) "
                "VALUES (\"Meier Hans\", #12/24/1970#, \"0711 1\", 1001)");
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) "
                "VALUES (\"Alt Anna\", #05/03/1950#, \"0711 2\", 1002)");
    db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) "
                "VALUES (\"Wolf Sabine\", #01/02/1980#, \"0711 3\", 1003)");
    db->Close();

    database_ = std::make_unique<dao::TUxDaoDatabase>(nullptr);
    database_->SetDatabase(path_);
    database_->SetConnected(true);
    table_ = std::make_unique<dao::TUxDaoTable>(nullptr);
    table_->SetDatabase(database_.get());
    table_->SetTableName("Geburtstag");
    table_->SetTableType(2);
    table_->SetLockType(3);
    // The persistent fields in the order the import relies on.
    AddField(new dataset::TIntegerField(table_.get()), "Personalnr");
    AddField(new dataset::TDateTimeField(table_.get()), "Geburtsdatum");
    AddField(new dataset::TStringField(table_.get()), "Mitarbeiter", 255);
    AddField(new dataset::TStringField(table_.get()), "Telefon", 255);
    AddField(new dataset::TAutoIncField(table_.get()), "ID");
  }

  void TearDown() override {
    table_.reset();
    database_.reset();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  void AddField(dataset::TField* field, const std::string& name, int size = 0) {
    field->SetFieldName(name);
    if (size > 0) field->SetSize(size);
    field->SetDataSet(table_.get());
  }

  // The grid as the loader leaves it: headings and one row per line.
  void Grid(const std::vector<std::vector<std::string>>& rows) {
    for (int c = 0; c < 4; ++c) grid_.SetCell(c, 0, "heading");
    for (size_t r = 0; r < rows.size(); ++r)
      for (int c = 0; c < 4; ++c) grid_.SetCell(c, static_cast<int>(r) + 1, rows[r][c]);
    grid_.SetRowCount(static_cast<int>(rows.size()) + 1);
  }

  // The table's records ordered by personnel number.
  std::vector<Record> Records() {
    auto engine =
        std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    auto db = engine->OpenDatabase(path_);
    auto rs = db->OpenRecordset(
        "SELECT Personalnr, Geburtsdatum, Mitarbeiter, Telefon FROM Geburtstag ORDER BY Personalnr",
        Variant(dao::dbOpenSnapshot));
    std::vector<Record> out;
    for (; !rs->Eof(); rs->MoveNext()) {
      auto f = rs->Fields();
      const Variant date = f->Item(1)->Value();
      out.push_back({f->Item(0)->Value().IsNull() ? -1 : f->Item(0)->Value().ToInt32(),
                     date.IsNull() ? "" : framework::FormatDateTime("dd.mm.yyyy", date.ToDate()),
                     f->Item(2)->Value().ToString(), f->Item(3)->Value().ToString()});
    }
    rs->Close();
    db->Close();
    return out;
  }

  std::string dir_, path_;
  std::unique_ptr<dao::TUxDaoDatabase> database_;
  std::unique_ptr<dao::TUxDaoTable> table_;
  TStringGrid grid_{4, 2, 0, 1};
  framework::TStringList protocol_;
  RecordingProgress progress_;
};

TEST_F(SynchronisationTest, UpdatesAddsAndDeletes) {
  protocol_.Add("Importprotokoll vom 07.12.2026");
  Grid({
      {"1001", "01.02.1971", "Meier Johann", "999"},  // exists: only the birthday changes
      {"2001", "01.01.1900", "Neu Nina", "0711 9"},   // new, with the replacement date
      {"1003", "", "Wolf Sabine", ""},                // no birthday: skipped, but kept
      {"2002", "x1.01.1990", "Kaputt Karl", ""},      // not digits and points: skipped
  });
  SynchroniseTable(grid_, *table_, protocol_, progress_);
  EXPECT_FALSE(table_->Active());
  EXPECT_EQ((std::vector<Record>{{1001, "01.02.1971", "Meier Hans", "0711 1"},
                                 {1003, "02.01.1980", "Wolf Sabine", "0711 3"},
                                 {2001, "01.01.1900", "Neu Nina", "0711 9"}}),
            Records());
  ASSERT_EQ(2, protocol_.Count());
  EXPECT_EQ("L\xC3\xB6sche 03.05.1950 Alt Anna / 1002", protocol_.Strings(1));
  // The progress bar counts the grid rows, then the records before deleting.
  EXPECT_EQ((std::vector<int>{5, 4}), progress_.maxima);
  EXPECT_EQ(3, progress_.last_position);
  EXPECT_EQ(8, progress_.repaints);

  SaveProtocol(protocol_, dir_);
  std::ifstream in(dir_ + "/Import.log", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ("Importprotokoll vom 07.12.2026\r\nL\xF6sche 03.05.1950 Alt Anna / 1002\r\n", bytes);
}

TEST_F(SynchronisationTest, RunningTheSameFileTwiceChangesNothingMore) {
  Grid({{"1001", "24.12.1970", "Meier Hans", ""}, {"1002", "03.05.1950", "Alt Anna", ""},
        {"1003", "02.01.1980", "Wolf Sabine", ""}});
  const std::vector<Record> before = Records();
  SynchroniseTable(grid_, *table_, protocol_, progress_);
  SynchroniseTable(grid_, *table_, protocol_, progress_);
  EXPECT_EQ(before, Records());
  EXPECT_EQ(0, protocol_.Count());
}

// The cost of the import's path in SQLite statements and lock calls per export row, counted with
// SQLite's trace hook and a counting VFS, on the mix of a typical export: most rows unchanged,
// 10% changed birthdays, 5% new numbers, 5% numbers gone.
TEST_F(SynchronisationTest, EachExportRowCostsFewStatementsAndLocks) {
  constexpr int kRows = 400;
  {
    auto engine = std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    auto db = engine->OpenDatabase(path_);
    db->Execute("DELETE FROM Geburtstag");
    for (int i = 0; i < kRows; ++i)
      db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES (\"Name " +
                  std::to_string(i) + "\", #01/01/1970#, \"0711\", " + std::to_string(5000 + i) + ")");
  }
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < kRows; ++i) {
    if (i % 20 == 7) continue;                                          // gone
    rows.push_back({std::to_string(5000 + i), i % 10 == 3 ? "02.01.1970" : "01.01.1970", "Name", "0711"});
  }
  for (int i = 0; i < kRows / 20; ++i) rows.push_back({std::to_string(9000 + i), "03.03.1983", "Neu", ""});
  Grid(rows);
  // Counting starts once the database is open, as the import finds it.
  int64_t statements = 0;
  auto core = engine::CoreOf(database_->CoreDatabase());
  sqlite3_trace_v2(core->connection->handle(), SQLITE_TRACE_STMT,
                   [](unsigned, void* count, void*, void* sql) {
                     // Statements of triggers are reported as comments; they are part of their statement.
                     if (static_cast<const char*>(sql)[0] != '-') ++*static_cast<int64_t*>(count);
                     return 0;
                   },
                   &statements);
  const int64_t locks_before = testsupport::LockCalls();
  SynchroniseTable(grid_, *table_, protocol_, progress_);
  sqlite3_trace_v2(core->connection->handle(), 0, nullptr, nullptr);
  const double per_row = static_cast<double>(rows.size());
  EXPECT_LE(static_cast<double>(statements) / per_row, 3.0) << statements << " statements";
  EXPECT_LE(static_cast<double>(testsupport::LockCalls() - locks_before) / per_row, 8.0)
      << testsupport::LockCalls() - locks_before << " lock calls";
  // And the work was done: changed birthdays, new records, deletions.
  const std::vector<Record> records = Records();
  EXPECT_EQ(records.size(), static_cast<size_t>(kRows - kRows / 20 + kRows / 20));
  EXPECT_EQ(protocol_.Count(), kRows / 20);
  EXPECT_EQ(records[3].birthday, "02.01.1970");
  EXPECT_EQ(records.back().number, 9000 + kRows / 20 - 1);
}

TEST_F(SynchronisationTest, AnEmptyTableWithEveryRowSkippedEndsNormally) {
  auto engine = std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
  engine->OpenDatabase(path_)->Execute("DELETE FROM Geburtstag");
  // No usable birthday: pass 1 adds nothing, pass 2 walks an open, empty table.
  Grid({{"1001", "", "Meier Hans", "0711 1"}, {"1002", "", "Alt Anna", "0711 2"}});
  RecordingProgress progress;
  SynchroniseTable(grid_, *table_, protocol_, progress);
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(protocol_.Count(), 0);
}

TEST_F(SynchronisationTest, AGridWithoutPersonnelNumbersIsRefusedAndDeletesNothing) {
  const std::vector<Record> before = Records();
  // Before any file was loaded the grid has one empty data row; a file without data lines
  // leaves only the heading row.
  EXPECT_THROW(SynchroniseTable(grid_, *table_, protocol_, progress_), framework::EDatabaseError);
  Grid({});
  EXPECT_THROW(SynchroniseTable(grid_, *table_, protocol_, progress_), framework::EDatabaseError);
  EXPECT_EQ(before, Records());
  EXPECT_EQ(0, protocol_.Count());
}

TEST_F(SynchronisationTest, ErrorsStopTheRunAndKeepWhatWasDone) {
  // A birthday of digits and points that is no date stops the run after the first row.
  Grid({{"1001", "01.02.1971", "Meier Hans", ""}, {"2001", "31.02.1970", "Neu Nina", ""},
        {"2002", "01.01.1990", "Nie Nils", ""}});
  EXPECT_THROW(SynchroniseTable(grid_, *table_, protocol_, progress_), framework::EConvertError);
  EXPECT_TRUE(table_->Active());
  std::vector<Record> records = Records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ("01.02.1971", records[0].birthday);
  table_->Close();

  // A personnel number that is no integer fails when the record is inserted.
  Grid({{"12a", "01.01.1990", "Zahl Zoe", ""}});
  EXPECT_THROW(SynchroniseTable(grid_, *table_, protocol_, progress_), framework::Exception);
  EXPECT_EQ(3u, Records().size());
  EXPECT_EQ(0, protocol_.Count());
}

TEST_F(SynchronisationTest, AStopRequestEndsTheRunBetweenTwoRecords) {
  // The request arrives while the second row is handled, as a signal would at any moment.
  class StoppingProgress : public RecordingProgress {
   public:
    void SetPosition(int position) override {
      RecordingProgress::SetPosition(position);
      if (++calls == 2) framework::RequestStop(15);
    }
    int calls = 0;
  } progress;
  Grid({{"1001", "01.02.1971", "Meier Hans", ""}, {"2001", "01.01.1990", "Neu Nina", ""},
        {"2002", "01.01.1991", "Nie Nils", ""}});
  EXPECT_THROW(SynchroniseTable(grid_, *table_, protocol_, progress), framework::EStopRequested);
  framework::ClearStopRequest();
  table_->Close();
  // The row being handled was finished, the next one never started, and nothing was deleted.
  const std::vector<Record> records = Records();
  ASSERT_EQ(4u, records.size());
  EXPECT_EQ("01.02.1971", records[0].birthday);
  EXPECT_EQ(2001, records[3].number);
  EXPECT_EQ(0, protocol_.Count());
}

}  // namespace
}  // namespace import
