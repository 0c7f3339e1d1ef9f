// Jet SQL as the engine runs it: the functions and operators the parser knows, criteria edge
// cases and their error messages, date and GUID literals, query definitions opened with
// parameters and MaxRecords, select-list aliases, TOP with ties, Yes/No fields without a value.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/engine/jet_sql_support.h"

namespace engine_test {
namespace {

using namespace dao;

class JetSqlTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db_ = ws_->CreateDatabase(Path("sql.db"));
    db_->Execute("CREATE TABLE One (ID COUNTER, S TEXT(40), N DOUBLE, D DATETIME, E TEXT(10))");
    db_->Execute("INSERT INTO One (S, N, D) VALUES ('  Grüße, Welt  ', 2.5, #03/04/2005 06:07:08#)");
  }
  // The value of a Jet expression over the one record.
  Variant Eval(const std::string& expression) {
    auto rs = db_->OpenRecordset("SELECT " + expression + " AS V FROM One", Variant(dbOpenSnapshot));
    return rs->Fields()->Item("V")->Value();
  }
  std::string Str(const std::string& expression) { return Eval(expression).ToString(); }
  double Num(const std::string& expression) { return Eval(expression).ToDouble(); }
  // The error of a find with `criteria` on a dynaset over One, with its message.
  std::pair<int, std::string> FindError(const std::string& criteria) {
    auto rs = db_->OpenRecordset("One", Variant(dbOpenDynaset));
    try {
      rs->FindFirst(criteria);
    } catch (const EOleException& e) {
      return {e.ErrorCode(), e.Message()};
    }
    return {0, ""};
  }
};

TEST_F(JetSqlTest, StringFunctionsAndConcatenation) {
  EXPECT_EQ(Str("LCASE('ÄrGer')"), "ärger");
  EXPECT_EQ(Str("UCASE(\"straße\")"), "STRASSE");
  EXPECT_EQ(Str("UCASE$('abc')"), "ABC");
  EXPECT_EQ(Str("TRIM(S)"), "Grüße, Welt");
  EXPECT_EQ(Str("LTRIM(S) & '|'"), "Grüße, Welt  |");
  EXPECT_EQ(Str("'|' & RTRIM(S)"), "|  Grüße, Welt");
  EXPECT_EQ(Num("LEN(TRIM(S))"), 11);  // characters, not bytes
  EXPECT_EQ(Str("LEFT(TRIM(S), 5)"), "Grüße");
  EXPECT_EQ(Str("RIGHT(TRIM(S), 4)"), "Welt");
  EXPECT_EQ(Str("RIGHT('ab', 5)"), "ab");
  EXPECT_EQ(Str("RIGHT('abc', 0)"), "");
  EXPECT_EQ(Str("RIGHT('Köln', 3) & LEFT('Köln', 2)"), "ölnKö");
  EXPECT_EQ(Str("MID(TRIM(S), 4, 2)"), "ße");
  EXPECT_EQ(Str("MID('abcdef', 3)"), "cdef");
  EXPECT_EQ(Num("INSTR(S, 'Welt')"), 10);
  EXPECT_EQ(Num("INSTR(S, 'nix')"), 0);
  EXPECT_EQ(Num("INSTR(4, 'abcabc', 'b')"), 5);
  EXPECT_EQ(Str("SPACE(3) & 'x'"), "   x");
  EXPECT_EQ(Str("CHR(65) & CHR(9) & CHR$(252)"), "A\tü");
  EXPECT_EQ(Num("ASC('ü')"), 252);
  // & joins texts and numbers and treats Null as empty; + with Null is Null.
  EXPECT_EQ(Str("'a' & 1 & N"), "a12.5");
  EXPECT_EQ(Str("'a' & E & 'b'"), "ab");
  EXPECT_TRUE(Eval("'a' + E").IsNull());
  EXPECT_EQ(Str("NZ(E, 'leer')"), "leer");
  EXPECT_EQ(Str("IIF(N > 2, 'groß', 'klein')"), "groß");
  EXPECT_TRUE(Eval("ISNULL(E)").ToBool());
  EXPECT_EQ(Str("CSTR(N)"), "2.5");
  EXPECT_EQ(Num("VAL('12abc')"), 12);
}

TEST_F(JetSqlTest, DateFunctionsAndLiterals) {
  EXPECT_EQ(Num("YEAR(D)"), 2005);
  EXPECT_EQ(Num("MONTH(D)"), 3);
  EXPECT_EQ(Num("DAY(D)"), 4);
  EXPECT_EQ(Num("HOUR(D)"), 6);
  EXPECT_EQ(Num("MINUTE(D)"), 7);
  EXPECT_EQ(Num("SECOND(D)"), 8);
  EXPECT_EQ(Num("WEEKDAY(#01/02/2000#)"), 1);  // a Sunday
  EXPECT_EQ(Eval("DATESERIAL(2005, 3, 4)").Type(), framework::VarType::Date);
  EXPECT_DOUBLE_EQ(Num("DATESERIAL(2005, 3, 4)"), Num("#3/4/2005#"));
  EXPECT_DOUBLE_EQ(Num("DATESERIAL(2005, 14, 1)"), Num("#2/1/2006#"));  // months roll over
  EXPECT_NEAR(Num("TIMESERIAL(6, 7, 8)"), (6 * 3600 + 7 * 60 + 8) / 86400.0, 1e-9);
  EXPECT_GT(Num("NOW()"), 40000.0);
  EXPECT_EQ(Num("DATE()"), std::floor(Num("DATE()")));
  // Both forms of date literal: #mm/dd/yyyy# and #yyyy-mm-dd#, with or without a time.
  EXPECT_DOUBLE_EQ(Num("#03/04/2005#"), Num("#2005-03-04#"));
  EXPECT_DOUBLE_EQ(Num("#03/04/2005 06:07:08#"), Num("D"));
  EXPECT_DOUBLE_EQ(Num("#2005-03-04 06:07:08#"), Num("D"));
  EXPECT_DOUBLE_EQ(Num("#12/30/1899#"), 0.0);
  auto rs = db_->OpenRecordset("One", Variant(dbOpenDynaset));
  for (const char* criteria : {"D = #3/4/2005 6:07:08#", "D = #2005-03-04 06:07:08#", "D > #2005-03-04#",
                               "D BETWEEN #03/04/2005# AND #03/05/2005#", "D < #3/5/2005#"}) {
    rs->FindFirst(criteria);
    EXPECT_FALSE(rs->NoMatch()) << criteria;
  }
  rs->FindFirst("D = #2005-03-04#");
  EXPECT_TRUE(rs->NoMatch());
  // A malformed date literal is a syntax error naming it.
  const auto [number, message] = FindError("D = #13/45/2005#");
  EXPECT_EQ(number, err::kExpressionSyntax);
  EXPECT_NE(message.find("#13/45/2005#"), std::string::npos) << message;
}

TEST_F(JetSqlTest, OperatorsInBetweenAndPower) {
  EXPECT_EQ(Num("2 ^ 10"), 1024);
  EXPECT_EQ(Num("N ^ 2"), 6.25);
  EXPECT_EQ(Num("2 ^ -1"), 0.5);
  EXPECT_EQ(Num("2 ^ 3 ^ 2"), 64);  // left to right
  EXPECT_EQ(Num("2 * 3 ^ 2"), 18);
  EXPECT_TRUE(Eval("E ^ 2").IsNull());
  EXPECT_EQ(ErrorOf([&] { Eval("0 ^ -1"); }), err::kInvalidArgument);  // no infinity
  EXPECT_EQ(ErrorOf([&] { Eval("(-8) ^ 0.5"); }), err::kInvalidArgument);  // no NaN
  EXPECT_EQ(Num("7 \\ 2"), 3);
  EXPECT_EQ(Num("7 MOD 3"), 1);
  EXPECT_EQ(Num("7 / 2"), 3.5);
  EXPECT_EQ(Num("ABS(-3)"), 3);
  EXPECT_EQ(Num("INT(-2.5)"), -3);
  EXPECT_EQ(Num("FIX(-2.5)"), -2);
  EXPECT_EQ(Num("SGN(-4)"), -1);
  EXPECT_EQ(Num("SQR(16)"), 4);
  EXPECT_EQ(Num("ROUND(2.567, 2)"), 2.57);
  EXPECT_EQ(Num("CLNG('42')"), 42);
  auto rs = db_->OpenRecordset("One", Variant(dbOpenDynaset));
  for (const char* criteria : {"N IN (1, 2.5, 3)", "N NOT IN (1, 3)", "S IN ('x', '  GRÜSSE, WELT  ', '  grüße, welt  ')",
                               "N BETWEEN 2 AND 3", "N NOT BETWEEN 3 AND 4", "N ^ 2 > 6",
                               "(N > 1 AND N < 3) OR ID IS NULL", "E IS NULL", "NOT (E IS NOT NULL)",
                               "S & 'x' LIKE '*Welt  x'"}) {
    rs->FindFirst(criteria);
    EXPECT_FALSE(rs->NoMatch()) << criteria;
  }
  for (const char* criteria : {"N IN (1, 3)", "N BETWEEN 3 AND 2", "N ^ 2 < 6", "E = Null", "E <> 'a'"}) {
    rs->FindFirst(criteria);
    EXPECT_TRUE(rs->NoMatch()) << criteria;
  }
}

TEST_F(JetSqlTest, CriteriaErrorsNameTheText) {
  {
    const auto [number, message] = FindError("Nachname = 'x'");
    EXPECT_EQ(number, err::kUnknownName);
    EXPECT_NE(message.find("Nachname"), std::string::npos) << message;
  }
  for (const char* criteria : {"S = ", "S = 'offen", "(S = 'a'", "S = 'a')", "S == 'a'", "S LIKE", "N IN (1,",
                               "N BETWEEN 1", "[S = 'a'", "D = #03/04/2005", "S = 'a' AND", "G = {guid {1234}}"}) {
    const auto [number, message] = FindError(criteria);
    EXPECT_EQ(number, err::kExpressionSyntax) << criteria << ": " << message;
    EXPECT_NE(message.find(criteria), std::string::npos) << message;
  }
  // Types that cannot compare are 3464.
  EXPECT_EQ(FindError("N = 'abc'").first, err::kTypeMismatch);
  EXPECT_EQ(FindError("D = 'gestern'").first, err::kTypeMismatch);
  // A name in brackets may hold spaces; a name that a table does not have is still 3070.
  EXPECT_EQ(FindError("[Nach Name] = 1").first, err::kUnknownName);
  // Filter criteria are checked when the filtered set opens, with the same numbers.
  auto rs = db_->OpenRecordset("One", Variant(dbOpenDynaset));
  EXPECT_EQ(ErrorOf([&] { rs->SetFilter("S = "); }), err::kExpressionSyntax);
  rs->SetFilter("Nachname = 1");
  EXPECT_EQ(ErrorOf([&] { rs->OpenRecordset(); }), err::kUnknownName);
}

TEST_F(JetSqlTest, GuidLiteralsInBothForms) {
  db_->Execute("CREATE TABLE G (K GUID, Name TEXT(10))");
  db_->Execute("INSERT INTO G (K, Name) VALUES ({guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}, 'eins')");
  auto rs = db_->OpenRecordset("G", Variant(dbOpenDynaset));
  EXPECT_EQ(rs->Fields()->Item("K")->Value().ToString(), "{guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}");
  for (const char* criteria : {"K = {guid {0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}}",
                               "K = {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"}) {
    rs->FindFirst(criteria);
    EXPECT_FALSE(rs->NoMatch()) << criteria;
  }
  rs->FindFirst("K = {guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F0}}");
  EXPECT_TRUE(rs->NoMatch());
  // A GUID field takes its value in any of the forms, and refuses other text.
  rs->AddNew();
  rs->Fields()->Item("K")->SetValue(Variant("{11111111-2222-3333-4444-555555555555}"));
  rs->Update();
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); rs->Fields()->Item("K")->SetValue(Variant("keine GUID")); }),
            err::kTypeConversion);
  rs->CancelUpdate();
  rs->FindFirst("K = {guid {11111111-2222-3333-4444-555555555555}}");
  EXPECT_FALSE(rs->NoMatch());
}

TEST_F(JetSqlTest, QueryDefsOpenWithParametersAndMaxRecords) {
  for (int k = 1; k <= 20; ++k) db_->Execute("INSERT INTO One (S, N) VALUES ('Zeile " + std::to_string(k) + "', " + std::to_string(k) + ")");
  auto q = db_->CreateQueryDef(Variant("Bereich"), Variant("PARAMETERS Von Double, Bis Double; "
                                                            "SELECT * FROM One WHERE N BETWEEN Von AND Bis ORDER BY N DESC"));
  q->Parameters()->Item("Von")->SetValue(Variant(5));
  q->Parameters()->Item("Bis")->SetValue(Variant("12"));
  EXPECT_EQ(q->Parameters()->Item("Bis")->Value().ToDouble(), 12.0);  // converted to the declared type
  auto rs = q->OpenRecordset(Variant(dbOpenDynaset));
  EXPECT_EQ(rs->RecordCount(), 8);
  EXPECT_EQ(rs->Fields()->Item("N")->Value().ToInt32(), 12);
  EXPECT_TRUE(rs->Updatable());
  // The values stay with the query definition: Requery and a second open use them.
  q->Parameters()->Item("Von")->SetValue(Variant(11));
  rs->Requery();
  EXPECT_EQ(rs->RecordCount(), 8);  // the recordset keeps the values it was opened with
  EXPECT_EQ(q->OpenRecordset(Variant(dbOpenSnapshot))->RecordCount(), 2);
  // MaxRecords limits every type; 0 is no limit.
  q->SetMaxRecords(3);
  for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    auto limited = q->OpenRecordset(Variant(type));
    int n = 0;
    for (; !limited->Eof(); limited->MoveNext()) ++n;
    EXPECT_EQ(n, 2) << type;
  }
  q->Parameters()->Item("Von")->SetValue(Variant(1));
  auto limited = q->OpenRecordset(Variant(dbOpenDynaset));
  EXPECT_EQ(limited->RecordCount(), 3);
  EXPECT_EQ(limited->Fields()->Item("N")->Value().ToInt32(), 12);  // the first three in the query's order
  limited->AddNew();  // a record added through a limited set is still taken
  limited->Fields()->Item("N")->SetValue(Variant(99));
  limited->Update();
  EXPECT_EQ(limited->RecordCount(), 4);
  q->SetMaxRecords(0);
  EXPECT_EQ(q->OpenRecordset()->RecordCount(), 13);  // 1 to 12 and 2.5; 99 is out of range
  // A temporary query definition with implied parameters.
  auto temp = db_->CreateQueryDef(Variant(), Variant("SELECT S FROM One WHERE S = Gesucht"));
  EXPECT_EQ(temp->Parameters()->Count(), 1);
  EXPECT_EQ(ErrorOf([&] { temp->OpenRecordset(); }), err::kTooFewParameters);
  temp->Parameters()->Item("Gesucht")->SetValue(Variant("ZEILE 7"));
  auto one = temp->OpenRecordset(Variant(dbOpenSnapshot));
  EXPECT_EQ(one->RecordCount(), 1);
  EXPECT_EQ(one->Fields()->Item("S")->Value().ToString(), "Zeile 7");
  EXPECT_EQ(ErrorOf([&] { db_->QueryDefs()->Item("Gesucht"); }), err::kNotInCollection);  // not stored
  // The parameter's value is bound, never pasted: a quote in it is just a character.
  temp->Parameters()->Item("Gesucht")->SetValue(Variant("x' OR 'a'='a"));
  EXPECT_EQ(temp->OpenRecordset(Variant(dbOpenSnapshot))->RecordCount(), 0);
}

TEST_F(JetQueryTest, AnAliasOfAnExpressionWithALiteralServesWhereOrderByFilterAndSort) {
  // The literal's value goes along wherever the alias is used.
  auto rs = db_->OpenRecordset("SELECT K, Q * 2 AS D FROM A WHERE D > 10 ORDER BY D DESC, K", Variant(dbOpenDynaset));
  EXPECT_EQ(Column(rs, "K"), (Texts{"5", "3", "2", "4"}));
  EXPECT_EQ(Column(rs, "D"), (Texts{"24", "18", "12", "12"}));
  rs = db_->OpenRecordset("SELECT K, 'Nr. ' & K AS T FROM A WHERE T = 'Nr. 2'", Variant(dbOpenSnapshot));
  EXPECT_EQ(Column(rs, "K"), (Texts{"2"}));
  // Filter and Sort of a recordset opened from it, and a Find.
  auto all = db_->OpenRecordset("SELECT K, Q * 2 AS D FROM A", Variant(dbOpenDynaset));
  all->SetFilter("D > 15");
  all->SetSort("D DESC");
  auto filtered = all->OpenRecordset();
  EXPECT_EQ(Column(filtered, "K"), (Texts{"5", "3"}));
  all->FindFirst("D = 12 AND K > 2");
  ASSERT_FALSE(all->NoMatch());
  EXPECT_EQ(all->Fields()->Item("K")->Value().ToInt32(), 4);
  // The same on a grouped query: the filter applies to its records.
  auto grouped = db_->OpenRecordset("SELECT Q, Count(*) * 10 AS N FROM A GROUP BY Q", Variant(dbOpenSnapshot));
  grouped->SetFilter("N > 10");
  EXPECT_EQ(Column(grouped->OpenRecordset(), "Q"), (Texts{"6"}));
}

TEST_F(JetQueryTest, TopKeepsTheRecordsThatTieWithTheLast) {
  // Q: 3, 6, 9, 6, 12. The second and third smallest tie at 6.
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 2 K FROM A ORDER BY Q", Variant(dbOpenSnapshot)), "K"),
            (Texts{"1", "2", "4"}));
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 1 K FROM A ORDER BY Q DESC", Variant(dbOpenDynaset)), "K"),
            (Texts{"5"}));
  // Ties are decided on every ORDER BY value.
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 2 K FROM A ORDER BY Q, K DESC", Variant(dbOpenSnapshot)), "K"),
            (Texts{"1", "4"}));
  // PERCENT: 40 % of 5 records is 2, and the tie makes 3; 50 % is 2.5, rounded up to 3.
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 40 PERCENT K FROM A ORDER BY Q", Variant(dbOpenSnapshot)), "K"),
            (Texts{"1", "2", "4"}));
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 50 PERCENT K FROM A ORDER BY K", Variant(dbOpenSnapshot)), "K"),
            (Texts{"1", "2", "3"}));
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 20 PERCENT K FROM A", Variant(dbOpenSnapshot)), "K").size(), 1u);
  // With DISTINCT the order is by fields of the query; ties count on distinct records.
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT DISTINCT TOP 2 Q FROM A ORDER BY A.Q", Variant(dbOpenSnapshot)), "Q"),
            (Texts{"3", "6"}));
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT DISTINCT TOP 2 Q FROM A ORDER BY K"); }), 3093);
  // Without ORDER BY there are no ties: the first n records.
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT TOP 3 K FROM A", Variant(dbOpenSnapshot)), "K").size(), 3u);
  // A filter on a TOP query applies to its records, not before the TOP.
  auto top = db_->OpenRecordset("SELECT TOP 2 K, Q FROM A ORDER BY Q", Variant(dbOpenSnapshot));
  top->SetFilter("K > 1");
  top->SetSort("K DESC");
  EXPECT_EQ(Column(top->OpenRecordset(), "K"), (Texts{"4", "2"}));
}

TEST_F(JetQueryTest, YesNoFieldsWithoutAValueAreNo) {
  db_->Execute("CREATE TABLE B (ID COUNTER, N LONG, B BIT, J BIT DEFAULT True)");
  db_->Execute("INSERT INTO B (N) VALUES (1)");                   // B left out
  db_->Execute("INSERT INTO B (N, B) VALUES (2, Null)");          // B set to Null
  db_->Execute("INSERT INTO B (N, B) SELECT K + 10, Null FROM A WHERE K = 1");
  db_->Execute("INSERT INTO B (N) SELECT K + 20 FROM A WHERE K = 1");
  auto rs = db_->OpenRecordset("B", Variant(dbOpenDynaset));
  rs->AddNew();  // AddNew without a value
  rs->Fields()->Item("N")->SetValue(Variant(3));
  EXPECT_EQ(rs->Fields()->Item("B")->Value().Type(), framework::VarType::Boolean);  // No already, before Update
  EXPECT_FALSE(rs->Fields()->Item("B")->Value().ToBool());
  rs->Update();
  rs->AddNew();
  rs->Fields()->Item("N")->SetValue(Variant(4));
  rs->Fields()->Item("B")->SetValue(Variant::Null());
  rs->Update();
  db_->Execute("INSERT INTO B (N, B) VALUES (5, True)");
  db_->Execute("UPDATE B SET J = Null WHERE N = 5");
  auto all = db_->OpenRecordset("SELECT N, B, J FROM B ORDER BY N", Variant(dbOpenSnapshot));
  // N: 1, 2, 3, 4, 5, 11, 21
  EXPECT_EQ(Column(all, "B"), (Texts{"False", "False", "False", "False", "True", "False", "False"}));
  EXPECT_EQ(Column(all, "J"), (Texts{"True", "True", "True", "True", "False", "True", "True"}));
  all->MoveFirst();
  EXPECT_EQ(all->Fields()->Item("B")->Value().Type(), framework::VarType::Boolean);
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT N FROM B WHERE B = False", Variant(dbOpenSnapshot)), "N").size(), 6u);
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT N FROM B WHERE B IS NULL", Variant(dbOpenSnapshot)), "N").size(), 0u);
  // A Yes/No field added to a table with records is No in them.
  db_->Execute("ALTER TABLE A ADD COLUMN Neu BIT");
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT K FROM A WHERE Neu = False", Variant(dbOpenSnapshot)), "K").size(), 5u);
}

TEST_F(JetQueryTest, YesNoFieldsHoldingNullInOlderFilesReadAsNo) {
  // Files written before Yes/No fields were kept from Null may hold Null; this writes one
  // through SQLite itself.
  db_->Execute("CREATE TABLE B (N LONG, B BIT)");
  db_->Execute("CREATE INDEX BI ON B (B)");
  db_->Execute("INSERT INTO B (N, B) VALUES (1, True)");
  db_->Close();
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Path("q.db").c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "INSERT INTO B (N, B) VALUES (2, NULL)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
  }
  db_ = ws_->OpenDatabase(Path("q.db"));
  auto rs = db_->OpenRecordset("SELECT N, B FROM B WHERE B = False", Variant(dbOpenDynaset));
  EXPECT_EQ(Column(rs, "N"), (Texts{"2"}));
  EXPECT_EQ(Column(rs, "B"), (Texts{"False"}));
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT N FROM B WHERE B <> True", Variant(dbOpenSnapshot)), "N"), (Texts{"2"}));
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT N FROM B WHERE NOT B", Variant(dbOpenSnapshot)), "N"), (Texts{"2"}));
  auto table = db_->OpenRecordset("B", Variant(dbOpenDynaset));
  table->FindFirst("B = False");
  ASSERT_FALSE(table->NoMatch());
  EXPECT_EQ(table->Fields()->Item("N")->Value().ToInt32(), 2);
  EXPECT_FALSE(table->Fields()->Item("B")->Value().ToBool());
  // Editing such a record passes the check that nobody changed it meanwhile.
  table->Edit();
  table->Fields()->Item("N")->SetValue(Variant(22));
  table->Update();
  EXPECT_EQ(Column(db_->OpenRecordset("SELECT N FROM B WHERE B = 0", Variant(dbOpenSnapshot)), "N"), (Texts{"22"}));
}

TEST_F(JetQueryTest, SmallerFaultsOfConversionAndSyntax) {
  // CCur gives a Currency.
  auto rs = db_->OpenRecordset("SELECT CCur(Q / 4) AS C FROM A WHERE K = 1", Variant(dbOpenSnapshot));
  EXPECT_EQ(rs->Fields()->Item("C")->Type(), dbCurrency);
  EXPECT_EQ(rs->Fields()->Item("C")->Value().Type(), framework::VarType::Currency);
  EXPECT_EQ(rs->Fields()->Item("C")->Value().ToString(), Variant::Currency(0.75).ToString());
  // An unknown field of INSERT INTO's list is 3127, a JOIN without its kind 3131.
  EXPECT_EQ(ErrorOf([&] { db_->Execute("INSERT INTO A (Nope) VALUES (1)"); }), 3127);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT * FROM A P JOIN A O ON P.K = O.K"); }), err::kSyntaxInFrom);
}

}  // namespace
}  // namespace engine_test
