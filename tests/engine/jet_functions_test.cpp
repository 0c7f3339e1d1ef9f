// Jet's functions as queries run them: the date functions on DAO day numbers (DateAdd, DateDiff
// with its counting of boundaries, DatePart with the first day of the week and of the year),
// Format with named formats and patterns, the text and number functions, and Null in, Null out
// where Jet answers so.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/format_settings.h"
#include "tests/engine/jet_sql_support.h"

namespace engine_test {
namespace {

using namespace dao;

class JetFunctionsTest : public JetQueryTest {
 protected:
  void SetUp() override {
    JetQueryTest::SetUp();
    saved_ = framework::DefaultFormatSettings();
    framework::SetFormatSettings(framework::FormatSettings::German());
  }
  void TearDown() override {
    framework::SetFormatSettings(saved_);
    JetQueryTest::TearDown();
  }
  bool IsNull(const std::string& expression) { return Eval(expression).IsNull(); }
  // The DAO error of evaluating `expression`.
  int Error(const std::string& expression) {
    return ErrorOf([&] { Eval(expression); });
  }

  framework::FormatSettings saved_;
};

TEST_F(JetFunctionsTest, DateAddKeepsTheDayOrTakesTheMonthsLast) {
  EXPECT_EQ(Eval("DateAdd('d', 1, #1/1/2005#)").Type(), framework::VarType::Date);
  EXPECT_EQ(Num("DateAdd('m', 1, #1/31/2004#)"), Num("#2/29/2004#"));
  EXPECT_EQ(Num("DateAdd('m', 1, #1/31/2005#)"), Num("#2/28/2005#"));
  EXPECT_EQ(Num("DateAdd('yyyy', 1, #2/29/2004#)"), Num("#2/28/2005#"));
  EXPECT_EQ(Num("DateAdd('q', -1, #5/31/2005#)"), Num("#2/28/2005#"));
  EXPECT_EQ(Num("DateAdd('m', -13, #1/15/2005 10:30#)"), Num("#12/15/2003 10:30#"));
  EXPECT_EQ(Num("DateAdd('d', 10, #12/25/2005#)"), Num("#1/4/2006#"));
  EXPECT_EQ(Num("DateAdd('y', 1, #12/31/2005#)"), Num("#1/1/2006#"));
  EXPECT_EQ(Num("DateAdd('w', -2, #1/1/2005#)"), Num("#12/30/2004#"));
  EXPECT_EQ(Num("DateAdd('ww', 2, #1/1/2005#)"), Num("#1/15/2005#"));
  EXPECT_NEAR(Num("DateAdd('h', 25, #1/1/2005 23:00#)"), Num("#1/3/2005#"), 1e-9);
  EXPECT_NEAR(Num("DateAdd('n', -90, #1/1/2005 01:00#)"), Num("#12/31/2004 23:30#"), 1e-9);
  EXPECT_NEAR(Num("DateAdd('s', 3600, #1/1/2005#)"), Num("#1/1/2005 01:00#"), 1e-9);
  EXPECT_EQ(Num("DateAdd('d', 1.9, #1/1/2005#)"), Num("#1/2/2005#"));  // the fraction is dropped
  // Before 30 Dec 1899 the fraction still counts forward: 29 Dec 1899, 06:00 is -1.25.
  EXPECT_NEAR(Num("DateAdd('h', 6, #12/29/1899#)"), -1.25, 1e-9);
  EXPECT_NEAR(Num("DateAdd('d', -1, #12/30/1899 06:00#)"), -1.25, 1e-9);
  EXPECT_NEAR(Num("DateAdd('h', 24, -1.25)"), 0.25, 1e-9);
  EXPECT_TRUE(IsNull("DateAdd('d', 1, Null)"));
  EXPECT_EQ(Error("DateAdd('x', 1, #1/1/2005#)"), err::kInvalidArgument);
  EXPECT_EQ(Error("DateAdd('yyyy', 9000, #1/1/2005#)"), err::kInvalidArgument);
  EXPECT_EQ(Error("DateAdd('d', 1, 'kein Datum')"), err::kTypeMismatch);
  EXPECT_EQ(Num("DateAdd('d', 1, '2005-03-04')"), Num("#3/5/2005#"));  // texts read without the locale
}

TEST_F(JetFunctionsTest, DateDiffCountsBoundaries) {
  EXPECT_EQ(Num("DateDiff('yyyy', #12/31/2004#, #1/1/2005#)"), 1);
  EXPECT_EQ(Num("DateDiff('yyyy', #1/1/2005#, #12/31/2005#)"), 0);
  EXPECT_EQ(Num("DateDiff('q', #3/31/2005#, #4/1/2005#)"), 1);
  EXPECT_EQ(Num("DateDiff('m', #1/31/2005#, #2/1/2005#)"), 1);
  EXPECT_EQ(Num("DateDiff('m', #2/1/2005#, #1/31/2004#)"), -13);
  EXPECT_EQ(Num("DateDiff('d', #1/1/2005 23:00#, #1/2/2005 01:00#)"), 1);
  EXPECT_EQ(Num("DateDiff('y', #1/2/2005#, #1/1/2005#)"), -1);
  EXPECT_EQ(Num("DateDiff('h', #1/1/2005 10:59#, #1/1/2005 11:01#)"), 1);
  EXPECT_EQ(Num("DateDiff('n', #1/1/2005 10:59:59#, #1/1/2005 11:00:00#)"), 1);
  EXPECT_EQ(Num("DateDiff('s', #1/1/2005#, #1/2/2005#)"), 86400);
  EXPECT_EQ(Num("DateDiff('h', #12/29/1899 23:00#, #12/30/1899 01:00#)"), 2);
  // w: whole weeks of seven days; ww: first days of weeks after date1 up to date2.
  EXPECT_EQ(Num("DateDiff('w', #1/3/2005#, #1/16/2005#)"), 1);
  EXPECT_EQ(Num("DateDiff('w', #1/16/2005#, #1/3/2005#)"), -1);
  EXPECT_EQ(Num("DateDiff('ww', #1/1/2005#, #1/2/2005#)"), 1);     // Saturday to Sunday
  EXPECT_EQ(Num("DateDiff('ww', #1/1/2005#, #1/2/2005#, 2)"), 0);  // weeks from Monday
  EXPECT_EQ(Num("DateDiff('ww', #1/2/2005#, #1/8/2005#)"), 0);
  EXPECT_EQ(Num("DateDiff('ww', #1/2/2005#, #1/8/2005#, 2)"), 1);
  EXPECT_EQ(Eval("DateDiff('d', #1/1/2005#, #1/2/2005#)").Type(), framework::VarType::Integer);
  EXPECT_TRUE(IsNull("DateDiff('d', Null, #1/2/2005#)"));
  EXPECT_EQ(Error("DateDiff('ww', #1/1/2005#, #1/2/2005#, 8)"), err::kInvalidArgument);
}

TEST_F(JetFunctionsTest, DatePartAndWeekday) {
  EXPECT_EQ(Num("DatePart('yyyy', #3/4/2005 06:07:08#)"), 2005);
  EXPECT_EQ(Num("DatePart('q', #3/4/2005#)"), 1);
  EXPECT_EQ(Num("DatePart('m', #3/4/2005#)"), 3);
  EXPECT_EQ(Num("DatePart('y', #3/4/2005#)"), 63);
  EXPECT_EQ(Num("DatePart('d', #3/4/2005#)"), 4);
  EXPECT_EQ(Num("DatePart('w', #3/4/2005#)"), 6);     // a Friday, counted from Sunday
  EXPECT_EQ(Num("DatePart('w', #3/4/2005#, 2)"), 5);  // from Monday
  EXPECT_EQ(Num("DatePart('h', #3/4/2005 06:07:08#)"), 6);
  EXPECT_EQ(Num("DatePart('n', #3/4/2005 06:07:08#)"), 7);
  EXPECT_EQ(Num("DatePart('s', #3/4/2005 06:07:08#)"), 8);
  // Weeks of the year: the week of 1 January, the first with four days, the first full week.
  EXPECT_EQ(Num("DatePart('ww', #3/4/2005#)"), 10);
  EXPECT_EQ(Num("DatePart('ww', #3/4/2005#, 2, 2)"), 9);
  EXPECT_EQ(Num("DatePart('ww', #3/4/2005#, 1, 3)"), 9);
  EXPECT_EQ(Num("DatePart('ww', #1/1/2005#, 2, 2)"), 53);  // still the last week of 2004
  EXPECT_EQ(Num("DatePart('ww', #1/1/2005#)"), 1);
  EXPECT_EQ(Num("Weekday(#1/2/2000#)"), 1);
  EXPECT_EQ(Num("Weekday(#1/2/2000#, 2)"), 7);
  EXPECT_TRUE(IsNull("DatePart('d', Null)"));
  EXPECT_EQ(Error("DatePart('dd', #1/1/2005#)"), err::kInvalidArgument);
}

TEST_F(JetFunctionsTest, NowDateTimeTimerDateValueTimeValue) {
  const double today = Num("Date()");
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(Num("Now()"), today);
  EXPECT_LT(Num("Now()"), today + 1.0001);
  EXPECT_EQ(Eval("Now()").Type(), framework::VarType::Date);
  EXPECT_GE(Num("Time()"), 0);
  EXPECT_LT(Num("Time()"), 1);
  EXPECT_NEAR(Num("Timer()"), Num("Time()") * 86400, 5);
  EXPECT_EQ(Num("DateValue('2005-03-04 12:00')"), Num("#3/4/2005#"));
  EXPECT_EQ(Num("DateValue('04.03.2005')"), Num("#3/4/2005#"));
  EXPECT_EQ(Num("DateValue('3/4/2005')"), Num("#3/4/2005#"));
  EXPECT_EQ(Num("DateValue(#3/4/2005 06:00#)"), Num("#3/4/2005#"));
  EXPECT_EQ(Eval("DateValue('3/4/2005')").Type(), framework::VarType::Date);
  EXPECT_NEAR(Num("TimeValue('14:30')"), 14.5 / 24, 1e-9);
  EXPECT_NEAR(Num("TimeValue('2:30 PM')"), 14.5 / 24, 1e-9);
  EXPECT_NEAR(Num("TimeValue(#3/4/2005 06:00#)"), 0.25, 1e-9);
  EXPECT_NEAR(Num("TimeValue(-1.25)"), 0.25, 1e-9);
  EXPECT_TRUE(IsNull("DateValue(Null)"));
  EXPECT_EQ(Error("DateValue('kein Datum')"), err::kTypeMismatch);
}

TEST_F(JetFunctionsTest, FormatNamedFormats) {
  EXPECT_EQ(Str("Format(#3/4/2005#, 'Short Date')"), "04.03.2005");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'Long Date')"), "Freitag, 4. März 2005");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'Medium Date')"), "04-Mrz-05");
  EXPECT_EQ(Str("Format(#3/4/2005 18:07:08#, 'General Date')"), "04.03.2005 18:07:08");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'General Date')"), "04.03.2005");
  EXPECT_EQ(Str("Format(#18:07:08#, 'General Date')"), "18:07:08");
  EXPECT_EQ(Str("Format(#3/4/2005 18:07:08#, 'Long Time')"), "18:07:08");
  EXPECT_EQ(Str("Format(#3/4/2005 18:07:08#, 'Short Time')"), "18:07");
  EXPECT_EQ(Str("Format(1234.5, 'Currency')"), "1.234,50 €");
  EXPECT_EQ(Str("Format(-1234.5, 'Currency')"), "-1.234,50 €");
  EXPECT_EQ(Str("Format(1234.5, 'Fixed')"), "1234,50");
  EXPECT_EQ(Str("Format(1234.5, 'Standard')"), "1.234,50");
  EXPECT_EQ(Str("Format(0.125, 'Percent')"), "12,50%");
  EXPECT_EQ(Str("Format(1234.5, 'Scientific')"), "1,23E+03");
  EXPECT_EQ(Str("Format(1234.5, 'General Number')"), "1234,5");
  EXPECT_EQ(Str("Format(0, 'Yes/No') & Format(-1, 'Yes/No')"), "NoYes");
  EXPECT_EQ(Str("Format(K = 1, 'True/False') & Format(0, 'On/Off')"), "TrueOff");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'short date')"), "04.03.2005");  // names without regard to case
  // Without a format: as Jet shows the value.
  EXPECT_EQ(Str("Format(12345)"), "12345");
  EXPECT_EQ(Str("Format(1.5)"), "1,5");
  EXPECT_EQ(Str("Format(#3/4/2005#)"), "04.03.2005");
  EXPECT_EQ(Str("Format(K = 1)"), "True");
  EXPECT_TRUE(IsNull("Format(Null, 'Short Date')"));
}

TEST_F(JetFunctionsTest, FormatPatterns) {
  EXPECT_EQ(Str("Format(#3/4/2005#, 'dd.mm.yyyy')"), "04.03.2005");
  EXPECT_EQ(Str("Format(#3/4/2005 06:07:08#, 'yyyy-mm-dd hh:nn:ss')"), "2005-03-04 06:07:08");
  EXPECT_EQ(Str("Format(#3/4/2005 18:07:08#, 'h:nn AM/PM')"), "6:07 PM");
  EXPECT_EQ(Str("Format(#3/4/2005 18:07:08#, 'hh:mm a/p')"), "06:07 p");  // m after h is minutes
  EXPECT_EQ(Str("Format(#3/4/2005#, 'dddd, d. mmmm yy')"), "Freitag, 4. März 05");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'ddd m/d q y ww w')"), "Fr 3.4 1 63 10 6");
  EXPECT_EQ(Str("Format(#3/4/2005#, '\"Tag\" d')"), "Tag 4");
  EXPECT_EQ(Str("Format(1234.5, '0.00')"), "1234,50");
  EXPECT_EQ(Str("Format(1234.5, '#,##0')"), "1.235");  // halves away from zero
  EXPECT_EQ(Str("Format(1234567, '#,##0')"), "1.234.567");
  EXPECT_EQ(Str("Format(2.5, '0')"), "3");
  EXPECT_EQ(Str("Format(0.125, '0.00') & ' ' & Format(2.675, '0.00')"), "0,13 2,68");
  EXPECT_EQ(Str("Format(123, '00000')"), "00123");
  EXPECT_EQ(Str("Format(5, '#.##') & ' ' & Format(0.5, '#.##') & ' ' & Format(0.5, '0.0#')"), "5, ,5 0,5");
  EXPECT_EQ(Str("Format(0.5, '0%')"), "50%");
  EXPECT_EQ(Str("Format(0.000123, '0.0E-00') & ' ' & Format(99999, '0.0E+0')"), "1,2E-04 1,0E+5");
  EXPECT_EQ(Str("Format(5551234, '000-0000')"), "555-1234");
  EXPECT_EQ(Str("Format(5, '\"Nr. \"0') & Format(5, ' \\#0')"), "Nr. 5 #5");
  // Sections for positive; negative; zero; Null.
  EXPECT_EQ(Str("Format(-5, '0;(0)')"), "(5)");
  EXPECT_EQ(Str("Format(-5, '0.0')"), "-5,0");
  EXPECT_EQ(Str("Format(0, '0;(0);\"null\"')"), "null");
  EXPECT_EQ(Str("Format(Null, '0;(0);\"null\";\"leer\"')"), "leer");
  EXPECT_TRUE(IsNull("Format(Null, '0.00')"));
  // Texts: case, placeholders; a text that is a number or a date is formatted as one.
  EXPECT_EQ(Str("Format('abc', '>') & Format('ABC', '<')"), "ABCabc");
  EXPECT_EQ(Str("Format('123456', '@@@-@@@')"), "123-456");
  EXPECT_EQ(Str("Format('ab', '@@@@') & '|'"), "  ab|");
  EXPECT_EQ(Str("Format('1234.5', '0.00')"), "1234,50");
  EXPECT_EQ(Str("Format('2005-03-04', 'dd.mm.yyyy')"), "04.03.2005");
  EXPECT_EQ(Str("Format('abc', '0.00')"), "abc");
  EXPECT_EQ(Str("Format(Q, '00')"), "03");
}

TEST_F(JetFunctionsTest, FormatFollowsTheFormatSettings) {
  framework::FormatSettings us = framework::FormatSettings::German();
  us.DecimalSeparator = '.';
  us.ThousandSeparator = ',';
  us.DateSeparator = '/';
  us.ShortDateFormat = "m/d/yyyy";
  framework::SetFormatSettings(us);
  EXPECT_EQ(Str("Format(1234.5, '#,##0.00')"), "1,234.50");
  EXPECT_EQ(Str("Format(1234.5, 'Currency') & ' ' & Format(-1234.5, 'Currency')"), "$1,234.50 ($1,234.50)");
  EXPECT_EQ(Str("Format(#3/4/2005#, 'Short Date') & ' ' & Format(#3/4/2005#, 'dd/mm/yyyy')"), "3/4/2005 04/03/2005");
}

TEST_F(JetFunctionsTest, TextFunctions) {
  EXPECT_EQ(Str("Replace('Hallo Welt', 'l', 'L')"), "HaLLo WeLt");
  EXPECT_EQ(Str("Replace('Hallo', 'L', 'x')"), "Haxxo");  // without regard to case, as the database compares
  EXPECT_EQ(Str("Replace('Hallo', 'L', 'x', 1, -1, 0)"), "Hallo");  // binary
  EXPECT_EQ(Str("Replace('abcabc', 'b', 'X', 3)"), "caXc");  // from the start on
  EXPECT_EQ(Str("Replace('aaaa', 'a', 'b', 1, 2)"), "bbaa");
  EXPECT_EQ(Str("Replace('Müller', 'ü', 'ue') & Replace('abc', '', 'x') & Replace('abc', 'b', 'x', 9)"), "Muellerabc");
  EXPECT_EQ(Error("Replace(Null, 'a', 'b')"), 94);
  EXPECT_EQ(Error("Replace('a', 'a', 'b', 0)"), err::kInvalidArgument);
  EXPECT_EQ(Num("StrComp('abc', 'ABC')"), 0);
  EXPECT_EQ(Num("StrComp('abc', 'ABC', 0)"), 1);
  EXPECT_EQ(Num("StrComp('a', 'b') * 10 + StrComp('b', 'a', 1)"), -9);
  EXPECT_TRUE(IsNull("StrComp(Null, 'a')"));
  EXPECT_EQ(Num("Val('12abc')"), 12);
  EXPECT_EQ(Num("Val('  1 2 3')"), 123);
  EXPECT_EQ(Num("Val('1.5e3x')"), 1500);
  EXPECT_EQ(Num("Val('1D2')"), 100);
  EXPECT_EQ(Num("Val('-.5')"), -0.5);
  EXPECT_EQ(Num("Val('1,5')"), 1);  // the decimal point is '.' in any locale
  EXPECT_EQ(Num("Val('&HFF') + Val('&O17') * 1000"), 15255);
  EXPECT_EQ(Num("Val('&HFFFF')"), -1);
  EXPECT_EQ(Num("Val('abc')"), 0);
  EXPECT_EQ(Error("Val(Null)"), 94);
  EXPECT_EQ(Str("Str(12) & '|' & Str(-12) & '|' & Str(0.5) & '|' & Str(-0.5)"), " 12|-12| .5|-.5");
  EXPECT_EQ(Str("Str(1E20) & '|' & Str(1/3)"), " 1E+20| .333333333333333");
  EXPECT_TRUE(IsNull("Str(Null)"));
  EXPECT_EQ(Str("'[' & Space(3) & Space(0) & ']'"), "[   ]");
  EXPECT_EQ(Error("Space(-1)"), err::kInvalidArgument);
  EXPECT_EQ(Error("Space(Null)"), 94);
  EXPECT_EQ(Str("String(3, 'xy') & String(3, 65) & String(2, 252)"), "xxxAAAüü");
  EXPECT_TRUE(IsNull("String(Null, 'a')"));
  EXPECT_EQ(Error("String(-1, 'a')"), err::kInvalidArgument);
  EXPECT_EQ(Num("Asc('A') + Asc('€') * 1000"), 128065);  // Windows-1252 codes
  EXPECT_EQ(Num("Asc('ü')"), 252);
  EXPECT_EQ(Num("AscW('€')"), 8364);
  EXPECT_EQ(Str("Chr(65) & Chr(128) & ChrW(8364)"), "A€€");
  EXPECT_EQ(Error("Chr(256)"), err::kInvalidArgument);
  EXPECT_EQ(Error("Chr(Null)"), 94);
  EXPECT_EQ(Error("Asc('')"), err::kInvalidArgument);
}

TEST_F(JetFunctionsTest, ChoicesNumbersAndTests) {
  EXPECT_EQ(Str("Switch(K = 2, 'zwei', K = 1, 'eins')"), "eins");
  EXPECT_TRUE(IsNull("Switch(K = 9, 'x')"));
  EXPECT_EQ(Error("Switch(K = 1)"), err::kExpressionSyntax);
  EXPECT_EQ(Str("Choose(2, 'a', 'b', 'c') & Choose(2.9, 'a', 'b', 'c')"), "bb");
  EXPECT_TRUE(IsNull("Choose(4, 'a', 'b', 'c')"));
  EXPECT_TRUE(IsNull("Choose(0, 'a')"));
  EXPECT_EQ(Num("Sgn(-4) * 100 + Sgn(0) * 10 + Sgn(2.5)"), -99);
  EXPECT_TRUE(IsNull("Sgn(Null)"));
  EXPECT_EQ(Num("Round(2.5)"), 2);  // halves to even
  EXPECT_EQ(Num("Round(3.5)"), 4);
  EXPECT_EQ(Num("Round(-2.5)"), -2);
  EXPECT_EQ(Num("Round(0.125, 2)"), 0.12);
  EXPECT_EQ(Num("Round(2.567, 2)"), 2.57);
  EXPECT_TRUE(IsNull("Round(Null)"));
  EXPECT_EQ(Error("Round(1, -1)"), err::kInvalidArgument);
  EXPECT_EQ(Num("Sqr(16)"), 4);
  EXPECT_EQ(Error("Sqr(-1)"), err::kInvalidArgument);
  EXPECT_TRUE(Eval("IsNull(Null)").ToBool());
  EXPECT_FALSE(Eval("IsNull(K)").ToBool());
  for (const char* yes : {"IsNumeric('12.5')", "IsNumeric(K)", "IsNumeric(' 1e3 ')", "IsNumeric('&H1F')", "IsNumeric(K = 1)",
                          "IsDate('2005-03-04')", "IsDate('31.12.2005')", "IsDate(#1/1/2000#)", "IsDate('14:30')"})
    EXPECT_TRUE(Eval(yes).ToBool()) << yes;
  for (const char* no : {"IsNumeric('12abc')", "IsNumeric('')", "IsNumeric(Null)", "IsNumeric(#1/1/2000#)", "IsNumeric(S)",
                         "IsDate('13/31/2005')", "IsDate(5)", "IsDate(Null)", "IsDate('abc')"})
    EXPECT_FALSE(Eval(no).ToBool()) << no;
  EXPECT_EQ(Eval("IsDate(5)").Type(), framework::VarType::Boolean);
}

}  // namespace
}  // namespace engine_test
