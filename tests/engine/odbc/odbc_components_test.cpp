// The connection and table components on ODBC data sources: the connect in both forms of the
// connect text and its errors, the table on a server table (open, walk, Locate, edit, insert,
// delete, a master-detail link by SQL), and the program's unattended import into PostgreSQL
// compared with the same import into an engine file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/data_source.h"
#include "engine/engine.h"
#include "framework/application.h"
#include "framework/date_time.h"
#include "framework/format_settings.h"
#include "framework/registry.h"
#include "framework/string_list.h"
#include "framework/text_encoding.h"
#include "tests/engine/odbc/odbc_test_support.h"

namespace odbc_test {
namespace {

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

framework::TStringList Lines(const std::vector<std::string>& lines) {
  framework::TStringList list;
  for (const auto& l : lines) list.Add(l);
  return list;
}

class ComponentsOnPg : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    framework::SetRegistry(nullptr);
    framework::Application().Initialize(nullptr);
    framework::SetFormatSettings(framework::FormatSettings::German());
  }
  void SetUp() override {
    admin_ = OpenPg();
    CreatePgBirthdays(*admin_);
    Exec(*admin_, "INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES "
                  "('Meier Hans', '1970-12-24', '0711 1', 1001), ('Alt Anna', '1950-05-03', NULL, 1002), "
                  "('Wolf Sabine', '1980-01-02', '0711 3', 1003)");
    // A Jet workspace with the whole connect text, as the program connects.
    database_ = std::make_unique<dao::TUxDaoDatabase>(nullptr);
    database_->SetName("Datenbank");
    database_->SetDatabaseType("ODBC");
    database_->SetDatabase(Servers::PgConnect());
  }
  void TearDown() override {
    table_.reset();
    database_.reset();
    admin_->Close();
  }
  std::unique_ptr<dao::TUxDaoTable> Table(const std::string& name, const std::string& table) {
    auto t = std::make_unique<dao::TUxDaoTable>(nullptr);
    t->SetName(name);
    t->SetDatabase(database_.get());
    t->SetTableName(table);
    return t;
  }
  static std::vector<std::string> Column(dao::TUxDaoTable& t, const std::string& field) {
    std::vector<std::string> out;
    for (t.GoFirst(); !t.AtEnd(); t.GoNext()) out.push_back(t.FieldNamed(field).AsString());
    return out;
  }

  std::shared_ptr<dao::Database> admin_;
  std::unique_ptr<dao::TUxDaoDatabase> database_;
  std::unique_ptr<dao::TUxDaoTable> table_;
};

TEST_F(ComponentsOnPg, TheConnectionComponentConnectsWithBothConnectTextsAndSaysWhyNot) {
  // The user's data sources come from the odbc.ini that $ODBCINI names.
  EXPECT_NE(-1, database_->UserDSNs().IndexOf(Servers::PgDsn()));
  EXPECT_NE(-1, database_->UserDSNs().IndexOf(Servers::SqliteDsn()));

  // The whole connect text in Database, on a Jet workspace (user Admin for the engine).
  database_->SetConnected(true);
  EXPECT_TRUE(database_->Connected());
  EXPECT_NE(database_->TableNames().IndexOf("geburtstag"), -1);
  database_->SetConnected(false);

  // The data source's name in Database with the server's user and password, on ODBCDirect.
  database_->SetEngineType(dao::dbUseODBC);
  database_->SetDatabase(Servers::PgDsn());
  database_->SetUserName(Servers::PgUser());
  database_->SetPassword(Servers::PgPassword());
  database_->SetConnected(true);
  EXPECT_TRUE(database_->Connected());
  database_->SetConnected(false);

  database_->SetDatabase(Servers::PgDsn());
  database_->SetUserName(Servers::PgUser());
  database_->SetPassword("falsch");
  const std::string wrong = MessageOf([&] { database_->SetConnected(true); });
  EXPECT_EQ(0u, wrong.find("ODBC--call failed.")) << wrong;
  EXPECT_NE(std::string::npos, wrong.find("password authentication failed")) << wrong;
  EXPECT_FALSE(database_->Connected());
  EXPECT_EQ(3146, database_->LastDaoError().Number);

  database_->SetDatabase("KeineQuelle");
  database_->SetPassword(Servers::PgPassword());
  const std::string unknown = MessageOf([&] { database_->SetConnected(true); });
  EXPECT_NE(std::string::npos, unknown.find("Data source name not found")) << unknown;
  EXPECT_FALSE(database_->Connected());
}

TEST_F(ComponentsOnPg, TheTableComponentWalksLocatesEditsInsertsAndDeletes) {
  database_->SetConnected(true);
  table_ = Table("Fahrer", "Geburtstag");
  table_->SetSortedBy(Lines({"Personalnr"}));
  table_->Open();
  EXPECT_EQ(3, table_->RecordCount());
  EXPECT_EQ((std::vector<std::string>{"Meier Hans", "Alt Anna", "Wolf Sabine"}), Column(*table_, "Mitarbeiter"));

  ASSERT_TRUE(table_->Locate("Personalnr", framework::Variant(1002), 0));
  EXPECT_EQ("Alt Anna", table_->FieldNamed("Mitarbeiter").AsString());
  EXPECT_TRUE(table_->FieldNamed("Telefon").IsNull());
  ASSERT_TRUE(table_->Locate("Mitarbeiter", framework::Variant("wolf"), dataset::loCaseInsensitive | dataset::loPartialKey));
  EXPECT_EQ(1003, table_->FieldNamed("Personalnr").AsInteger());
  EXPECT_FALSE(table_->Locate("Personalnr", framework::Variant(4711), 0));

  ASSERT_TRUE(table_->FindFirstMatch("Personalnr", framework::Variant(1002)));
  table_->BeginEdit();
  table_->FieldNamed("Telefon").SetAsString("0711 2");
  table_->FieldNamed("Geburtsdatum").SetAsDateTime(framework::EncodeDate(1951, 6, 4));
  table_->PostRecord();

  table_->StartAppend();
  table_->FieldNamed("Mitarbeiter").SetAsString("Neu Nina");
  table_->FieldNamed("Personalnr").SetAsInteger(2001);
  table_->PostRecord();
  EXPECT_EQ(4, table_->RecordCount());
  EXPECT_EQ("Neu Nina", table_->FieldNamed("Mitarbeiter").AsString());
  EXPECT_GT(table_->FieldNamed("ID").AsInteger(), 3);

  ASSERT_TRUE(table_->FindFirstMatch("Personalnr", framework::Variant(1001)));
  table_->DeleteRecord();
  EXPECT_EQ(3, table_->RecordCount());
  table_->Close();

  auto rs = admin_->OpenRecordset("SELECT Personalnr, Telefon, Geburtsdatum FROM Geburtstag ORDER BY Personalnr",
                                  Variant(dao::dbOpenSnapshot));
  std::vector<std::string> rows;
  for (; !rs->Eof(); rs->MoveNext())
    rows.push_back(rs->Fields()->Item(0)->Value().ToString() + ":" + rs->Fields()->Item(1)->Value().ToString());
  EXPECT_EQ((std::vector<std::string>{"1002:0711 2", "1003:0711 3", "2001:"}), rows);
  rs->MoveFirst();
  EXPECT_DOUBLE_EQ(framework::EncodeDate(1951, 6, 4), rs->Fields()->Item(2)->Value().ToDate());
}

TEST_F(ComponentsOnPg, ARecordAppendedOnODBCDirectBecomesTheCurrentRecord) {
  // On ODBCDirect the recordset stands past its end after the append and has no bookmark there;
  // the new record is found as the one last modified.
  database_->SetEngineType(dao::dbUseODBC);
  database_->SetDatabase(Servers::PgDsn());
  database_->SetUserName(Servers::PgUser());
  database_->SetPassword(Servers::PgPassword());
  database_->SetConnected(true);
  table_ = Table("Fahrer", "Geburtstag");
  table_->Open();
  table_->StartAppend();
  table_->FieldNamed("Mitarbeiter").SetAsString("Direkt Dora");
  table_->FieldNamed("Personalnr").SetAsInteger(3001);
  table_->PostRecord();
  EXPECT_EQ(dataset::stBrowse, table_->State());
  EXPECT_EQ("Direkt Dora", table_->FieldNamed("Mitarbeiter").AsString());
  EXPECT_EQ(4, table_->RecordCount());
  table_->Close();
}

TEST_F(ComponentsOnPg, ADetailOnSqlFollowsItsMaster) {
  Exec(*admin_, "DROP TABLE IF EXISTS Termine");
  Exec(*admin_, "CREATE TABLE Termine (id serial PRIMARY KEY, personalnr integer, text varchar(50))");
  Exec(*admin_, "INSERT INTO Termine (personalnr, text) VALUES (1001, 'a1'), (1002, 'a2'), (1001, 'b1'), (1003, 'a3')");
  database_->SetConnected(true);
  auto master = Table("Master", "Geburtstag");
  master->SetSortedBy(Lines({"Personalnr"}));
  dataset::TDataSource source(nullptr);
  source.SetDataSet(master.get());
  table_ = std::make_unique<dao::TUxDaoTable>(nullptr);
  table_->SetName("Detail");
  table_->SetDatabase(database_.get());
  table_->SetSQL(Lines({"SELECT * FROM Termine WHERE text LIKE 'a*' OR text = 'b1'"}));
  table_->SetMasterSource(&source);
  table_->SetMasterFields(Lines({"Personalnr -> Personalnr"}));
  table_->Open();
  auto texts = [&] {
    auto t = Column(*table_, "text");
    std::sort(t.begin(), t.end());
    return t;
  };
  EXPECT_EQ((std::vector<std::string>{"a1", "b1"}), texts());
  master->GoNext();
  EXPECT_EQ((std::vector<std::string>{"a2"}), texts());
  master->GoLast();
  EXPECT_EQ((std::vector<std::string>{"a3"}), texts());
  table_->Close();
}

// The program's data module reads [DB] Typ=ODBC, Benutzer and Pass and opens the server's table.
TEST_F(ComponentsOnPg, TheDataModuleConnectsToTheDataSourceOfItsIni) {
  const std::string ini = Servers::Folder() + "/data_module.ini";
  auto write = [&](const std::string& db_section) {
    std::ofstream(ini) << "[DB]\r\n" << db_section << "[option]\r\nstartimport=4\r\n";
  };
  {
    app::TData data(nullptr);
    write("Typ=odbc\r\nMain=" + Servers::PgDsn() + "\r\nBenutzer=" + Servers::PgUser() + "\r\nPass=" +
          Servers::PgPassword() + "\r\n");
    data.DataModuleCreate(ini);
    EXPECT_TRUE(data.Datenbank->Connected());
    EXPECT_EQ(4, data.StartImport);
    data.Fahrer->Open();
    EXPECT_EQ(3, data.Fahrer->RecordCount());
    ASSERT_TRUE(data.Fahrer->FindFirstMatch("Personalnr", framework::Variant(1003)));
    EXPECT_EQ("Wolf Sabine", data.FahrerMitarbeiter->AsString());
    data.Fahrer->Close();
  }
  {
    app::TData data(nullptr);
    write("Typ=ODBC\r\nMain=" + Servers::PgDsn() + "\r\nBenutzer=" + Servers::PgUser() + "\r\nPass=falsch\r\n");
    const std::string message = MessageOf([&] { data.DataModuleCreate(ini); });
    EXPECT_EQ(0u, message.find("ODBC--call failed.")) << message;
    EXPECT_FALSE(data.Datenbank->Connected());
  }
  {
    app::TData data(nullptr);
    write("Typ=Oracle\r\nMain=x\r\n");
    EXPECT_NE(std::string::npos, MessageOf([&] { data.DataModuleCreate(ini); }).find("Typ=Oracle"));
    EXPECT_FALSE(data.Datenbank->Connected());
  }
}

#ifdef GEB_HAS_PROGRAM
// ---- The program's unattended import, into PostgreSQL and into an engine file -------------

struct Outcome {
  std::vector<std::string> rows;      // the table, ordered by personnel number
  std::vector<std::string> protocol;  // Import.log without its dated first line
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> TableRows(dao::Database& db) {
  auto rs = db.OpenRecordset("SELECT Personalnr, Geburtsdatum, Mitarbeiter, Telefon FROM Geburtstag ORDER BY Personalnr",
                             Variant(dao::dbOpenSnapshot));
  std::vector<std::string> out;
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string row;
    for (int k = 0; k < 4; ++k) {
      const Variant v = rs->Fields()->Item(k)->Value();
      row += (k ? "|" : "") + (v.IsNull() ? std::string("NULL")
                               : k == 1   ? framework::FormatDateTime("dd.mm.yyyy hh:nn:ss", v.ToDate())
                                          : v.ToString());
    }
    out.push_back(row);
  }
  return out;
}

// Runs the program headless in `folder` (where its INI is) and gives what it left.
Outcome RunProgram(const std::string& program, const std::string& folder, dao::Database& db) {
  const std::string copy = folder + "/geburtstage";
  const std::string command = "cp '" + program + "' '" + copy + "' && cd '" + folder +
                              "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 ./geburtstage > out.txt 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(folder + "/out.txt");
  Outcome out;
  out.rows = TableRows(db);
  const std::string log = framework::Windows1252ToUtf8(ReadFile(folder + "/Import.log"));
  size_t at = log.find("\r\n");
  EXPECT_NE(std::string::npos, at) << log;
  EXPECT_EQ(0u, log.find("Importprotokoll vom "));
  while (at != std::string::npos && at + 2 < log.size()) {
    const size_t next = log.find("\r\n", at + 2);
    out.protocol.push_back(log.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2));
    at = next;
  }
  return out;
}

TEST(UnattendedImportTest, IntoPostgreSqlAsIntoAnEngineFile) {
  const char* program = std::getenv("GEB_PROGRAM");
  const char* samples = std::getenv("GEB_SAMPLES");
  ASSERT_TRUE(program != nullptr && samples != nullptr) << "GEB_PROGRAM and GEB_SAMPLES name the program and samples/";
  const std::string base = Servers::Folder() + "/import";
  const std::string file_folder = base + "/file", pg_folder = base + "/pg";
  ASSERT_EQ(0, std::system(("mkdir -p '" + file_folder + "' '" + pg_folder + "'").c_str()));
  const std::string export_file = std::string(samples) + "/export.csv";

  // The same sample table in both, made by the sample script's Jet SQL (translated for the
  // server, whose table then has mixed-case quoted names).
  auto engine = engine::CreateEngine();
  auto file_db = engine->CreateDatabase(file_folder + "/geburtstage.mdb");
  auto pg = OpenPg(Servers::PgDsn2());
  Exec(*pg, "DROP TABLE IF EXISTS \"Geburtstag\"");
  std::ifstream script(std::string(samples) + "/geburtstage.sql");
  std::string line;
  int inserts = 0;
  while (std::getline(script, line)) {
    if (line.rfind("CREATE", 0) != 0 && line.rfind("INSERT", 0) != 0) continue;
    file_db->Execute(line);
    pg->Execute(line);
    inserts += line.rfind("INSERT", 0) == 0;
  }
  ASSERT_GT(inserts, 3);
  ASSERT_EQ(TableRows(*file_db), TableRows(*pg));

  std::ofstream(file_folder + "/geburtstage.ini")
      << "[DB]\r\nMain=" << file_folder << "/geburtstage.mdb\r\n[option]\r\nstartimport=4\r\ndatei=" << export_file << "\r\n";
  std::ofstream(pg_folder + "/geburtstage.ini")
      << "[DB]\r\nTyp=ODBC\r\nMain=" << Servers::PgDsn2() << "\r\nBenutzer=" << Servers::PgUser()
      << "\r\nPass=" << Servers::PgPassword() << "\r\n[option]\r\nstartimport=4\r\ndatei=" << export_file << "\r\n";
  file_db->Close();
  const Outcome from_file = [&] {
    auto db = engine->OpenDatabase(file_folder + "/geburtstage.mdb");
    Outcome o = RunProgram(program, file_folder, *db);
    db->Close();
    return o;
  }();
  const Outcome from_pg = RunProgram(program, pg_folder, *pg);
  EXPECT_GT(from_file.rows.size(), 10u);
  EXPECT_FALSE(from_file.protocol.empty());
  EXPECT_EQ(from_file.rows, from_pg.rows);
  EXPECT_EQ(from_file.protocol, from_pg.protocol);

  // A second run changes nothing more, on the server as in the file.
  const Outcome again = RunProgram(program, pg_folder, *pg);
  EXPECT_EQ(from_pg.rows, again.rows);
  pg->Close();
}
#endif  // GEB_HAS_PROGRAM

}  // namespace
}  // namespace odbc_test
