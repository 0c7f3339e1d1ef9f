// Jet SQL as the engine runs it: the functions and operators the parser knows, criteria edge
// cases and their error messages, date and GUID literals, and query definitions opened with
// parameters and MaxRecords.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/engine/engine_test_support.h"

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

}  // namespace
}  // namespace engine_test
