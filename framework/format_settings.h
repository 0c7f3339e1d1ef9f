// Locale conventions for turning numbers and dates into text and back. One process-wide
// instance is taken from the locale at first use; tests replace it with SetFormatSettings.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/date_time.h"

namespace framework {

struct FormatSettings {
  char DecimalSeparator = ',';
  char ThousandSeparator = '.';
  char DateSeparator = '.';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd.mm.yyyy";
  std::string LongDateFormat = "dddd, d. mmmm yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString;
  std::string TimePMString;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;  // Sunday first
  std::array<std::string, 7> LongDayNames;
  // Two-digit years are taken within this many years of the current year (0: current century).
  int TwoDigitYearCenturyWindow = 50;

  // German conventions, used when the process locale is C or POSIX.
  static FormatSettings German();
  // Conventions of the process locale (LC_NUMERIC, LC_TIME); German for C/POSIX.
  static FormatSettings FromLocale();
};

// The process-wide settings (taken from the locale at first use).
const FormatSettings& DefaultFormatSettings();
void SetFormatSettings(const FormatSettings& settings);

// Formats with the usual date-format letters: d dd ddd dddd ddddd dddddd, m mm mmm mmmm, yy yyyy,
// h hh, n nn, s ss, z zzz, am/pm, ampm, c, t, tt; "..." and '...' are literal; '/' is the date
// separator and ':' the time separator. An 'm' right after an 'h' means minutes.
std::string FormatDateTime(const std::string& format, TDateTime value,
                           const FormatSettings& fs = DefaultFormatSettings());
std::string DateToStr(TDateTime value, const FormatSettings& fs = DefaultFormatSettings());
std::string TimeToStr(TDateTime value, const FormatSettings& fs = DefaultFormatSettings());
// Date, then the long time unless the time is midnight.
std::string DateTimeToStr(TDateTime value, const FormatSettings& fs = DefaultFormatSettings());

// Parses a date in the order of the short date format (day, month, year), the parts separated by
// the date separator. A missing year is the current year; a two-digit year goes through the
// century window. Raises EConvertError "'text' is not a valid date".
TDateTime StrToDate(const std::string& text, const FormatSettings& fs = DefaultFormatSettings());
bool TryStrToDate(const std::string& text, TDateTime& result,
                  const FormatSettings& fs = DefaultFormatSettings());
// Hours, minutes, optional seconds and milliseconds, optional AM/PM.
bool TryStrToTime(const std::string& text, TDateTime& result,
                  const FormatSettings& fs = DefaultFormatSettings());
TDateTime StrToTime(const std::string& text, const FormatSettings& fs = DefaultFormatSettings());
// A date, a time, or a date followed by a time.
bool TryStrToDateTime(const std::string& text, TDateTime& result,
                      const FormatSettings& fs = DefaultFormatSettings());
TDateTime StrToDateTime(const std::string& text, const FormatSettings& fs = DefaultFormatSettings());

// Decimal integer text (optional sign, surrounding blanks allowed, "$"/"0x" hexadecimal).
bool TryStrToInt64(const std::string& text, int64_t& result);
bool TryStrToInt(const std::string& text, int32_t& result);
// Raises EConvertError "'text' is not a valid integer value".
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
int32_t StrToIntDef(const std::string& text, int32_t fallback);

// The shortest text that reads back to the same double, with the decimal separator of `fs`.
std::string FloatToStr(double value, const FormatSettings& fs = DefaultFormatSettings());
// Accepts the decimal separator of `fs` (and '.' as well), an exponent, surrounding blanks.
bool TryStrToFloat(const std::string& text, double& result,
                   const FormatSettings& fs = DefaultFormatSettings());
// Raises EConvertError "'text' is not a valid floating point value".
double StrToFloat(const std::string& text, const FormatSettings& fs = DefaultFormatSettings());

}  // namespace framework
