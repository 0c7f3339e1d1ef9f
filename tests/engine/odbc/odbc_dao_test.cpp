// The DAO interfaces over ODBC data sources: PostgreSQL (a throw-away cluster) and SQLite's
// ODBC driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/odbc/odbc_catalog.h"
#include "engine/odbc/odbc_sql.h"
#include "framework/date_time.h"
#include "tests/engine/odbc/odbc_test_support.h"

namespace odbc_test {
namespace {

using namespace dao;

std::shared_ptr<Field> F(const std::shared_ptr<Recordset>& rs, const char* name) { return rs->Fields()->Item(name); }

class PgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = OpenPg();
    CreatePgBirthdays(*db_);
    Exec(*db_, "INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES "
               "('Meier Hans', '1970-12-24', '0711 1', 1001), ('Alt Anna', '1950-05-03 10:30:00', NULL, 1002), "
               "('Wolf Sabine', '1980-01-02', '0711 3', 1003)");
  }
  void TearDown() override {
    if (db_) db_->Close();
  }
  std::shared_ptr<Recordset> Birthdays(int type = dbOpenDynaset) {
    return db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(type));
  }
  std::shared_ptr<Database> db_;
};

TEST_F(PgTest, ConnectTextsAndTheirErrors) {
  // The Jet workspace with an "ODBC;" connect text, and the ODBCDirect workspace.
  auto engine = engine::CreateEngine();
  auto jet = engine->CreateWorkspace("jet", Variant("Admin"), Variant(""), Variant(dbUseJet));
  auto db = jet->OpenDatabase("", Variant(dbDriverNoPrompt), Variant(false), Variant(Servers::PgConnect()));
  EXPECT_EQ(3, db->TableDefs()->Item("geburtstag")->Fields()->Count() - 2);
  EXPECT_EQ(Servers::PgConnect(), db->Connect());
  db->Close();
  auto direct = engine->CreateWorkspace("direct", Variant("geb"), Variant(""), Variant(dbUseODBC));
  db = direct->OpenConnection(Servers::PgDsn(), Variant(dbDriverNoPrompt), Variant(false),
                              Variant("ODBC;UID=" + Servers::PgUser() + ";PWD=" + Servers::PgPassword()));
  EXPECT_TRUE(db->Updatable());
  db->Close();

  // A wrong password: 3146 first, then the server's own diagnostic with its SQLSTATE.
  try {
    direct->OpenConnection("x", Variant(dbDriverNoPrompt), Variant(false),
                           Variant("ODBC;DSN=" + Servers::PgDsn() + ";UID=geb;PWD=falsch"));
    FAIL() << "connected with a wrong password";
  } catch (const EOleException& e) {
    EXPECT_EQ(3146, e.ErrorCode());
    EXPECT_EQ(0u, std::string(e.what()).find("ODBC--call failed."));
    EXPECT_NE(std::string::npos, std::string(e.what()).find("password authentication failed")) << e.what();
  }
  auto errors = engine->Errors();
  ASSERT_GE(errors->Count(), 2);
  EXPECT_EQ(3146, errors->Item(0)->Number());
  EXPECT_NE(std::string::npos, errors->Item(1)->Description().find("[08001]")) << errors->Item(1)->Description();

  // An unknown data source: the driver manager says so.
  try {
    direct->OpenConnection("Nirgends", Variant(dbDriverNoPrompt), Variant(false), Variant("ODBC;DSN=Nirgends"));
    FAIL() << "connected to an unknown data source";
  } catch (const EOleException& e) {
    EXPECT_EQ(3146, e.ErrorCode());
    EXPECT_NE(std::string::npos, std::string(e.what()).find("IM002")) << e.what();
  }
}

TEST_F(PgTest, CatalogGivesTablesFieldsAndIndexesWithDaoTypes) {
  Exec(*db_, "DROP TABLE IF EXISTS Typen");
  Exec(*db_, "CREATE TABLE Typen (nr integer PRIMARY KEY, kurz varchar(40) NOT NULL DEFAULT 'x''y', lang text, "
             "ja boolean, klein smallint, gross bigint, r real, d double precision, geld numeric(19,4), "
             "tag date, zeit timestamp, bin bytea, g uuid)");
  Exec(*db_, "CREATE UNIQUE INDEX typen_kurz ON Typen (kurz DESC)");
  auto defs = db_->TableDefs();
  defs->Refresh();
  auto t = defs->Item("TYPEN");  // found without regard to case
  auto fields = t->Fields();
  ASSERT_EQ(13, fields->Count());
  const std::vector<std::pair<const char*, int>> types = {
      {"nr", dbLong},     {"kurz", dbText},   {"lang", dbMemo},   {"ja", dbBoolean}, {"klein", dbInteger},
      {"gross", dbBigInt}, {"r", dbSingle},   {"d", dbDouble},    {"geld", dbCurrency}, {"tag", dbDate},
      {"zeit", dbDate},   {"bin", dbLongBinary}, {"g", dbGUID}};
  for (const auto& [name, type] : types) EXPECT_EQ(type, fields->Item(name)->Type()) << name;
  EXPECT_EQ(40, fields->Item("kurz")->Size());
  EXPECT_TRUE(fields->Item("kurz")->Required());
  EXPECT_EQ("\"x'y\"", fields->Item("kurz")->DefaultValue());
  EXPECT_EQ(dbAutoIncrField, db_->TableDefs()->Item("geburtstag")->Fields()->Item("id")->Attributes() & dbAutoIncrField);
  auto indexes = t->Indexes();
  ASSERT_EQ(2, indexes->Count());
  EXPECT_TRUE(indexes->Item(0)->Primary());
  EXPECT_EQ("nr", indexes->Item(0)->Fields()->Item(0)->Name());
  EXPECT_TRUE(indexes->Item("typen_kurz")->Unique());
  EXPECT_FALSE(indexes->Item("typen_kurz")->Primary());

  // Indexes are made and dropped through the collection; a set open on the table keeps working.
  auto open = db_->OpenRecordset("Typen", Variant(dbOpenDynaset));
  auto index = t->CreateIndex(Variant("typen_tag"));
  index->Fields()->Append(index->CreateField(Variant("tag")));
  t->Indexes()->Append(index);
  EXPECT_EQ(3, db_->TableDefs()->Item("typen")->Indexes()->Count());
  t->Indexes()->Delete("typen_tag");
  EXPECT_EQ(2, db_->TableDefs()->Item("typen")->Indexes()->Count());
  open->AddNew();
  open->Fields()->Item("nr")->SetValue(Variant(1));
  open->Fields()->Item("tag")->SetValue(Variant::Date(framework::EncodeDate(2000, 1, 2)));
  open->Update();
  open->MoveFirst();
  EXPECT_EQ("x'y", open->Fields()->Item("kurz")->Value().ToString());
}

TEST_F(PgTest, DynasetWalksFindsAndSharesBookmarksWithClones) {
  auto rs = Birthdays();
  EXPECT_EQ(dbOpenDynaset, rs->Type());
  EXPECT_TRUE(rs->Updatable());
  EXPECT_EQ(3, rs->RecordCount());
  std::vector<int> numbers;
  for (; !rs->Eof(); rs->MoveNext()) numbers.push_back(F(rs, "Personalnr")->Value().ToInt32());
  EXPECT_EQ((std::vector<int>{1001, 1002, 1003}), numbers);
  EXPECT_EQ(3021, ErrorOf([&] { F(rs, "Mitarbeiter")->Value(); }));
  rs->MovePrevious();
  EXPECT_EQ(2, rs->AbsolutePosition());

  // Find: the server finds the keys, the keyset places them.
  rs->FindFirst("[Mitarbeiter] = 'Alt Anna'");
  EXPECT_FALSE(rs->NoMatch());
  EXPECT_EQ(1002, F(rs, "Personalnr")->Value().ToInt32());
  const Variant bookmark = rs->Bookmark();
  rs->FindNext("Personalnr > 1000");
  EXPECT_EQ(1003, F(rs, "PERSONALNR")->Value().ToInt32());
  rs->FindNext("Personalnr > 1000");
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(1003, F(rs, "Personalnr")->Value().ToInt32());  // a failed find stays put
  rs->FindLast("Geburtsdatum < #01/01/1975# AND Telefon IS NOT NULL");
  EXPECT_EQ(1001, F(rs, "Personalnr")->Value().ToInt32());
  rs->FindPrevious("Mitarbeiter LIKE 'W*'");
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(3070, ErrorOf([&] { rs->FindFirst("Unbekannt = 1"); }));

  auto clone = rs->Clone();
  EXPECT_TRUE(clone->Bof());
  clone->SetBookmark(bookmark);
  EXPECT_EQ("Alt Anna", F(clone, "Mitarbeiter")->Value().ToString());
  EXPECT_DOUBLE_EQ(framework::EncodeDate(1950, 5, 3) + framework::EncodeTime(10, 30, 0, 0),
                   F(clone, "Geburtsdatum")->Value().ToDate());
  EXPECT_TRUE(F(clone, "Telefon")->Value().IsNull());
  clone->MoveLast();
  rs->SetBookmark(clone->Bookmark());
  EXPECT_EQ(1003, F(rs, "Personalnr")->Value().ToInt32());

  // Filter and Sort narrow the sets opened from this one.
  rs->SetFilter("Personalnr <> 1002");
  rs->SetSort("Mitarbeiter DESC");
  auto narrowed = rs->OpenRecordset();
  EXPECT_EQ(2, narrowed->RecordCount());
  EXPECT_EQ("Wolf Sabine", F(narrowed, "Mitarbeiter")->Value().ToString());

  // Requery sees what others added.
  auto other = OpenPg();
  Exec(*other, "INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES ('Neu Nina', 1004)");
  EXPECT_EQ(3, rs->RecordCount());
  rs->Requery();
  EXPECT_EQ(4, rs->RecordCount());
  EXPECT_EQ(1001, F(rs, "Personalnr")->Value().ToInt32());
}

TEST_F(PgTest, EditAddNewAndDeleteWriteTheServersRows) {
  auto rs = Birthdays();
  rs->FindFirst("Personalnr = 1002");
  rs->Edit();
  EXPECT_EQ(dbEditInProgress, rs->EditMode());
  F(rs, "Telefon")->SetValue(Variant("0711 2"));
  rs->Update();
  EXPECT_EQ(dbEditNone, rs->EditMode());
  EXPECT_EQ(1002, F(rs, "Personalnr")->Value().ToInt32());  // the edited record stays current

  rs->AddNew();
  F(rs, "Mitarbeiter")->SetValue(Variant("Neu Nina"));
  F(rs, "Personalnr")->SetValue(Variant(2001));
  F(rs, "Geburtsdatum")->SetValue(Variant::Date(framework::EncodeDate(1899, 12, 1) - 0.25));
  EXPECT_EQ(3164, ErrorOf([&] { F(rs, "ID")->SetValue(Variant(99)); }));  // the server numbers it
  rs->Update();
  EXPECT_EQ(1002, F(rs, "Personalnr")->Value().ToInt32());  // still on the record before AddNew
  EXPECT_EQ(4, rs->RecordCount());
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ("Neu Nina", F(rs, "Mitarbeiter")->Value().ToString());
  EXPECT_GT(F(rs, "ID")->Value().ToInt32(), 3);  // the new key was read back
  EXPECT_DOUBLE_EQ(framework::EncodeDate(1899, 12, 1) - 0.25, F(rs, "Geburtsdatum")->Value().ToDate());

  rs->MoveFirst();
  rs->Delete();
  EXPECT_EQ(3167, ErrorOf([&] { F(rs, "Mitarbeiter")->Value(); }));
  rs->MoveNext();
  EXPECT_EQ(1002, F(rs, "Personalnr")->Value().ToInt32());

  auto check = db_->OpenRecordset("SELECT Personalnr, Telefon FROM Geburtstag ORDER BY Personalnr",
                                  Variant(dbOpenSnapshot));
  std::vector<std::string> rows;
  for (; !check->Eof(); check->MoveNext())
    rows.push_back(check->Fields()->Item(0)->Value().ToString() + ":" + check->Fields()->Item(1)->Value().ToString());
  EXPECT_EQ((std::vector<std::string>{"1002:0711 2", "1003:0711 3", "2001:"}), rows);

  // A record deleted by another connection answers 3167 when it is read or edited.
  auto other = OpenPg();
  Exec(*other, "DELETE FROM Geburtstag WHERE Personalnr = 1003");
  rs->MoveNext();
  EXPECT_EQ(3167, ErrorOf([&] { F(rs, "Mitarbeiter")->Value(); }));
  EXPECT_EQ(3167, ErrorOf([&] { rs->Delete(); }));
}

TEST_F(PgTest, TheSecondOfTwoEditorsGets3197AndOverwritesNothing) {
  auto other_db = OpenPg();
  auto first = Birthdays();
  auto second = other_db->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  first->FindFirst("Personalnr = 1001");
  second->FindFirst("Personalnr = 1001");
  first->Edit();
  second->Edit();
  F(first, "Telefon")->SetValue(Variant("erste"));
  F(second, "Telefon")->SetValue(Variant("zweite"));
  first->Update();
  EXPECT_EQ(3197, ErrorOf([&] { second->Update(); }));
  second->CancelUpdate();
  second->Move(0);
  EXPECT_EQ("erste", F(second, "Telefon")->Value().ToString());
  // After reading the record again the second editor may change it.
  second->Edit();
  F(second, "Telefon")->SetValue(Variant("zweite"));
  second->Update();
  first->Move(0);
  EXPECT_EQ("zweite", F(first, "Telefon")->Value().ToString());
}

TEST_F(PgTest, ServerConstraintsAnswerWithDaoErrorsAndTheDiagnostics) {
  Exec(*db_, "CREATE UNIQUE INDEX geburtstag_nr_unique ON Geburtstag (Personalnr)");
  Exec(*db_, "ALTER TABLE Geburtstag ADD CONSTRAINT name_required CHECK (Mitarbeiter IS NOT NULL)");
  Exec(*db_, "ALTER TABLE Geburtstag ALTER COLUMN Telefon SET DEFAULT 'keins'");
  Exec(*db_, "ALTER TABLE Geburtstag ADD COLUMN pflicht integer NOT NULL DEFAULT 0");
  auto rs = Birthdays();
  rs->AddNew();
  F(rs, "Mitarbeiter")->SetValue(Variant("Doppelt"));
  F(rs, "Personalnr")->SetValue(Variant(1001));
  EXPECT_EQ(3022, ErrorOf([&] { rs->Update(); }));
  auto errors = engine::CreateEngine()->Errors();
  ASSERT_GE(errors->Count(), 2);
  EXPECT_EQ(3022, errors->Item(0)->Number());
  EXPECT_NE(std::string::npos, errors->Item(1)->Description().find("23505"));
  rs->CancelUpdate();

  rs->AddNew();
  F(rs, "Personalnr")->SetValue(Variant(3000));
  EXPECT_EQ(3146, ErrorOf([&] { rs->Update(); }));  // the check constraint
  F(rs, "Mitarbeiter")->SetValue(Variant("Pflicht"));
  F(rs, "pflicht")->SetValue(Variant::Null());
  EXPECT_EQ(3314, ErrorOf([&] { rs->Update(); }));
  F(rs, "pflicht")->SetValue(Variant(1));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ("keins", F(rs, "Telefon")->Value().ToString());  // the server's default
  EXPECT_EQ(4, rs->RecordCount());
}

TEST_F(PgTest, NullsAndUnicodeRoundTrip) {
  Exec(*db_, "DROP TABLE IF EXISTS Werte");
  Exec(*db_, "CREATE TABLE Werte (id serial PRIMARY KEY, t varchar(100), m text, b boolean, n integer, "
             "f double precision, c numeric(19,4), d timestamp, bin bytea, g uuid)");
  auto rs = db_->OpenRecordset("Werte", Variant(dbOpenDynaset));
  const std::string unicode = "Gr\xC3\xBC\xC3\x9F" "e \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80 \"'%_\\";
  const std::string long_text(20000, 'x');
  const std::vector<uint8_t> bytes = {0, 1, 2, 255, 0, 39, 92};
  rs->AddNew();
  F(rs, "t")->SetValue(Variant(unicode));
  F(rs, "m")->SetValue(Variant(long_text + unicode));
  F(rs, "b")->SetValue(Variant(true));
  F(rs, "n")->SetValue(Variant(-7));
  F(rs, "f")->SetValue(Variant(0.1));
  F(rs, "c")->SetValue(Variant::Currency(-1234.5678));
  F(rs, "d")->SetValue(Variant::Date(framework::EncodeDate(2026, 2, 28) + framework::EncodeTime(23, 59, 58, 123)));
  F(rs, "bin")->SetValue(Variant(bytes));
  F(rs, "g")->SetValue(Variant("{guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}"));
  rs->Update();
  rs->AddNew();
  rs->Update();  // every value Null
  rs->Requery();
  ASSERT_EQ(2, rs->RecordCount());
  EXPECT_EQ(unicode, F(rs, "t")->Value().ToString());
  EXPECT_EQ(long_text + unicode, F(rs, "m")->Value().ToString());
  EXPECT_TRUE(F(rs, "b")->Value().ToBool());
  EXPECT_EQ(-7, F(rs, "n")->Value().ToInt32());
  EXPECT_EQ(0.1, F(rs, "f")->Value().ToDouble());
  EXPECT_EQ(-12345678, F(rs, "c")->Value().ToCurrencyScaled());
  EXPECT_DOUBLE_EQ(framework::EncodeDate(2026, 2, 28) + framework::EncodeTime(23, 59, 58, 123),
                   F(rs, "d")->Value().ToDate());
  EXPECT_EQ(bytes, F(rs, "bin")->Value().ToBytes());
  EXPECT_EQ("{guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}", F(rs, "g")->Value().ToString());
  // Criteria with the same values find the record: they are bound, never pasted.
  rs->FindFirst("t = '" + std::string("Gr\xC3\xBC\xC3\x9F" "e \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80 \"''%_\\") + "'");
  EXPECT_FALSE(rs->NoMatch());
  rs->FindFirst("t LIKE '*%_*'");
  EXPECT_FALSE(rs->NoMatch());
  rs->MoveNext();
  for (const char* name : {"t", "m", "b", "n", "f", "c", "d", "bin", "g"}) EXPECT_TRUE(F(rs, name)->Value().IsNull()) << name;
  // Editing from Null to a value and back.
  rs->Edit();
  F(rs, "n")->SetValue(Variant(5));
  rs->Update();
  rs->Edit();
  F(rs, "n")->SetValue(Variant::Null());
  rs->Update();
  rs->Move(0);
  EXPECT_TRUE(F(rs, "n")->Value().IsNull());
}

TEST_F(PgTest, ExecuteTranslatesJetSqlOrPassesTheServersSqlThrough) {
  db_->Execute("UPDATE Geburtstag SET Telefon = \"neu\" & Personalnr WHERE Geburtsdatum < #1/1/1975# "
               "AND Mitarbeiter LIKE \"*a*\"");
  EXPECT_EQ(2, db_->RecordsAffected());
  db_->Execute("INSERT INTO Geburtstag (Mitarbeiter, Personalnr) VALUES ('Jet', 5000)");
  db_->Execute("DELETE FROM Geburtstag WHERE Personalnr IN (1003, 4711)");
  auto rs = db_->OpenRecordset("SELECT Personalnr AS Nr, Telefon FROM Geburtstag WHERE Nr < 5000 ORDER BY Nr",
                               Variant(dbOpenSnapshot));
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ("neu1001", rs->Fields()->Item("Telefon")->Value().ToString());
  rs->MoveNext();
  EXPECT_EQ("neu1002", rs->Fields()->Item(1)->Value().ToString());
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  // Grouping opens read-only; pass-through returns what the server says.
  auto grouped = db_->OpenRecordset("SELECT COUNT(*) AS n FROM Geburtstag", Variant(dbOpenDynaset));
  EXPECT_FALSE(grouped->Updatable());
  EXPECT_EQ(3, grouped->Fields()->Item("n")->Value().ToInt32());
  auto server = db_->OpenRecordset("SELECT string_agg(mitarbeiter, ',' ORDER BY personalnr) AS s FROM geburtstag",
                                   Variant(dbOpenSnapshot), Variant(dbSQLPassThrough));
  EXPECT_EQ("Meier Hans,Alt Anna,Jet", server->Fields()->Item("s")->Value().ToString());

  EXPECT_EQ(3065, ErrorOf([&] { db_->Execute("SELECT * FROM Geburtstag"); }));
  EXPECT_EQ(3061, ErrorOf([&] { db_->Execute("UPDATE Geburtstag SET Telefon = Unbekannt"); }));
  EXPECT_EQ(3078, ErrorOf([&] { db_->OpenRecordset("Fehlt"); }));
  EXPECT_EQ(3251, ErrorOf([&] { db_->Execute("UPDATE Geburtstag SET Telefon = 'x' WHERE Mitarbeiter LIKE '[AB]*'"); }));
  EXPECT_EQ(3251, ErrorOf([&] { db_->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1 XOR Personalnr = 2"); }));
  EXPECT_EQ(3146, ErrorOf([&] { Exec(*db_, "SELECT * FROM gibtsnicht"); }));
}

TEST_F(PgTest, SelectsTranslateTopFunctionsAndParameters) {
  auto values = [&](const std::string& sql, const char* field, int type = dbOpenSnapshot) {
    auto rs = db_->OpenRecordset(sql, Variant(type));
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Fields()->Item(field)->Value().ToString());
    return out;
  };
  EXPECT_EQ((std::vector<std::string>{"1003", "1002"}),
            values("SELECT TOP 2 Personalnr FROM Geburtstag ORDER BY Personalnr DESC", "Personalnr"));
  EXPECT_EQ((std::vector<std::string>{"1001", "1002"}),
            values("SELECT TOP 2 Personalnr FROM Geburtstag ORDER BY Personalnr", "Personalnr", dbOpenForwardOnly));
  EXPECT_EQ((std::vector<std::string>{"1002"}),
            values("SELECT * FROM Geburtstag WHERE Personalnr BETWEEN 1002 AND \"1002\" AND Mitarbeiter NOT IN ('x', 'y')",
                   "Personalnr"));
  EXPECT_EQ((std::vector<std::string>{"MEIER HANS/0711 1", "ALT ANNA/-", "WOLF SABINE/0711 3"}),
            values("SELECT UCASE(Mitarbeiter) & '/' & Nz(Telefon, '-') AS t FROM Geburtstag ORDER BY Personalnr", "t"));
  EXPECT_EQ((std::vector<std::string>{"alt", "jung", "jung"}),
            values("SELECT IIf(Geburtsdatum < #1/1/1960#, 'alt', 'jung') AS a FROM Geburtstag ORDER BY Mitarbeiter", "a"));
  EXPECT_EQ((std::vector<std::string>{"2"}),
            values("SELECT Count(*) AS n FROM Geburtstag GROUP BY Telefon IS NULL HAVING Count(*) > 1", "n"));
  // Subqueries (also correlated ones) and UNION go to the server as they are meant.
  Exec(*db_, "DROP TABLE IF EXISTS Termine");
  Exec(*db_, "CREATE TABLE Termine (id serial PRIMARY KEY, personalnr integer, text varchar(20))");
  Exec(*db_, "INSERT INTO Termine (personalnr, text) VALUES (1001, 'a'), (1001, 'b'), (1003, 'c')");
  EXPECT_EQ((std::vector<std::string>{"Meier Hans", "Wolf Sabine"}),
            values("SELECT Mitarbeiter FROM Geburtstag WHERE Personalnr IN (SELECT Personalnr FROM Termine) "
                   "ORDER BY Mitarbeiter", "Mitarbeiter"));
  EXPECT_EQ((std::vector<std::string>{"Alt Anna"}),
            values("SELECT Mitarbeiter FROM Geburtstag AS g WHERE NOT EXISTS "
                   "(SELECT * FROM Termine t WHERE t.Personalnr = g.Personalnr)", "Mitarbeiter"));
  EXPECT_EQ((std::vector<std::string>{"2", "0", "1"}),
            values("SELECT (SELECT Count(*) FROM Termine WHERE Termine.Personalnr = Geburtstag.Personalnr) AS n "
                   "FROM Geburtstag ORDER BY Personalnr", "n"));
  EXPECT_EQ((std::vector<std::string>{"1002", "1003"}),
            values("SELECT Personalnr FROM Geburtstag WHERE Personalnr > ALL (SELECT Personalnr FROM Termine WHERE text < 'c') "
                   "ORDER BY Personalnr", "Personalnr"));
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a", "Wolf Sabine", "Meier Hans", "Alt Anna"}),
            values("SELECT Mitarbeiter AS Name FROM Geburtstag UNION SELECT text FROM Termine ORDER BY Name DESC", "Name"));
  auto unioned = db_->OpenRecordset("SELECT Personalnr FROM Geburtstag UNION ALL SELECT Personalnr FROM Termine",
                                    Variant(dbOpenDynaset));
  EXPECT_FALSE(unioned->Updatable());
  EXPECT_EQ(6, unioned->RecordCount());
  EXPECT_EQ(3251, ErrorOf([&] { db_->Execute("SELECT * INTO Kopie FROM Geburtstag"); }));

  // PARAMETERS declare a type; the value given is converted to it.
  auto q = db_->CreateQueryDef(Variant(), Variant("PARAMETERS [von] DateTime; SELECT Mitarbeiter FROM Geburtstag "
                                                  "WHERE Geburtsdatum >= [von] ORDER BY Geburtsdatum"));
  q->Parameters()->Item("von")->SetValue(Variant::Date(framework::EncodeDate(1970, 1, 1)));
  auto rs = q->OpenRecordset(Variant(dbOpenSnapshot));
  EXPECT_EQ(2, rs->RecordCount());
  EXPECT_EQ("Meier Hans", rs->Fields()->Item(0)->Value().ToString());
  // MaxRecords bounds what is read.
  q->SetMaxRecords(1);
  EXPECT_EQ(1, q->OpenRecordset(Variant(dbOpenDynaset))->RecordCount());
}

TEST_F(PgTest, JetDdlCreatesAndDropsTablesAndIndexes) {
  Exec(*db_, "DROP TABLE IF EXISTS \"Ddl\"");
  db_->Execute("CREATE TABLE Ddl (Nr COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(50) NOT NULL DEFAULT \"o'k\", "
               "Betrag CURRENCY DEFAULT -1.5, Ab DATETIME DEFAULT #12/31/1999 23:59:00#, Ja BIT, Lang MEMO, Roh LONGBINARY)");
  db_->Execute("CREATE UNIQUE INDEX NameIdx ON Ddl (Name DESC)");
  db_->Execute("ALTER TABLE Ddl ADD COLUMN Extra LONG");
  auto t = db_->TableDefs()->Item("Ddl");
  auto fields = t->Fields();
  ASSERT_EQ(8, fields->Count());
  EXPECT_EQ(dbAutoIncrField, fields->Item("Nr")->Attributes() & dbAutoIncrField);
  EXPECT_EQ(dbText, fields->Item("Name")->Type());
  EXPECT_EQ(50, fields->Item("Name")->Size());
  EXPECT_TRUE(fields->Item("Name")->Required());
  EXPECT_EQ(dbCurrency, fields->Item("Betrag")->Type());
  EXPECT_EQ(dbMemo, fields->Item("Lang")->Type());
  EXPECT_EQ(dbLong, fields->Item("Extra")->Type());
  EXPECT_TRUE(t->Indexes()->Item("NameIdx")->Unique());
  auto rs = db_->OpenRecordset("Ddl");
  rs->AddNew();
  F(rs, "Extra")->SetValue(Variant(7));
  rs->Update();
  rs->MoveFirst();
  EXPECT_EQ("o'k", F(rs, "Name")->Value().ToString());
  EXPECT_EQ(-15000, F(rs, "Betrag")->Value().ToCurrencyScaled());
  EXPECT_DOUBLE_EQ(framework::EncodeDate(1999, 12, 31) + framework::EncodeTime(23, 59, 0, 0), F(rs, "Ab")->Value().ToDate());
  rs->Close();
  EXPECT_EQ(3251, ErrorOf([&] { db_->Execute("ALTER TABLE Ddl ADD COLUMN Wann DATETIME DEFAULT Now()"); }));
  EXPECT_EQ(3251, ErrorOf([&] { db_->Execute("CREATE INDEX Ohne ON Ddl (Extra) WITH IGNORE NULL"); }));
  db_->Execute("DROP INDEX NameIdx ON Ddl");
  db_->Execute("ALTER TABLE Ddl DROP COLUMN Extra");
  EXPECT_EQ(1, db_->TableDefs()->Item("Ddl")->Indexes()->Count());
  EXPECT_EQ(7, db_->TableDefs()->Item("Ddl")->Fields()->Count());
  db_->Execute("DROP TABLE Ddl");
  EXPECT_EQ(3265, ErrorOf([&] { db_->TableDefs()->Item("Ddl"); }));
}

TEST_F(PgTest, RecordsetKindsAndWhatEachRefuses) {
  EXPECT_EQ(3219, ErrorOf([&] { db_->OpenRecordset("Geburtstag", Variant(dbOpenTable)); }));
  auto snap = Birthdays(dbOpenSnapshot);
  EXPECT_FALSE(snap->Updatable());
  EXPECT_EQ(3027, ErrorOf([&] { snap->Edit(); }));
  snap->FindFirst("LCASE(Mitarbeiter) = 'wolf sabine'");  // tested in memory
  EXPECT_EQ(1003, F(snap, "Personalnr")->Value().ToInt32());
  auto forward = Birthdays(dbOpenForwardOnly);
  EXPECT_EQ(1001, F(forward, "Personalnr")->Value().ToInt32());
  forward->MoveNext();
  EXPECT_EQ(3251, ErrorOf([&] { forward->MovePrevious(); }));
  EXPECT_EQ(3251, ErrorOf([&] { forward->Clone(); }));
  // A table without a primary key or unique index opens read-only.
  Exec(*db_, "DROP TABLE IF EXISTS Ohne");
  Exec(*db_, "CREATE TABLE Ohne (a integer)");
  Exec(*db_, "INSERT INTO Ohne VALUES (1), (2)");
  auto without = db_->OpenRecordset("Ohne", Variant(dbOpenDynaset));
  EXPECT_FALSE(without->Updatable());
  EXPECT_EQ(2, without->RecordCount());
  // A join is read-only too; a dynamic set behaves as a dynaset.
  auto join = db_->OpenRecordset("SELECT g.Personalnr, o.a FROM Geburtstag AS g INNER JOIN Ohne AS o ON g.Personalnr = o.a + 1000",
                                 Variant(dbOpenDynaset));
  EXPECT_FALSE(join->Updatable());
  EXPECT_EQ(2, join->RecordCount());
  auto dynamic = Birthdays(dbOpenDynamic);
  EXPECT_TRUE(dynamic->Updatable());
  EXPECT_EQ(dbOpenDynamic, dynamic->Type());
}

TEST_F(PgTest, TransactionsQueryDefsAndTimeouts) {
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("t", Variant(), Variant(), Variant(dbUseODBC));
  auto db = ws->OpenConnection(Servers::PgDsn(), Variant(dbDriverNoPrompt), Variant(false), Variant(Servers::PgConnect()));
  ws->BeginTrans();
  db->Execute("DELETE FROM Geburtstag");
  ws->Rollback();
  auto rs = db->OpenRecordset("Geburtstag");
  EXPECT_EQ(3, rs->RecordCount());
  ws->BeginTrans();
  db->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1001");
  ws->CommitTrans();
  rs->Requery();
  EXPECT_EQ(2, rs->RecordCount());

  auto q = db->CreateQueryDef(Variant(), Variant("PARAMETERS ab LONG; SELECT * FROM Geburtstag WHERE Personalnr >= ab"));
  ASSERT_EQ(1, q->Parameters()->Count());
  EXPECT_EQ("ab", q->Parameters()->Item(0)->Name());
  q->Parameters()->Item("ab")->SetValue(Variant("1003"));
  EXPECT_EQ(1, q->OpenRecordset()->RecordCount());
  EXPECT_EQ(3061, ErrorOf([&] { db->CreateQueryDef(Variant(), Variant("SELECT * FROM Geburtstag WHERE Personalnr = x"))->OpenRecordset(); }));
  auto named = db->CreateQueryDef(Variant("Alle"), Variant("SELECT Mitarbeiter FROM Geburtstag"));
  EXPECT_EQ(2, db->OpenRecordset("Alle")->RecordCount());
  EXPECT_EQ(1, db->QueryDefs()->Count());

  // The statement timeout ends a long query with the driver's diagnostic.
  db->SetQueryTimeout(1);
  EXPECT_EQ(3146, ErrorOf([&] { db->Execute("SELECT pg_sleep(5)", Variant(dbSQLPassThrough)); }));
  db->Close();
}

TEST_F(PgTest, DaoPositionRulesHoldOnDynasets) {
  Exec(*db_, "DELETE FROM Geburtstag WHERE Personalnr <> 1001");
  auto rs = Birthdays();
  EXPECT_EQ(0, rs->AbsolutePosition());
  EXPECT_EQ(dbEditNone, rs->EditMode());
  EXPECT_EQ(3020, ErrorOf([&] { rs->Update(); }));
  rs->MovePrevious();  // from the first record to BOF, without error
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(-1, rs->AbsolutePosition());
  EXPECT_EQ(3021, ErrorOf([&] { rs->Bookmark(); }));
  rs->MoveNext();  // and back
  EXPECT_EQ(1001, F(rs, "Personalnr")->Value().ToInt32());
  rs->AddNew();
  EXPECT_EQ(dbEditAdd, rs->EditMode());
  EXPECT_TRUE(F(rs, "Mitarbeiter")->Value().IsNull());
  F(rs, "Personalnr")->SetValue(Variant(1002));
  rs->Update();
  rs->Move(1, rs->LastModified());  // past the new, last record
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(3021, ErrorOf([&] { rs->Move(-2); }));  // no move relative to EOF
  rs->MovePrevious();
  rs->MovePrevious();
  EXPECT_EQ(1001, F(rs, "Personalnr")->Value().ToInt32());
  rs->SetAbsolutePosition(1);
  EXPECT_EQ(1002, F(rs, "Personalnr")->Value().ToInt32());
  EXPECT_FLOAT_EQ(50.0f, rs->PercentPosition());
  rs->MoveFirst();
  const Variant rows = rs->GetRows(Variant(5));
  ASSERT_EQ(5, static_cast<int>(rows.ArrayItems().size()));  // one array per field
  EXPECT_EQ(2, static_cast<int>(rows.ArrayItem(4).ArrayItems().size()));
  EXPECT_TRUE(rs->Eof());

  // Deleting every record: the deleted one stays current until a move, then BOF and EOF.
  rs->MoveFirst();
  rs->Delete();
  rs->MoveNext();
  rs->Delete();
  EXPECT_FALSE(rs->Eof());
  rs->MoveNext();
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(0, rs->RecordCount());
  EXPECT_EQ(3021, ErrorOf([&] { rs->MoveFirst(); }));
  EXPECT_EQ(3021, ErrorOf([&] { rs->Edit(); }));
  auto empty = Birthdays();
  EXPECT_TRUE(empty->Bof() && empty->Eof());
  empty->FindFirst("Personalnr = 1");
  EXPECT_TRUE(empty->NoMatch());
}

TEST_F(PgTest, RollbackAndOtherConnectionsAreSeenAfterAReadAgain) {
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("t", Variant(), Variant(), Variant(dbUseODBC));
  auto db = ws->OpenConnection(Servers::PgDsn(), Variant(), Variant(false), Variant(Servers::PgConnect()));
  auto rs = db->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr");
  ws->BeginTrans();
  rs->Edit();
  F(rs, "Telefon")->SetValue(Variant("in der Transaktion"));
  rs->Update();
  EXPECT_EQ("in der Transaktion", F(rs, "Telefon")->Value().ToString());
  ws->Rollback();
  EXPECT_EQ("0711 1", F(rs, "Telefon")->Value().ToString());
  // A change by another connection shows when the record is read again (Move 0).
  Exec(*db_, "UPDATE Geburtstag SET Telefon = 'anders' WHERE Personalnr = 1001");
  rs->Move(0);
  EXPECT_EQ("anders", F(rs, "Telefon")->Value().ToString());
  // A read-only connection opens read-only sets and refuses changes.
  auto ro = ws->OpenConnection(Servers::PgDsn(), Variant(), Variant(true), Variant(Servers::PgConnect()));
  EXPECT_FALSE(ro->Updatable());
  EXPECT_FALSE(ro->OpenRecordset("Geburtstag")->Updatable());
  EXPECT_EQ(3027, ErrorOf([&] { ro->Execute("DELETE FROM Geburtstag"); }));
  EXPECT_EQ(2, ws->Databases()->Count());
  ws->Close();
  EXPECT_EQ(3420, ErrorOf([&] { rs->MoveNext(); }));
}

TEST_F(PgTest, SnapshotsFindInMemoryWithJetsComparison) {
  Exec(*db_, "CREATE OR REPLACE VIEW Ansicht AS SELECT Personalnr, Mitarbeiter, Telefon FROM Geburtstag");
  auto view = db_->OpenRecordset("SELECT * FROM Ansicht ORDER BY Personalnr", Variant(dbOpenDynaset));
  EXPECT_FALSE(view->Updatable());  // a view has no key: its rows are held in memory
  view->FindFirst("Mitarbeiter = 'WOLF SABINE'");  // texts without regard to case
  EXPECT_EQ(1003, F(view, "Personalnr")->Value().ToInt32());
  view->FindPrevious("Telefon IS NULL");
  EXPECT_EQ(1002, F(view, "Personalnr")->Value().ToInt32());
  view->FindNext("Personalnr IN (1001, 1003) AND Mitarbeiter LIKE '*sab*'");
  EXPECT_EQ(1003, F(view, "Personalnr")->Value().ToInt32());
  view->FindLast("Personalnr BETWEEN 1000 AND 1002 AND Nz(Telefon, 'x') <> 'x'");
  EXPECT_EQ(1001, F(view, "Personalnr")->Value().ToInt32());
  view->FindFirst("Personalnr + 1 = '1003'");  // a text holding a number compares as one
  EXPECT_EQ(1002, F(view, "Personalnr")->Value().ToInt32());
  view->FindNext("LCASE(Mitarbeiter) = 'niemand'");
  EXPECT_TRUE(view->NoMatch());
  EXPECT_EQ(1002, F(view, "Personalnr")->Value().ToInt32());
  EXPECT_EQ(3070, ErrorOf([&] { view->FindFirst("Fehlt = 1"); }));
  EXPECT_EQ(3251, ErrorOf([&] { view->FindFirst("Mid(Mitarbeiter, 1, 1) = 'W'"); }));
  // A filtered, sorted set opened from the view is narrowed by the server.
  view->SetFilter("Personalnr > 1001");
  view->SetSort("Personalnr DESC");
  auto narrowed = view->OpenRecordset();
  EXPECT_EQ(2, narrowed->RecordCount());
  EXPECT_EQ(1003, F(narrowed, "Personalnr")->Value().ToInt32());
  // Forward-only sets count what they passed and end at EOF.
  auto forward = db_->OpenRecordset("Ansicht", Variant(dbOpenForwardOnly));
  forward->MoveLast();
  EXPECT_EQ(3, forward->RecordCount());
  forward->MoveNext();
  EXPECT_TRUE(forward->Eof());
  Exec(*db_, "DROP VIEW Ansicht");
}

TEST(OdbcTranslationTest, JetPatternsAndDefaultsInStandardForms) {
  std::string out;
  ASSERT_TRUE(engine::odbc::StandardLikePattern("M*er?", out));
  EXPECT_EQ("M%er_", out);
  ASSERT_TRUE(engine::odbc::StandardLikePattern("100%_[*][?]\\", out));
  EXPECT_EQ("100\\%\\_*?\\\\", out);
  EXPECT_FALSE(engine::odbc::StandardLikePattern("[a-c]*", out));
  EXPECT_FALSE(engine::odbc::StandardLikePattern("[!a]", out));
  EXPECT_FALSE(engine::odbc::StandardLikePattern("##", out));
  EXPECT_EQ("\"it's \"\"x\"\"\"", engine::odbc::JetDefault("'it''s \"x\"'::character varying"));
  EXPECT_EQ("-1.5", engine::odbc::JetDefault("(-1.5)"));
  EXPECT_EQ("True", engine::odbc::JetDefault("true"));
  EXPECT_EQ("", engine::odbc::JetDefault("nextval('t_id_seq'::regclass)"));
  EXPECT_EQ("", engine::odbc::JetDefault("now()"));
  EXPECT_EQ("", engine::odbc::JetDefault("NULL"));
  EXPECT_EQ("", engine::odbc::JetDefault("'a' || 'b'"));
}

// SQLite's ODBC driver: a second driver, without a server.
TEST(SqliteOdbcTest, DynasetEditAndFindOnSqlitesDriver) {
  auto db = OpenSqlite();
  Exec(*db, "DROP TABLE IF EXISTS Geburtstag");
  // Jet's DDL, written for SQLite (its counter is the INTEGER PRIMARY KEY).
  db->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), "
              "Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
  db->Execute("CREATE UNIQUE INDEX Personalnr ON Geburtstag (Personalnr)");
  db->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Personalnr) VALUES ('M\xC3\xBCller', #3/14/1968#, 1001)");
  auto rs = db->OpenRecordset("geburtstag", Variant(dbOpenDynaset));
  EXPECT_TRUE(rs->Updatable());
  EXPECT_EQ(dbAutoIncrField, rs->Fields()->Item("ID")->Attributes() & dbAutoIncrField);
  rs->AddNew();
  F(rs, "Mitarbeiter")->SetValue(Variant("Sch\xC3\xA4" "fer"));
  F(rs, "Personalnr")->SetValue(Variant(1002));
  F(rs, "Geburtsdatum")->SetValue(Variant::Date(framework::EncodeDate(1975, 11, 2)));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(2, F(rs, "ID")->Value().ToInt32());
  rs->FindFirst("Personalnr = 1001");
  EXPECT_EQ("M\xC3\xBCller", F(rs, "Mitarbeiter")->Value().ToString());
  EXPECT_DOUBLE_EQ(framework::EncodeDate(1968, 3, 14), F(rs, "Geburtsdatum")->Value().ToDate());
  rs->Edit();
  F(rs, "Telefon")->SetValue(Variant("0711"));
  rs->Update();
  rs->AddNew();
  F(rs, "Personalnr")->SetValue(Variant(1001));
  try {
    rs->Update();
    FAIL() << "a duplicate was stored";
  } catch (const EOleException& e) {
    EXPECT_EQ(3022, e.ErrorCode()) << e.what();
  }
  rs->CancelUpdate();
  rs->MoveLast();
  rs->Delete();
  rs->Requery();
  EXPECT_EQ(1, rs->RecordCount());
  EXPECT_EQ("0711", F(rs, "Telefon")->Value().ToString());
  db->Close();
}

}  // namespace
}  // namespace odbc_test
