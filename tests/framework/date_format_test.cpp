#include <gtest/gtest.h>

#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/format_settings.h"

namespace framework {
namespace {

FormatSettings German() { return FormatSettings::German(); }

FormatSettings American() {
  FormatSettings fs = FormatSettings::German();
  fs.DateSeparator = '/';
  fs.ShortDateFormat = "m/d/yyyy";
  fs.DecimalSeparator = '.';
  fs.LongTimeFormat = "h:nn:ss ampm";
  fs.TimeAMString = "AM";
  fs.TimePMString = "PM";
  return fs;
}

TEST(DateTime, DayNumbersAndRoundTrips) {
  EXPECT_EQ(0.0, EncodeDate(1899, 12, 30));
  EXPECT_EQ(kDateDelta, DateTimeToTimeStamp(0).Date);
  EXPECT_EQ(1, DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date);
  EXPECT_EQ(25569.0, EncodeDate(1970, 1, 1));
  for (TDateTime d : {-693593.0, -1.0, 0.0, 1.0, 2.0, 59.0, 60.0, 36525.0, 25569.0, 2958465.0}) {
    int y, m, day;
    DecodeDate(d, y, m, day);
    EXPECT_EQ(d, EncodeDate(y, m, day)) << d;
  }
  int y, m, d;
  DecodeDate(EncodeDate(2000, 2, 29), y, m, d);
  EXPECT_EQ(2000, y);
  EXPECT_EQ(2, m);
  EXPECT_EQ(29, d);
  TDateTime out;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, out));
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
}

TEST(DateTime, NegativeDatesKeepTheirTimeOfDay) {
  // -1.25 is 29 Dec 1899 at 06:00.
  int y, m, d, h, n, s, z;
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, z);
  EXPECT_EQ(1899, y);
  EXPECT_EQ(29, d);
  EXPECT_EQ(6, h);
  const TTimeStamp ts = DateTimeToTimeStamp(-1.25);
  EXPECT_EQ(21600000, ts.Time);
  EXPECT_EQ(-1.25, TimeStampToDateTime(ts));
}

TEST(DateTime, TimeRoundsToTheNextDayAtMidnight) {
  const TTimeStamp ts = DateTimeToTimeStamp(1.0 - 1e-12);
  EXPECT_EQ(kDateDelta + 1, ts.Date);
  EXPECT_EQ(0, ts.Time);
}

TEST(FormatDateTime, Letters) {
  const FormatSettings fs = German();
  const TDateTime v = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
  EXPECT_EQ("05.03.2024", FormatDateTime("dd/mm/yyyy", v, fs));
  EXPECT_EQ("5.3.24", FormatDateTime("d/m/yy", v, fs));
  EXPECT_EQ("14:07:09.045", FormatDateTime("hh:nn:ss.zzz", v, fs));
  EXPECT_EQ("14:07", FormatDateTime("hh:mm", v, fs));  // m after h means minutes
  EXPECT_EQ("März 2024", FormatDateTime("mmmm yyyy", v, fs));
  EXPECT_EQ("Di", FormatDateTime("ddd", v, fs));
  EXPECT_EQ("day 5 of mm", FormatDateTime("\"day\" d 'of mm'", v, fs));
  EXPECT_EQ("05.03.2024 14:07:09", FormatDateTime("c", v, fs));
  EXPECT_EQ("05.03.2024", DateTimeToStr(EncodeDate(2024, 3, 5), fs));
  EXPECT_EQ("2:07:09 PM", FormatDateTime("tt", v, American()));
  EXPECT_EQ("12:00 am", FormatDateTime("h:nn am/pm", EncodeDate(2024, 3, 5), fs));
}

TEST(StrToDate, FollowsTheShortDateFormat) {
  const FormatSettings de = German();
  EXPECT_EQ(EncodeDate(1970, 12, 24), StrToDate("24.12.1970", de));
  EXPECT_EQ(EncodeDate(1900, 1, 1), StrToDate("01.01.1900", de));
  EXPECT_EQ(EncodeDate(1970, 12, 24), StrToDate("12/24/1970", American()));
  EXPECT_THROW(StrToDate("31.02.1970", de), EConvertError);
  EXPECT_THROW(StrToDate("24.12.1970x", de), EConvertError);
  EXPECT_THROW(StrToDate("", de), EConvertError);
  EXPECT_THROW(StrToDate("..", de), EConvertError);
  try {
    StrToDate("1.2.x", de);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ("'1.2.x' is not a valid date", e.Message());
  }
  // Two-digit years land within the century window around the current year.
  int y, m, d;
  DecodeDate(StrToDate("01.01.05", de), y, m, d);
  EXPECT_EQ(2005, y);
  TDateTime t;
  EXPECT_TRUE(TryStrToDateTime("24.12.1970 13:30:15", t, de));
  EXPECT_DOUBLE_EQ(EncodeDate(1970, 12, 24) + EncodeTime(13, 30, 15, 0), t);
  EXPECT_TRUE(TryStrToDateTime("1:05:00 PM", t, American()));
  EXPECT_DOUBLE_EQ(EncodeTime(13, 5, 0, 0), t);
}

TEST(Numbers, IntegerAndFloatText) {
  EXPECT_EQ(42, StrToInt(" 42 "));
  EXPECT_EQ(-7, StrToInt("-7"));
  EXPECT_EQ(255, StrToInt("$FF"));
  EXPECT_EQ(5, StrToIntDef("abc", 5));
  EXPECT_EQ(1, StrToIntDef("", 1));
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  const FormatSettings de = German();
  EXPECT_EQ("1,5", FloatToStr(1.5, de));
  EXPECT_EQ("100000", FloatToStr(100000, de));
  EXPECT_EQ("0,1", FloatToStr(0.1, de));
  EXPECT_EQ("1E20", FloatToStr(1e20, de));
  EXPECT_EQ("-2,5E-7", FloatToStr(-2.5e-7, de));
  EXPECT_EQ(1.5, StrToFloat("1,5", de));
  EXPECT_EQ(1.5, StrToFloat("1.5", de));
  EXPECT_THROW(StrToFloat("1,5x", de), EConvertError);
}

}  // namespace
}  // namespace framework
