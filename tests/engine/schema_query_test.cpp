// DDL and DAO definitions surviving close and reopen, Jet SQL and criteria translation (quoting,
// wildcards, dates, GUIDs, injection attempts), stored queries with parameters, filter and sort,
// Jet's text comparison, and opening rules (missing, foreign, read-only, account).
#include <gtest/gtest.h>

#include <fstream>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

std::string Text(const std::shared_ptr<Recordset>& rs, const char* field) {
  return rs->Fields()->Item(field)->Value().ToString();
}

TEST_F(EngineTest, DdlAndDaoDefinitionsSurviveReopen) {
  db_ = ws_->CreateDatabase(Path("s.db"));
  db_->Execute("CREATE TABLE Kunde (Nr COUNTER, Name TEXT(50) NOT NULL DEFAULT \"abc\", Seit DATETIME DEFAULT Date(), "
               "Aktiv BIT DEFAULT True, Betrag CURRENCY, Kennung GUID, Bild LONGBINARY, Notiz MEMO, "
               "CONSTRAINT PK PRIMARY KEY (Nr))");
  db_->Execute("CREATE UNIQUE INDEX NameSeit ON Kunde (Name ASC, Seit DESC)");
  // The DAO way: a table definition with a field that carries Format and Caption.
  auto t = db_->CreateTableDef(Variant("Termin"));
  auto f = t->CreateField(Variant("Wann"), Variant(dbDate));
  f->Properties()->Append(f->CreateProperty(Variant("Format"), Variant(dbText), Variant("Medium Time")));
  t->Fields()->Append(f);
  auto g = t->CreateField(Variant("Was"), Variant(dbText), Variant(80));
  g->SetRequired(true);
  t->Fields()->Append(g);
  auto idx = t->CreateIndex(Variant("WannDesc"));
  auto idx_field = t->CreateField(Variant("Wann"));
  idx_field->SetAttributes(idx_field->Attributes() | dbDescending);
  idx->Fields()->Append(idx_field);
  t->Indexes()->Append(idx);
  db_->TableDefs()->Append(t);
  db_->Close();

  db_ = ws_->OpenDatabase(Path("s.db"));
  auto kunde = db_->TableDefs()->Item("kunde");
  auto fields = kunde->Fields();
  ASSERT_EQ(fields->Count(), 8);
  EXPECT_EQ(fields->Item("Nr")->Type(), dbLong);
  EXPECT_TRUE(fields->Item("Nr")->Attributes() & dbAutoIncrField);
  EXPECT_FALSE(fields->Item("Nr")->Attributes() & dbUpdatableField);
  EXPECT_TRUE(fields->Item("Name")->Attributes() & dbUpdatableField);
  EXPECT_EQ(fields->Item("Name")->Size(), 50);
  EXPECT_TRUE(fields->Item("Name")->Required());
  EXPECT_EQ(fields->Item("Name")->DefaultValue(), "\"abc\"");
  EXPECT_EQ(fields->Item("Seit")->DefaultValue(), "Date()");
  EXPECT_EQ(fields->Item("Aktiv")->Type(), dbBoolean);
  EXPECT_EQ(fields->Item("Betrag")->Type(), dbCurrency);
  EXPECT_EQ(fields->Item("Kennung")->Type(), dbGUID);
  EXPECT_EQ(fields->Item("Bild")->Type(), dbLongBinary);
  EXPECT_EQ(fields->Item("Notiz")->Type(), dbMemo);
  auto indexes = kunde->Indexes();
  ASSERT_EQ(indexes->Count(), 2);
  EXPECT_TRUE(indexes->Item("PK")->Primary());
  EXPECT_TRUE(indexes->Item("NameSeit")->Unique());
  EXPECT_FALSE(indexes->Item("NameSeit")->Primary());
  EXPECT_EQ(indexes->Item("NameSeit")->Fields()->Item(1)->Attributes() & dbDescending, dbDescending);
  EXPECT_EQ(indexes->Item("NameSeit")->Fields()->Item(0)->Attributes() & dbDescending, 0);
  auto termin = db_->TableDefs()->Item("Termin");
  EXPECT_EQ(termin->Fields()->Item("Wann")->Properties()->Item("Format")->Value().ToString(), "Medium Time");
  EXPECT_TRUE(termin->Fields()->Item("Was")->Required());
  EXPECT_EQ(termin->Indexes()->Item("WannDesc")->Fields()->Item(0)->Attributes() & dbDescending, dbDescending);
  // The recordset's fields inherit the stored properties.
  auto rs = db_->OpenRecordset("Termin", Variant(dbOpenDynaset));
  EXPECT_EQ(rs->Fields()->Item("Wann")->Properties()->Item("Format")->Value().ToString(), "Medium Time");
  // Defaults apply to new records; system tables carry the system attribute.
  auto k = db_->OpenRecordset("Kunde", Variant(dbOpenDynaset));
  k->AddNew();
  k->Update();
  k->SetBookmark(k->LastModified());
  EXPECT_EQ(Text(k, "Name"), "abc");
  EXPECT_EQ(k->Fields()->Item("Aktiv")->Value().Type(), framework::VarType::Boolean);
  EXPECT_TRUE(k->Fields()->Item("Aktiv")->Value().ToBool());
  EXPECT_GT(k->Fields()->Item("Seit")->Value().ToDouble(), 40000.0);
  bool system_seen = false;
  for (int i = 0; i < db_->TableDefs()->Count(); ++i) {
    auto def = db_->TableDefs()->Item(i);
    if ((def->Attributes() & dbSystemObject) != 0) system_seen = true;
  }
  EXPECT_TRUE(system_seen);
  // Deleting an index and a table.
  kunde->Indexes()->Delete("NameSeit");
  EXPECT_EQ(db_->TableDefs()->Item("Kunde")->Indexes()->Count(), 1);
  db_->Execute("DROP TABLE Termin");
  EXPECT_EQ(ErrorOf([&] { db_->TableDefs()->Item("Termin"); }), err::kNotInCollection);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Termin"); }), err::kUnknownTable);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("CREATE TABLE Kunde (X LONG)"); }), err::kObjectExists);
}

TEST_F(EngineTest, ValuesAndCriteriaTranslation) {
  db_ = ws_->CreateDatabase(Path("v.db"));
  db_->Execute("CREATE TABLE T (ID COUNTER, S TEXT(40), D DATETIME, G GUID, C CURRENCY, B BIT, N DOUBLE)");
  db_->Execute("INSERT INTO T (S, D, G, C, B, N) VALUES (\"Meier\", #01/15/2003 22:30:05#, "
               "{guid {12345678-9ABC-DEF0-1234-56789ABCDEF0}}, 12.3456, True, 1.5)");
  db_->Execute("INSERT INTO T (S, D, C, B, N) VALUES ('O''Brien \"x\"', #12/31/2001#, 0.1, False, -2)");
  db_->Execute("INSERT INTO T (S) VALUES (\"50%-Rabatt? [a]\")");
  db_->Execute("INSERT INTO T (S) VALUES (\"Müller\")");
  auto rs = db_->OpenRecordset("T", Variant(dbOpenDynaset));
  EXPECT_EQ(rs->Fields()->Item("D")->Value().Type(), framework::VarType::Date);
  EXPECT_EQ(rs->Fields()->Item("C")->Value().ToCurrencyScaled(), 123456);
  EXPECT_EQ(Text(rs, "G"), "{guid {12345678-9ABC-DEF0-1234-56789ABCDEF0}}");
  auto find = [&](const std::string& criteria) {
    rs->FindFirst(criteria);
    return rs->NoMatch() ? std::string("no match") : Text(rs, "S");
  };
  EXPECT_EQ(find("S = \"MEIER\""), "Meier");  // case does not matter
  EXPECT_EQ(find("S = \"Muller\""), "no match");  // accents do
  EXPECT_EQ(find("S = \"MÜLLER\""), "Müller");
  EXPECT_EQ(find("D = #01/15/2003 22:30:05#"), "Meier");
  EXPECT_EQ(find("D < #1/1/2002#"), "O'Brien \"x\"");
  EXPECT_EQ(find("G = {guid {12345678-9abc-def0-1234-56789abcdef0}}"), "Meier");
  EXPECT_EQ(find("S = \"O'Brien \"\"x\"\"\""), "O'Brien \"x\"");
  EXPECT_EQ(find("S LIKE \"50%[-]Rabatt[?] [[]a]\""), "50%-Rabatt? [a]");
  EXPECT_EQ(find("S LIKE \"m?ller\""), "Müller");
  EXPECT_EQ(find("S LIKE \"[!a-m]*\""), "O'Brien \"x\"");
  EXPECT_EQ(find("LCASE(S) = LCASE(\"MEIER\")"), "Meier");
  EXPECT_EQ(find("C = 0.1 AND NOT B"), "O'Brien \"x\"");
  EXPECT_EQ(find("N * 2 = 3 AND B = True"), "Meier");
  EXPECT_EQ(find("D IS NULL AND S & \"!\" = \"Müller!\""), "Müller");
  EXPECT_EQ(find("Year(D) = 2001"), "O'Brien \"x\"");
  // Injection attempts stay literals.
  EXPECT_EQ(find("S = \"x\"\" OR 1=1 --\""), "no match");
  EXPECT_EQ(find("S = 'x'' OR ''1''=''1'"), "no match");
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("S = \"a\"; DROP TABLE T"); }), err::kExpressionSyntax);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("DELETE FROM T WHERE S = \"a\"; DROP TABLE T"); }), err::kSyntaxInQuery);
  EXPECT_EQ(db_->TableDefs()->Item("T")->RecordCount(), 4);
  // A query names unknown names as parameters; a query without values is 3061.
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT * FROM T WHERE S = Wer"); }), err::kTooFewParameters);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("UPDATE T SET S = Neu"); }), err::kTooFewParameters);
}

TEST_F(EngineTest, StoredQueriesWithParameters) {
  CreateBirthdays(10);
  auto q = db_->CreateQueryDef(Variant("Ab"), Variant("PARAMETERS [Von] Long; SELECT * FROM Geburtstag "
                                                        "WHERE Personalnr >= [Von] AND Mitarbeiter LIKE Muster ORDER BY Personalnr"));
  auto params = q->Parameters();
  ASSERT_EQ(params->Count(), 2);
  EXPECT_EQ(params->Item(0)->Name(), "Von");
  EXPECT_EQ(params->Item(0)->Type(), dbLong);
  EXPECT_EQ(params->Item(1)->Name(), "Muster");
  EXPECT_EQ(params->Item(1)->Direction(), dbParamInput);
  EXPECT_EQ(ErrorOf([&] { q->OpenRecordset(); }), err::kTooFewParameters);
  params->Item(0)->SetValue(Variant("1005"));
  params->Item("muster")->SetValue(Variant("*"));
  auto rs = q->OpenRecordset(Variant(dbOpenDynaset));
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->Fields()->Item("Personalnr")->Value().ToInt32(), 1005);
  EXPECT_EQ(ErrorOf([&] { params->Item(0)->SetValue(Variant("abc")); }), err::kTypeConversion);
  // The query is stored with the database.
  db_->Close();
  db_ = ws_->OpenDatabase(Path("geb.db"));
  auto stored = db_->QueryDefs()->Item("ab");
  EXPECT_NE(stored->SQL().find("PARAMETERS"), std::string::npos);
  EXPECT_EQ(stored->Type(), dbQSelect);
  EXPECT_EQ(ErrorOf([&] { db_->QueryDefs()->Item("Nix"); }), err::kNotInCollection);
  auto action = db_->CreateQueryDef(Variant("Weg"), Variant("DELETE FROM Geburtstag WHERE Personalnr < Grenze"));
  action->Parameters()->Item("Grenze")->SetValue(Variant(1003));
  action->Execute();
  EXPECT_EQ(action->RecordsAffected(), 3);
  EXPECT_EQ(ErrorOf([&] { stored->Execute(); }), err::kCannotExecuteSelect);
}

TEST_F(EngineTest, FilterAndSortApplyToRecordsetsOpenedFromOne) {
  CreateBirthdays(10);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  rs->SetFilter("Personalnr > 1005");
  rs->SetSort("Personalnr DESC");
  EXPECT_EQ(rs->RecordCount(), 10);  // the recordset itself is unchanged
  auto narrowed = rs->OpenRecordset();
  EXPECT_EQ(narrowed->RecordCount(), 4);
  EXPECT_EQ(narrowed->Fields()->Item("Personalnr")->Value().ToInt32(), 1009);
  EXPECT_TRUE(narrowed->Updatable());
  rs->SetFilter("Unbekannt = 1");
  EXPECT_EQ(ErrorOf([&] { rs->OpenRecordset(); }), err::kUnknownName);
  // Grouping and joins open read-only.
  auto grouped = db_->OpenRecordset("SELECT Count(*) AS N FROM Geburtstag", Variant(dbOpenDynaset));
  EXPECT_FALSE(grouped->Updatable());
  EXPECT_EQ(grouped->Fields()->Item("N")->Value().ToInt32(), 10);
}

TEST_F(EngineTest, OpeningRules) {
  EXPECT_EQ(ErrorOf([&] { ws_->OpenDatabase(Path("missing.mdb")); }), err::kFileNotFound);
  {
    std::ofstream(Path("foreign.mdb")) << "Standard Jet DB, or something else entirely";
  }
  EXPECT_EQ(ErrorOf([&] { ws_->OpenDatabase(Path("foreign.mdb")); }), err::kNotADatabase);
  {
    std::ofstream(Path("empty.mdb"));
  }
  EXPECT_EQ(ErrorOf([&] { ws_->OpenDatabase(Path("empty.mdb")); }), err::kNotADatabase);
  EXPECT_EQ(ErrorOf([&] { engine_->CreateWorkspace("x", Variant("Meier"), Variant(""), Variant(dbUseJet)); }),
            err::kAccount);
  EXPECT_EQ(ErrorOf([&] { engine_->CreateWorkspace("x", Variant("admin"), Variant("geheim"), Variant(dbUseJet)); }),
            err::kAccount);
  EXPECT_EQ(engine_->Version(), "3.6");
  CreateBirthdays(2);
  db_->Close();
  auto ro = ws_->OpenDatabase(Path("geb.db"), Variant(false), Variant(true));
  EXPECT_FALSE(ro->Updatable());
  auto rs = ro->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kReadOnly);
  EXPECT_EQ(ErrorOf([&] { ro->Execute("DELETE FROM Geburtstag"); }), err::kReadOnly);
  EXPECT_EQ(ErrorOf([&] { ro->Execute("CREATE TABLE X (A LONG)"); }), err::kReadOnly);
  EXPECT_EQ(rs->RecordCount(), 2);
  // An exclusive open is refused while another connection has the file.
  EXPECT_EQ(ErrorOf([&] { ws_->OpenDatabase(Path("geb.db"), Variant(true), Variant(false), Variant(";BUSYTIMEOUT=100")); }),
            err::kSystemFileInUse);
}

}  // namespace
}  // namespace engine_test
