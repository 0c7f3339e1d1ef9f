#include "framework/format_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "framework/exception.h"
#include "framework/strings.h"

namespace framework {

namespace {

const char* const kGermanShortMonths[12] = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun",
                                            "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
const char* const kGermanLongMonths[12] = {"Januar", "Februar", "März",     "April",
                                           "Mai",    "Juni",    "Juli",     "August",
                                           "September", "Oktober", "November", "Dezember"};
const char* const kGermanShortDays[7] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
const char* const kGermanLongDays[7] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                        "Donnerstag", "Freitag", "Samstag"};

std::mutex g_settings_mutex;
FormatSettings* g_settings = nullptr;

bool IsCLocaleName(const char* name) {
  if (name == nullptr || *name == 0) return true;
  return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
         std::strncmp(name, "C.", 2) == 0;
}

// The locale name that governs `category`, following LC_ALL > LC_xxx > LANG.
const char* LocaleNameFor(const char* category_variable) {
  for (const char* var : {"LC_ALL", category_variable, "LANG"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != 0) return v;
  }
  return nullptr;
}

// Turns a strftime date format ("%d.%m.%Y") into the format letters used here ("dd.mm.yyyy").
std::string DateFormatFromStrftime(const std::string& f, char& separator) {
  std::string out;
  separator = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      if (separator == 0 && !std::isalnum(static_cast<unsigned char>(f[i])) && f[i] != ' ')
        separator = f[i];
      out += f[i] == separator ? '/' : f[i];
      continue;
    }
    char c = f[++i];
    if (c == 'E' || c == 'O' || c == '-' || c == '0' || c == '_') {
      if (i + 1 >= f.size()) break;
      c = f[++i];
    }
    switch (c) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "mm"; break;
      case 'Y': out += "yyyy"; break;
      case 'y': out += "yy"; break;
      case 'b': case 'h': out += "mmm"; break;
      case 'B': out += "mmmm"; break;
      case 'D': out += "mm/dd/yy"; if (!separator) separator = '/'; break;
      case 'F': out += "yyyy/mm/dd"; if (!separator) separator = '-'; break;
      default: break;
    }
  }
  if (separator == 0) separator = '/';
  return out;
}

int CurrentYear() {
  int y, m, d;
  DecodeDate(Now(), y, m, d);
  return y;
}

// Applies the century window to a year written with at most two digits.
int ExpandYear(int year, int digits, const FormatSettings& fs) {
  if (digits > 2) return year;
  const int current = CurrentYear();
  int century = current - current % 100;
  if (fs.TwoDigitYearCenturyWindow > 0) {
    const int threshold = current - fs.TwoDigitYearCenturyWindow;
    year += century;
    if (year < threshold) year += 100;
    else if (year > threshold + 99) year -= 100;
    return year;
  }
  return year + century;
}

struct Scanner {
  const std::string& s;
  size_t pos = 0;

  void SkipBlanks() {
    while (pos < s.size() && s[pos] == ' ') ++pos;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos >= s.size();
  }
  bool Char(char c) {
    SkipBlanks();
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // Up to 4 (or `max_digits`) decimal digits; `digits` receives how many were read.
  bool Number(int& value, int& digits, int max_digits = 4) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && digits < max_digits) {
      value = value * 10 + (s[pos] - '0');
      ++digits;
      ++pos;
    }
    return digits > 0;
  }
};

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(const std::string& format) {
  for (char c : format) {
    switch (std::tolower(static_cast<unsigned char>(c))) {
      case 'd': return DateOrder::DMY;
      case 'm': return DateOrder::MDY;
      case 'y': return DateOrder::YMD;
      default: break;
    }
  }
  return DateOrder::DMY;
}

bool ScanDate(Scanner& sc, TDateTime& result, const FormatSettings& fs) {
  int n1, n2, n3 = 0, d1, d2, d3 = 0;
  if (!sc.Number(n1, d1) || !sc.Char(fs.DateSeparator) || !sc.Number(n2, d2)) return false;
  const size_t before_third = sc.pos;
  bool has_third = sc.Char(fs.DateSeparator) && sc.Number(n3, d3);
  if (!has_third) sc.pos = before_third;
  int y, m, d, ydigits;
  const DateOrder order = OrderOf(fs.ShortDateFormat);
  if (!has_third) {
    y = CurrentYear();
    ydigits = 4;
    if (order == DateOrder::MDY) { m = n1; d = n2; }
    else if (order == DateOrder::DMY) { d = n1; m = n2; }
    else { m = n1; d = n2; }
  } else {
    switch (order) {
      case DateOrder::DMY: d = n1; m = n2; y = n3; ydigits = d3; break;
      case DateOrder::MDY: m = n1; d = n2; y = n3; ydigits = d3; break;
      default: y = n1; ydigits = d1; m = n2; d = n3; break;
    }
    y = ExpandYear(y, ydigits, fs);
  }
  return TryEncodeDate(y, m, d, result);
}

// True when `s` holds `word` at `pos`, ignoring ASCII case.
bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view word) {
  return !word.empty() && pos <= s.size() && SameText(s.substr(pos, word.size()), word);
}

bool ScanTime(Scanner& sc, TDateTime& result, const FormatSettings& fs) {
  int h, n, s = 0, z = 0, digits;
  if (!sc.Number(h, digits, 2) || !sc.Char(fs.TimeSeparator) || !sc.Number(n, digits, 2))
    return false;
  if (sc.Char(fs.TimeSeparator)) {
    if (!sc.Number(s, digits, 2)) return false;
    if (sc.Char(fs.DecimalSeparator) || sc.Char('.')) {
      if (!sc.Number(z, digits, 3)) return false;
    }
  }
  sc.SkipBlanks();
  auto match_word = [&](const std::string& word) {
    if (!StartsWithNoCase(sc.s, sc.pos, word)) return false;
    sc.pos += word.size();
    return true;
  };
  if (match_word(fs.TimeAMString.empty() ? "AM" : fs.TimeAMString) || match_word("AM")) {
    if (h == 0 || h > 12) return false;
    if (h == 12) h = 0;
  } else if (match_word(fs.TimePMString.empty() ? "PM" : fs.TimePMString) || match_word("PM")) {
    if (h == 0 || h > 12) return false;
    if (h < 12) h += 12;
  }
  return TryEncodeTime(h, n, s, z, result);
}

std::string Pad(int value, int width) {
  std::string s = std::to_string(value);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}


// True when an AM/PM marker follows position `pos` of the format (so hours are 12-hour).
bool HasAmPmAfter(const std::string& f, size_t pos) {
  for (size_t i = pos; i < f.size(); ++i) {
    if (f[i] == '"' || f[i] == '\'') {
      const char q = f[i++];
      while (i < f.size() && f[i] != q) ++i;
      continue;
    }
    if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") ||
        StartsWithNoCase(f, i, "ampm"))
      return true;
  }
  return false;
}

void AppendFormatted(std::string& out, const std::string& f, TDateTime value,
                     const FormatSettings& fs, int depth) {
  if (depth > 2) return;  // "c" inside "c" would recurse forever
  int year, month, day, hour, minute, second, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  bool last_was_hour = false;
  bool twelve_hour = false;
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < f.size() && std::tolower(static_cast<unsigned char>(f[i + run])) == lc) ++run;
    switch (lc) {
      case '"':
      case '\'': {
        size_t end = f.find(c, i + 1);
        if (end == std::string::npos) end = f.size();
        out.append(f, i + 1, end - i - 1);
        i = end + 1;
        continue;
      }
      case 'c':
        AppendFormatted(out, fs.ShortDateFormat, value, fs, depth + 1);
        if (std::fmod(std::fabs(value), 1.0) != 0) {
          out += ' ';
          AppendFormatted(out, fs.LongTimeFormat, value, fs, depth + 1);
        }
        i += 1;
        continue;
      case 'd':
        run = std::min<size_t>(run, 6);
        if (run == 1) out += std::to_string(day);
        else if (run == 2) out += Pad(day, 2);
        else if (run == 3) out += fs.ShortDayNames[DayOfWeek(value) - 1];
        else if (run == 4) out += fs.LongDayNames[DayOfWeek(value) - 1];
        else if (run == 5) AppendFormatted(out, fs.ShortDateFormat, value, fs, depth + 1);
        else AppendFormatted(out, fs.LongDateFormat, value, fs, depth + 1);
        i += run;
        last_was_hour = false;
        continue;
      case 'm':
        run = std::min<size_t>(run, 4);
        if (last_was_hour && run <= 2) {
          out += run == 1 ? std::to_string(minute) : Pad(minute, 2);
        } else if (run == 1) {
          out += std::to_string(month);
        } else if (run == 2) {
          out += Pad(month, 2);
        } else if (run == 3) {
          out += fs.ShortMonthNames[month - 1];
        } else {
          out += fs.LongMonthNames[month - 1];
        }
        i += run;
        last_was_hour = false;
        continue;
      case 'y':
        out += run <= 2 ? Pad(year % 100, 2) : Pad(year, 4);
        i += run;
        last_was_hour = false;
        continue;
      case 'h': {
        twelve_hour = HasAmPmAfter(f, i);
        int h = hour;
        if (twelve_hour) {
          h = hour % 12;
          if (h == 0) h = 12;
        }
        out += run == 1 ? std::to_string(h) : Pad(h, 2);
        i += std::min<size_t>(run, 2);
        last_was_hour = true;
        continue;
      }
      case 'n':
        out += run == 1 ? std::to_string(minute) : Pad(minute, 2);
        i += std::min<size_t>(run, 2);
        last_was_hour = false;
        continue;
      case 's':
        out += run == 1 ? std::to_string(second) : Pad(second, 2);
        i += std::min<size_t>(run, 2);
        last_was_hour = false;
        continue;
      case 'z':
        out += run >= 3 ? Pad(msec, 3) : std::to_string(msec);
        i += std::min<size_t>(run, 3);
        continue;
      case 't':
        AppendFormatted(out, run >= 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, value, fs,
                        depth + 1);
        i += std::min<size_t>(run, 2);
        continue;
      case 'a':
        if (StartsWithNoCase(f, i, "am/pm")) {
          const bool upper = std::isupper(static_cast<unsigned char>(f[i]));
          out += hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
          i += 5;
          continue;
        }
        if (StartsWithNoCase(f, i, "a/p")) {
          const bool upper = std::isupper(static_cast<unsigned char>(f[i]));
          out += hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
          i += 3;
          continue;
        }
        if (StartsWithNoCase(f, i, "ampm")) {
          out += hour < 12 ? (fs.TimeAMString.empty() ? "AM" : fs.TimeAMString)
                           : (fs.TimePMString.empty() ? "PM" : fs.TimePMString);
          i += 4;
          continue;
        }
        out += c;
        ++i;
        continue;
      case '/':
        out += fs.DateSeparator;
        ++i;
        continue;
      case ':':
        out += fs.TimeSeparator;
        ++i;
        continue;
      default:
        out += c;
        ++i;
        continue;
    }
  }
}


}  // namespace

FormatSettings FormatSettings::German() {
  FormatSettings fs;
  for (int i = 0; i < 12; ++i) {
    fs.ShortMonthNames[i] = kGermanShortMonths[i];
    fs.LongMonthNames[i] = kGermanLongMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    fs.ShortDayNames[i] = kGermanShortDays[i];
    fs.LongDayNames[i] = kGermanLongDays[i];
  }
  return fs;
}

FormatSettings FormatSettings::FromLocale() {
  FormatSettings fs = German();
  const char* time_name = LocaleNameFor("LC_TIME");
  const char* numeric_name = LocaleNameFor("LC_NUMERIC");
  if (!IsCLocaleName(numeric_name)) {
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, numeric_name, nullptr)) {
      const char* radix = nl_langinfo_l(RADIXCHAR, loc);
      const char* thousands = nl_langinfo_l(THOUSEP, loc);
      if (radix && std::strlen(radix) == 1) fs.DecimalSeparator = radix[0];
      // A multi-byte separator (a narrow no-break space) cannot be a single char; use a blank.
      fs.ThousandSeparator = thousands && std::strlen(thousands) == 1 ? thousands[0] : ' ';
      freelocale(loc);
    }
  }
  if (!IsCLocaleName(time_name)) {
    if (locale_t loc = newlocale(LC_TIME_MASK, time_name, nullptr)) {
      char sep = '.';
      const std::string d_fmt = nl_langinfo_l(D_FMT, loc);
      const std::string converted = DateFormatFromStrftime(d_fmt, sep);
      if (!converted.empty()) {
        fs.ShortDateFormat = converted;
        fs.DateSeparator = sep;
      }
      const std::string t_fmt = nl_langinfo_l(T_FMT, loc);
      const bool twelve = t_fmt.find("%I") != std::string::npos ||
                          t_fmt.find("%l") != std::string::npos ||
                          t_fmt.find("%r") != std::string::npos;
      fs.TimeAMString = nl_langinfo_l(AM_STR, loc);
      fs.TimePMString = nl_langinfo_l(PM_STR, loc);
      fs.LongTimeFormat = twelve ? "h:nn:ss ampm" : "hh:nn:ss";
      fs.ShortTimeFormat = twelve ? "h:nn ampm" : "hh:nn";
      for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc);
        fs.LongMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc);
      }
      for (int i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc);
        fs.LongDayNames[i] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), loc);
      }
      freelocale(loc);
    }
  }
  return fs;
}

const FormatSettings& DefaultFormatSettings() {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  if (g_settings == nullptr) g_settings = new FormatSettings(FormatSettings::FromLocale());
  return *g_settings;
}

void SetFormatSettings(const FormatSettings& settings) {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  if (g_settings == nullptr) g_settings = new FormatSettings(settings);
  else *g_settings = settings;
}

std::string FormatDateTime(const std::string& format, TDateTime value, const FormatSettings& fs) {
  std::string out;
  AppendFormatted(out, format.empty() ? "c" : format, value, fs, 0);
  return out;
}

std::string DateToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.ShortDateFormat, value, fs);
}

std::string TimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.LongTimeFormat, value, fs);
}

std::string DateTimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime("c", value, fs);
}

bool TryStrToDate(const std::string& text, TDateTime& result, const FormatSettings& fs) {
  Scanner sc{text};
  TDateTime d;
  if (!ScanDate(sc, d, fs) || !sc.AtEnd()) return false;
  result = d;
  return true;
}

TDateTime StrToDate(const std::string& text, const FormatSettings& fs) {
  TDateTime result;
  if (!TryStrToDate(text, result, fs)) throw EConvertError("'" + text + "' is not a valid date");
  return result;
}

bool TryStrToTime(const std::string& text, TDateTime& result, const FormatSettings& fs) {
  Scanner sc{text};
  TDateTime t;
  if (!ScanTime(sc, t, fs) || !sc.AtEnd()) return false;
  result = t;
  return true;
}

TDateTime StrToTime(const std::string& text, const FormatSettings& fs) {
  TDateTime result;
  if (!TryStrToTime(text, result, fs)) throw EConvertError("'" + text + "' is not a valid time");
  return result;
}

bool TryStrToDateTime(const std::string& text, TDateTime& result, const FormatSettings& fs) {
  Scanner sc{text};
  TDateTime d = 0, t = 0;
  const size_t start = sc.pos;
  if (ScanDate(sc, d, fs)) {
    if (sc.AtEnd()) {
      result = d;
      return true;
    }
    if (!ScanTime(sc, t, fs) || !sc.AtEnd()) return false;
    result = d < 0 ? d - t : d + t;
    return true;
  }
  sc.pos = start;
  if (!ScanTime(sc, t, fs) || !sc.AtEnd()) return false;
  result = t;
  return true;
}

TDateTime StrToDateTime(const std::string& text, const FormatSettings& fs) {
  TDateTime result;
  if (!TryStrToDateTime(text, result, fs))
    throw EConvertError("'" + text + "' is not a valid date and time");
  return result;
}

bool TryStrToInt64(const std::string& text, int64_t& result) {
  const std::string s = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t magnitude = 0;
  auto [ptr, ec] = std::from_chars(s.data() + i, s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || ptr != s.data() + s.size()) return false;
  if (negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    result = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    result = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool TryStrToInt(const std::string& text, int32_t& result) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
  result = static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t v;
  if (!TryStrToInt(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

int64_t StrToInt64(const std::string& text) {
  int64_t v;
  if (!TryStrToInt64(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

int32_t StrToIntDef(const std::string& text, int32_t fallback) {
  int32_t v;
  return TryStrToInt(text, v) ? v : fallback;
}

std::string FloatToStr(double value, const FormatSettings& fs) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  const double magnitude = std::fabs(value);
  const bool scientific = magnitude != 0 && (magnitude >= 1e15 || magnitude < 1e-4);
  auto res = std::to_chars(buf, buf + sizeof buf, value,
                           scientific ? std::chars_format::scientific : std::chars_format::fixed);
  std::string s(buf, res.ptr);
  if (scientific) {
    // 1.5e+20 -> 1.5E20, 2e-07 -> 2E-7
    const size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    const bool negative_exp = exponent[0] == '-';
    exponent.erase(0, 1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    s = mantissa + "E" + (negative_exp ? "-" : "") + exponent;
  }
  for (char& ch : s)
    if (ch == '.') ch = fs.DecimalSeparator;
  return s;
}

bool TryStrToFloat(const std::string& text, double& result, const FormatSettings& fs) {
  std::string s = Trim(text);
  if (s.empty()) return false;
  for (char& ch : s)
    if (ch == fs.DecimalSeparator) ch = '.';
  size_t start = s[0] == '+' ? 1 : 0;
  if (start >= s.size()) return false;
  double v;
  auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + s.size(), v);
  if (ec != std::errc() || ptr != s.data() + s.size()) return false;
  result = v;
  return true;
}

double StrToFloat(const std::string& text, const FormatSettings& fs) {
  double v;
  if (!TryStrToFloat(text, v, fs))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

}  // namespace framework
