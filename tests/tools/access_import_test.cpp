// dbsh --import-access on the genuine Access files of access-samples/ (Jet 3, Jet 4, ACE): the
// converted databases are read back through the engine and compared with what libmdb's own
// mdb-export reads, with spot values checked by hand; damaged, wrong and unreadable input; the
// progress of large tables; and the table writer on values the samples do not hold (AutoNumbers
// with gaps, large currency, long memos).
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "engine/engine.h"
#include "framework/date_time.h"
#include "tools/access/access_import.h"
#include "tools/access/access_reader.h"
#include "tools/access/table_writer.h"

namespace access_file {
namespace {

namespace fs = std::filesystem;
using dao::Variant;

const std::string kSamples = GEB_ACCESS_SAMPLES;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0) out.append(buffer.data(), n);
  ::pclose(p);
  return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

class AccessImport : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    dir_ = fs::temp_directory_path() / ("geb_access_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    fs::create_directories(dir_);
    engine_ = engine::CreateEngine();
  }
  void TearDown() override {
    db_.reset();
    fs::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Converts a sample into `name`; answers the exit status, the summary in `out_`.
  int Convert(const std::string& sample, const std::string& name = "out.db") {
    std::ostringstream out, err;
    const int status = ImportAccess(kSamples + "/" + sample, Path(name), out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  std::shared_ptr<dao::Database> Open(const std::string& name = "out.db") {
    db_ = engine_->OpenDatabase(Path(name), Variant(false), Variant(true));
    return db_;
  }
  // Files in the test folder other than `keep`.
  std::vector<std::string> Leftovers(const std::string& keep = "") const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != keep) out.push_back(e.path().filename().string());
    return out;
  }

  // Every value of every converted table equals what mdb-export reads from the Access file.
  void ExpectSameAsMdbExport(const std::string& sample) {
    auto tables = db_->TableDefs();
    for (int t = 0; t < tables->Count(); ++t) {
      auto def = tables->Item(t);
      if (def->Attributes() & dao::dbSystemObject) continue;
      const std::string name = def->Name();
      const std::string exported =
          Shell("mdb-export -H -e -Q -b hex -d '\t' -0 '\x01' -T '%Y-%m-%d %H:%M:%S' '" + kSamples + "/" + sample + "' '" + name + "'");
      std::vector<std::string> lines = Split(exported, '\n');
      if (!lines.empty() && lines.back().empty()) lines.pop_back();
      const std::vector<std::string> header = Split(Shell("mdb-export -d '\t' '" + kSamples + "/" + sample + "' '" + name + "' | head -1"), '\t');
      auto rs = db_->OpenRecordset(name, Variant(dao::dbOpenDynaset));
      ASSERT_EQ(static_cast<int>(lines.size()), rs->RecordCount()) << name;
      for (const std::string& line : lines) {
        const std::vector<std::string> cells = Split(line, '\t');
        ASSERT_EQ(header.size(), cells.size()) << name << ": " << line;
        for (size_t k = 0; k < header.size(); ++k) {
          std::string column = header[k];
          if (!column.empty() && column.back() == '\n') column.pop_back();
          std::shared_ptr<dao::Field> f;
          try {
            f = rs->Fields()->Item(column);
          } catch (const dao::EOleException&) {
            continue;  // a column that is reported as not carried over
          }
          ExpectSameValue(cells[k], f->Type(), f->Value(), name + "." + column);
        }
        rs->MoveNext();
      }
    }
  }

  static void ExpectSameValue(const std::string& exported, int type, const Variant& v, const std::string& where) {
    if (exported == "\x01" || (exported.empty() && v.IsNull() && type != dao::dbText && type != dao::dbMemo)) {
      EXPECT_TRUE(v.IsNull()) << where;
      return;
    }
    ASSERT_FALSE(v.IsNull()) << where << " exported as [" << exported << "]";
    switch (type) {
      case dao::dbText: case dao::dbMemo: {
        std::string escaped;
        for (char c : v.ToString()) {
          if (c == '\n') escaped += "\\n";
          else if (c == '\r') escaped += "\\r";
          else if (c == '\t') escaped += "\\t";
          else if (c == '\\') escaped += "\\\\";
          else escaped += c;
        }
        EXPECT_EQ(exported, escaped) << where;
        break;
      }
      case dao::dbBoolean: EXPECT_EQ(exported, v.ToBool() ? "1" : "0") << where; break;
      case dao::dbByte: case dao::dbInteger: case dao::dbLong: EXPECT_EQ(exported, std::to_string(v.ToInt64())) << where; break;
      case dao::dbCurrency: {
        const int64_t s = v.ToCurrencyScaled();
        char text[40];
        std::snprintf(text, sizeof text, "%s%lld.%04lld", s < 0 ? "-" : "", std::llabs(s) / 10000, std::llabs(s) % 10000);
        EXPECT_EQ(exported, text) << where;
        break;
      }
      case dao::dbSingle: case dao::dbDouble: case dao::dbDecimal: {
        const double d = std::strtod(exported.c_str(), nullptr);
        EXPECT_NEAR(d, v.ToDouble(), 1e-6 * std::max(1.0, std::fabs(d))) << where;
        break;
      }
      case dao::dbDate: {
        int y, m, d, h, n, s, ms;
        framework::DecodeDate(v.ToDate(), y, m, d);
        framework::DecodeTime(v.ToDate(), h, n, s, ms);
        char text[40];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
        EXPECT_EQ(exported, text) << where;
        break;
      }
      case dao::dbGUID: EXPECT_EQ("{guid " + exported + "}", v.ToString()) << where; break;
      case dao::dbBinary: case dao::dbLongBinary: {
        std::string hex;
        char two[3];
        for (uint8_t b : v.ToBytes()) {
          std::snprintf(two, sizeof two, "%02X", b);
          hex += two;
        }
        std::string upper = exported;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(upper, hex) << where;
        break;
      }
      default: ADD_FAILURE() << where << ": type " << type;
    }
  }

  fs::path dir_;
  std::shared_ptr<dao::DBEngine> engine_;
  std::shared_ptr<dao::Database> db_;
  std::string out_, err_;
};

struct FieldShape {
  const char* name;
  int type;
  int32_t size;
};

TEST_F(AccessImport, Jet3AndAceTablesFieldsIndexesAndValues) {
  for (const char* sample : {"testV1997.mdb", "testV2007.accdb"}) {
    SCOPED_TRACE(sample);
    const std::string before = ReadFile(kSamples + "/" + sample);
    ASSERT_EQ(kImportComplete, Convert(sample)) << err_;
    EXPECT_EQ(before, ReadFile(kSamples + "/" + sample));  // the source is never written
    EXPECT_EQ("Table1: 2 records, 2 indexes\nTable2: 0 records, 5 indexes\nTable3: 0 records, 2 indexes\n"
              "Table4: 0 records, 1 index\n", out_);
    EXPECT_EQ(std::vector<std::string>{"out.db"}, Leftovers());
    auto db = Open();
    auto fields = db->TableDefs()->Item("Table1")->Fields();
    const FieldShape shapes[] = {{"A", dao::dbText, 50}, {"B", dao::dbText, 100}, {"C", dao::dbByte, 1},
                                 {"D", dao::dbInteger, 2}, {"E", dao::dbLong, 4}, {"F", dao::dbDouble, 8},
                                 {"G", dao::dbDate, 8}, {"H", dao::dbCurrency, 8}, {"I", dao::dbBoolean, 1}};
    ASSERT_EQ(9, fields->Count());
    for (int k = 0; k < 9; ++k) {
      EXPECT_EQ(shapes[k].name, fields->Item(k)->Name());
      EXPECT_EQ(shapes[k].type, fields->Item(k)->Type()) << shapes[k].name;
      EXPECT_EQ(shapes[k].size, fields->Item(k)->Size()) << shapes[k].name;
    }
    EXPECT_FALSE(fields->Item("A")->AllowZeroLength());  // Access: AllowZeroLength = No
    EXPECT_TRUE(db->TableDefs()->Item("Table2")->Fields()->Item("column1")->AllowZeroLength());
    EXPECT_EQ("0", fields->Item("C")->DefaultValue());
    EXPECT_FALSE(fields->Item("E")->Required());
    auto indexes = db->TableDefs()->Item("Table1")->Indexes();
    ASSERT_EQ(2, indexes->Count());
    auto pk = indexes->Item("PrimaryKey");
    EXPECT_TRUE(pk->Primary());
    EXPECT_TRUE(pk->Unique());
    EXPECT_EQ("A", pk->Fields()->Item(0)->Name());
    EXPECT_FALSE(indexes->Item("B")->Unique());
    EXPECT_EQ(0, indexes->Item("B")->Fields()->Item(0)->Attributes() & dao::dbDescending);
    // The AutoNumber of Table3 and the Replication ID of Table4, whose default makes new GUIDs.
    EXPECT_NE(0, db->TableDefs()->Item("Table3")->Fields()->Item("a")->Attributes() & dao::dbAutoIncrField);
    auto guid = db->TableDefs()->Item("Table4")->Fields()->Item("data");
    EXPECT_EQ(dao::dbGUID, guid->Type());
    EXPECT_EQ("GenGUID()", guid->DefaultValue());

    // Values by hand: the second record of Table1.
    auto rs = db->OpenRecordset("SELECT * FROM Table1 WHERE A = 'abcdefg'", Variant(dao::dbOpenSnapshot));
    auto f = rs->Fields();
    EXPECT_EQ(Variant("hijklmnop"), f->Item("B")->Value());
    EXPECT_EQ(2, f->Item("C")->Value().ToInt32());
    EXPECT_EQ(222, f->Item("D")->Value().ToInt32());
    EXPECT_EQ(333333333, f->Item("E")->Value().ToInt32());
    EXPECT_EQ(444.555, f->Item("F")->Value().ToDouble());
    EXPECT_EQ(framework::EncodeDate(1974, 9, 21), f->Item("G")->Value().ToDate());
    EXPECT_EQ(35000, f->Item("H")->Value().ToCurrencyScaled());
    EXPECT_TRUE(f->Item("I")->Value().ToBool());
    rs->Close();
    ExpectSameAsMdbExport(sample);
    db->Close();

    // The converted database is an ordinary one: new records in the AutoNumber and GUID tables.
    auto rw = engine_->OpenDatabase(Path("out.db"));
    auto t3 = rw->OpenRecordset("Table3", Variant(dao::dbOpenDynaset));
    t3->AddNew();
    t3->Fields()->Item("b")->SetValue(Variant("neu"));
    t3->Update();
    t3->MoveFirst();
    EXPECT_EQ(1, t3->Fields()->Item("a")->Value().ToInt32());
    auto t4 = rw->OpenRecordset("Table4", Variant(dao::dbOpenDynaset));
    t4->AddNew();
    t4->Fields()->Item("name")->SetValue(Variant("x"));
    t4->Update();
    t4->MoveFirst();
    EXPECT_EQ(std::string("{guid {").size() + 38, t4->Fields()->Item("data")->Value().ToString().size());
    rw->Close();
    fs::remove(Path("out.db"));
  }
}

TEST_F(AccessImport, Jet4MemoOleUnicodeDatesAndDecimals) {
  ASSERT_EQ(kImportComplete, Convert("test2V2000.mdb")) << err_;
  EXPECT_EQ("MSP_PROJECTS: 1 record, 2 indexes\n", out_);
  auto db = Open();
  auto fields = db->TableDefs()->Item("MSP_PROJECTS")->Fields();
  EXPECT_EQ(74, fields->Count());
  EXPECT_EQ(dao::dbMemo, fields->Item("PROJ_PROP_AUTHOR")->Type());
  EXPECT_EQ(dao::dbLongBinary, fields->Item("RESERVED_BINARY_DATA")->Type());
  EXPECT_EQ(255, fields->Item("PROJ_NAME")->Size());
  auto rs = db->OpenRecordset("MSP_PROJECTS", Variant(dao::dbOpenSnapshot));
  auto f = rs->Fields();
  const std::string author = f->Item("PROJ_PROP_AUTHOR")->Value().ToString();
  EXPECT_EQ(348u, author.size());
  EXPECT_EQ(0u, author.rfind("Jon Iles this is a a vawesrasoih", 0));
  EXPECT_EQ(Variant("\xC2\xA3"), f->Item("PROJ_OPT_CURRENCY_SYMBOL")->Value());  // "£", not 0xA3
  EXPECT_EQ(22970u, f->Item("RESERVED_BINARY_DATA")->Value().ToBytes().size());
  EXPECT_TRUE(f->Item("PROJ_PROP_CATEGORY")->Value().IsNull());
  EXPECT_EQ(framework::EncodeDate(2006, 2, 3) + 8.0 / 24, f->Item("PROJ_INFO_CURRENT_DATE")->Value().ToDate());
  rs->Close();
  ExpectSameAsMdbExport("test2V2000.mdb");
  db->Close();

  fs::remove(Path("out.db"));
  ASSERT_EQ(kImportComplete, Convert("fixedNumericTestV2000.mdb")) << err_;
  db = Open();
  EXPECT_EQ(dao::dbDecimal, db->TableDefs()->Item("test")->Fields()->Item("col6")->Type());
  auto numbers = db->OpenRecordset("test", Variant(dao::dbOpenSnapshot));
  EXPECT_EQ(-1.0, numbers->Fields()->Item("col6")->Value().ToDouble());
  EXPECT_EQ(4.0, numbers->Fields()->Item("col5")->Value().ToDouble());
  numbers->Close();
  ExpectSameAsMdbExport("fixedNumericTestV2000.mdb");
}

TEST_F(AccessImport, IndexesRelationshipsQueriesAndComplexFieldsAreReported) {
  ASSERT_EQ(kImportPartial, Convert("indexTestV2000.mdb")) << err_;
  EXPECT_EQ("Table1: 4 records, 2 indexes\nTable2: 3 records, 2 indexes\nTable3: 4 records, 2 indexes\n"
            "Not carried over (2):\n"
            "  Table2Table1: relationship Table1 (otherfk1) to Table2 (id); the engine keeps no relationships\n"
            "  Table3Table1: relationship Table1 (otherfk2) to Table3 (id); the engine keeps no relationships\n",
            out_);
  auto db = Open();
  ExpectSameAsMdbExport("indexTestV2000.mdb");
  db->Close();
  fs::remove(Path("out.db"));

  ASSERT_EQ(kImportPartial, Convert("queryTestV2000.mdb")) << err_;
  EXPECT_NE(std::string::npos, out_.find("SelectQuery: select query\nNot carried over (8):\n")) << out_;
  for (const char* line : {"  UpdateQuery: update query; only select queries are carried over\n",
                           "  UnionQuery: union query; only select queries are carried over\n",
                           "  CrosstabQuery: crosstab query; only select queries are carried over\n",
                           "  PassthroughQuery: pass-through query; only select queries are carried over\n"})
    EXPECT_NE(std::string::npos, out_.find(line)) << line;
  db = Open();
  ASSERT_EQ(1, db->QueryDefs()->Count());
  auto q = db->QueryDefs()->Item("SelectQuery");
  EXPECT_EQ(dao::dbQSelect, q->Type());
  EXPECT_EQ(
      "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
      "FROM ([Table1] LEFT JOIN [Table3] ON Table1.col1 = Table3.col1) INNER JOIN [Table2] ON "
      "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\n"
      "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\nORDER BY Table2.col1;",
      q->SQL());
  auto rs = q->OpenRecordset(Variant(dao::dbOpenSnapshot));
  EXPECT_EQ(0, rs->RecordCount());
  EXPECT_EQ(6, rs->Fields()->Count());
  rs->Close();
  db->Close();
  fs::remove(Path("out.db"));

  ASSERT_EQ(kImportPartial, Convert("complexDataTestV2007.accdb")) << err_;
  // Every record of the file's own tables is read (one of its object list was moved to another
  // page), so nothing is reported as unreadable.
  const std::string left_out = "; the engine has no such field type, its values are left out\n";
  EXPECT_EQ("Table1: 4 records, 1 index\nNot carried over (6):\n"
            "  Table1.VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880: attachment, multi-value or version-history field" + left_out +
            "  Table1.multi-value-data: attachment, multi-value or version-history field" + left_out +
            "  Table1.attach-data: attachment, multi-value or version-history field" + left_out +
            "  Table1: index attach-data_071D71EDD53D45A1A9089929F06857D9; its field attach-data is not carried over\n"
            "  Table1: index multi-value-data_F4C67B0F60124C1989D5583C00CF76E2; its field multi-value-data is not carried over\n"
            "  Table1: index VersionHistory_F5F8918F-0A3F-4D_6E54CCBB170741DD8FD837271ED8B90C; its field "
            "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880 is not carried over\n",
            out_);
  db = Open();
  EXPECT_EQ(3, db->TableDefs()->Item("Table1")->Fields()->Count());  // id and the two memos
  ExpectSameAsMdbExport("complexDataTestV2007.accdb");
}

// A record that grew is moved to another page, where the flag 0x8000 in the top bits of its entry
// in the page's row table says so; it is read from the place in the low bits.
TEST_F(AccessImport, RecordsMovedToAnotherPageAreReadWhereTheyLie) {
  // The object list of complexDataTestV2007.accdb holds one: the table MSysNavPaneGroupToObjects.
  AccessReader reader(kSamples + "/complexDataTestV2007.accdb");
  const AccessTable objects = reader.ReadTable("MSysObjects");
  const auto column = [&](const std::string& name) {
    for (size_t k = 0; k < objects.columns.size(); ++k)
      if (objects.columns[k].name == name) return k;
    ADD_FAILURE() << name;
    return size_t{0};
  };
  const size_t id = column("Id"), name = column("Name"), type = column("Type");
  uint64_t records = 0;
  std::vector<int32_t> moved;
  reader.ReadRecords(objects, [&](const std::vector<Variant>& values) {
    ++records;
    EXPECT_FALSE(values[name].IsNull());
    if (!values[name].IsNull() && values[name].ToString() == "MSysNavPaneGroupToObjects") {
      moved.push_back(values[id].ToInt32());
      EXPECT_EQ(1, values[type].ToInt32());  // a table
    }
  });
  EXPECT_EQ(objects.record_count, records);
  EXPECT_EQ(std::vector<int32_t>{95}, moved);
  EXPECT_TRUE(reader.Queries().empty());
  EXPECT_TRUE(reader.Links().empty());
  EXPECT_TRUE(reader.Relationships().empty());  // those it holds are between Access's own tables
  EXPECT_EQ(0u, reader.UnreadableSystemRecords());

  // The same flag on two records of a user table: Table1 of indexTestV2000.mdb, whose records lie
  // on page 62 (row table at byte 14 of the page), the second at 0xFB9 and the fourth at 0xF6F.
  std::string bytes = ReadFile(kSamples + "/indexTestV2000.mdb");
  constexpr size_t kRowTable = 62 * 4096 + 14;
  for (const auto& [row, place] : {std::pair{1, 0xFB9}, std::pair{3, 0xF6F}}) {
    const size_t at = kRowTable + 2 * row;
    ASSERT_EQ(place, static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8) << row;
    bytes[at + 1] = static_cast<char>(bytes[at + 1] | 0x80);
  }
  std::ofstream(Path("moved.mdb"), std::ios::binary) << bytes;
  std::ostringstream out, err;
  ASSERT_EQ(kImportPartial, ImportAccess(Path("moved.mdb"), Path("out.db"), out, err)) << err.str();
  EXPECT_EQ(0u, out.str().find("Table1: 4 records, 2 indexes\nTable2: 3 records, 2 indexes\n")) << out.str();
  Open();
  ExpectSameAsMdbExport("indexTestV2000.mdb");  // the values of the file as it was
}

TEST_F(AccessImport, DamagedAndWrongInputFailWithoutDest) {
  // Cut short inside a page, cut at a page boundary, a page of garbage, not Access, not there.
  const std::string whole = ReadFile(kSamples + "/indexTestV2000.mdb");
  const std::string garbage = whole.substr(0, 4096 * 2) + std::string(4096, '\xA5') + whole.substr(4096 * 3);
  const std::string test2 = ReadFile(kSamples + "/test2V2000.mdb");
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"cut.mdb", whole.substr(0, 100000)},
      {"page.mdb", whole.substr(0, 65536)},
      {"test2.mdb", test2.substr(0, 4096 * 48)},
      {"garbage.mdb", garbage},
      {"text.mdb", "Standard Jet DB, but only in words\n"},
      {"empty.mdb", ""},
  };
  for (const auto& [name, bytes] : sources) {
    SCOPED_TRACE(name);
    std::ofstream(Path(name), std::ios::binary) << bytes;
    std::ostringstream out, err;
    EXPECT_EQ(kImportFailed, ImportAccess(Path(name), Path("dest.db"), out, err));
    EXPECT_EQ("", out.str());
    EXPECT_EQ(0u, err.str().rfind("dbsh: cannot convert '" + Path(name) + "': ", 0)) << err.str();
    EXPECT_FALSE(fs::exists(Path("dest.db")));
    EXPECT_EQ(std::vector<std::string>{name}, Leftovers()) << err.str();  // no temporary file either
    fs::remove(Path(name));
  }
  std::ostringstream out, err;
  EXPECT_EQ(kImportFailed, ImportAccess(Path("missing.mdb"), Path("dest.db"), out, err));
  EXPECT_NE(std::string::npos, err.str().find("cannot read")) << err.str();
  EXPECT_EQ(kImportFailed, ImportAccess(kSamples + "/README.md", Path("dest.db"), out, err));
  EXPECT_NE(std::string::npos, err.str().find("is not a Microsoft Access database")) << err.str();
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(AccessImport, LargeTablesShowTheirProgress) {
  // indexTestV2000.mdb: Table1 and Table3 hold 4 records, Table2 3. With tables over 3 records
  // counted as large, every second record and the end of each large table are shown.
  std::ostringstream progress;
  const Summary summary = ConvertAccess(kSamples + "/indexTestV2000.mdb", Path("steps.db"), progress, {3, 2});
  EXPECT_EQ("Table1: 2 of 4 records\nTable1: 4 of 4 records\nTable3: 2 of 4 records\nTable3: 4 of 4 records\n",
            progress.str());
  EXPECT_EQ("Table1: 4 records, 2 indexes", summary.carried.at(0));
  // A step that does not divide the count still ends with the whole count; small tables are quiet.
  std::ostringstream odd, quiet;
  ConvertAccess(kSamples + "/indexTestV2000.mdb", Path("odd.db"), odd, {3, 3});
  EXPECT_EQ("Table1: 3 of 4 records\nTable1: 4 of 4 records\nTable3: 3 of 4 records\nTable3: 4 of 4 records\n", odd.str());
  ConvertAccess(kSamples + "/indexTestV2000.mdb", Path("quiet.db"), quiet);
  EXPECT_EQ("", quiet.str());
}

// ImportAccess in a child process that has the rights of the user nobody when this one is root
// (root reads a file whatever its mode bits say); answers its exit status and error output.
std::pair<int, std::string> ImportWithoutRootRights(const std::string& source, const std::string& dest) {
  int channel[2];
  if (::pipe(channel) != 0) return {-1, "no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::ostringstream out, err;
    int status = 100;
    if (::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0))
      status = ImportAccess(source, dest, out, err);
    else
      err << "cannot take the rights of nobody: " << std::strerror(errno);
    const std::string text = err.str();
    if (::write(channel[1], text.data(), text.size()) < 0) status = 101;
    ::_exit(status);
  }
  ::close(channel[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return {-1, text};
  return {WEXITSTATUS(status), text};
}

TEST_F(AccessImport, UnreadableSourcesFailWithoutDest) {
  // A directory and a FIFO (opening it must not wait for a writer) are no files to read.
  fs::create_directory(Path("folder.mdb"));
  ASSERT_EQ(0, ::mkfifo(Path("fifo.mdb").c_str(), 0600));
  for (const auto& [name, reason] : {std::pair{"folder.mdb", "it is a directory"},
                                     std::pair{"fifo.mdb", "it is no regular file (a device, FIFO or socket)"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(kImportFailed, ImportAccess(Path(name), Path("dest.db"), out, err));
    EXPECT_EQ("dbsh: cannot convert '" + Path(name) + "': cannot read '" + Path(name) + "': " + reason + "\n", err.str());
  }
  // A genuine Access file without read permission.
  fs::copy_file(kSamples + "/testV1997.mdb", Path("locked.mdb"));
  fs::permissions(Path("locked.mdb"), fs::perms::none);
  const auto [status, err] = ImportWithoutRootRights(Path("locked.mdb"), Path("dest.db"));
  EXPECT_EQ(kImportFailed, status) << err;
  EXPECT_EQ("dbsh: cannot convert '" + Path("locked.mdb") + "': cannot read '" + Path("locked.mdb") +
                "': Permission denied\n",
            err);
  EXPECT_FALSE(fs::exists(Path("dest.db")));
  fs::permissions(Path("locked.mdb"), fs::perms::owner_read);
  EXPECT_EQ(ReadFile(kSamples + "/testV1997.mdb"), ReadFile(Path("locked.mdb")));
}

TEST_F(AccessImport, ExistingDestIsRefusedAndKept) {
  std::ofstream(Path("out.db")) << "mine";
  EXPECT_EQ(kImportFailed, Convert("testV1997.mdb"));
  EXPECT_NE(std::string::npos, err_.find("'" + Path("out.db") + "' already exists")) << err_;
  EXPECT_EQ("mine", ReadFile(Path("out.db")));
  EXPECT_EQ(std::vector<std::string>{"out.db"}, Leftovers());
}

// The table writer on the engine directly, with values the samples do not hold.
TEST_F(AccessImport, WriterKeepsAutoNumbersAndExactValues) {
  auto db = engine_->CreateDatabase(Path("w.db"));
  AccessTable t;
  t.name = "Geburtstag";
  const auto column = [](const char* name, int type, int32_t size) {
    AccessColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
  };
  t.columns = {column("ID", kLong, 4), column("Name", kText, 20), column("Betrag", kCurrency, 8),
               column("Datum", kDateTime, 8), column("Notiz", kMemo, 0), column("Bild", kOle, 0),
               column("Kennung", kGuid, 16), column("Anteil", kNumeric, 17)};
  t.columns[0].auto_number = true;
  t.columns[7].precision = 28;
  t.columns[7].scale = 10;
  t.indexes = {{"PrimaryKey", true, true, false, true, {{"ID", false}}}, {"Datum", false, false, true, false, {{"Datum", true}}}};
  std::vector<std::string> reported;
  TableWriter writer(db, t, [&](const std::string& item) { reported.push_back(item); });
  const std::string memo(200000, 'x');
  const std::vector<uint8_t> picture = {0, 1, 0, 255, 0};
  const std::vector<uint8_t> guid(16, 0xAB);
  writer.Add({Variant(9), Variant("Ärger 😀"), Variant::CurrencyScaled(INT64_MAX), Variant::Date(-36522.75),
              Variant(memo), Variant(picture), Variant(guid), Variant("-12.3456")});
  writer.Add({Variant(3), Variant(""), Variant::CurrencyScaled(-1), Variant::Date(0.5), Variant::Null(), Variant::Null(),
              Variant::Null(), Variant("12345678901234567.8901")});
  writer.Add({Variant(5), Variant::Null(), Variant::Null(), Variant::Null(), Variant(""), Variant::Null(), Variant::Null(),
              Variant::Null()});
  EXPECT_EQ(2, writer.Finish());
  ASSERT_EQ(1u, reported.size());
  EXPECT_EQ("Geburtstag.Anteil: 1 decimal value(s) with more digits than the engine's decimal fields hold (a double); "
            "the nearest double was written",
            reported[0]);

  auto rs = db->OpenRecordset("SELECT * FROM Geburtstag ORDER BY ID", Variant(dao::dbOpenDynaset));
  auto f = rs->Fields();
  EXPECT_EQ(3, f->Item("ID")->Value().ToInt32());
  EXPECT_EQ(Variant(""), f->Item("Name")->Value());  // empty text stays empty, not Null
  EXPECT_EQ(-1, f->Item("Betrag")->Value().ToCurrencyScaled());
  EXPECT_EQ(0.5, f->Item("Datum")->Value().ToDate());
  rs->MoveNext();
  EXPECT_EQ(5, f->Item("ID")->Value().ToInt32());
  EXPECT_TRUE(f->Item("Name")->Value().IsNull());
  EXPECT_EQ(Variant(""), f->Item("Notiz")->Value());
  rs->MoveNext();
  EXPECT_EQ(9, f->Item("ID")->Value().ToInt32());
  EXPECT_EQ(Variant("Ärger 😀"), f->Item("Name")->Value());
  EXPECT_EQ(INT64_MAX, f->Item("Betrag")->Value().ToCurrencyScaled());
  EXPECT_EQ(-36522.75, f->Item("Datum")->Value().ToDate());
  EXPECT_EQ(memo, f->Item("Notiz")->Value().ToString());
  EXPECT_EQ(picture, f->Item("Bild")->Value().ToBytes());
  EXPECT_EQ("{guid {ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB}}", f->Item("Kennung")->Value().ToString());
  EXPECT_EQ(-12.3456, f->Item("Anteil")->Value().ToDouble());
  // The next AutoNumber follows the largest kept one.
  rs->AddNew();
  f->Item("Name")->SetValue(Variant("neu"));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(10, f->Item("ID")->Value().ToInt32());
  rs->Close();
  auto datum = db->TableDefs()->Item("Geburtstag")->Indexes()->Item("Datum");
  EXPECT_TRUE(datum->IgnoreNulls());
  EXPECT_NE(0, datum->Fields()->Item(0)->Attributes() & dao::dbDescending);
  EXPECT_TRUE(db->TableDefs()->Item("Geburtstag")->Indexes()->Item("PrimaryKey")->Primary());
}

}  // namespace
}  // namespace access_file
