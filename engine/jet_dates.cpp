#include "engine/jet_dates.h"

#include <cmath>

#include "dao/dao_constants.h"
#include "engine/jet_parser.h"
#include "framework/date_time.h"
#include "framework/strings.h"

namespace engine {

namespace {

// 1 Jan 100 and 31 Dec 9999, the first and last day Jet's dates reach.
constexpr int64_t kFirstDay = -657434;
constexpr int64_t kLastDay = 2958465;

[[noreturn]] void Fail(const std::string& message) { throw FunctionError{dao::err::kInvalidArgument, message}; }

// A DAO date on a straight line: whole days from 30 Dec 1899 (negative before it) and the
// seconds of the day, with its calendar parts.
struct Moment {
  int64_t day = 0;
  double seconds = 0;
  int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0;
};

Moment Split(double date, const char* function) {
  if (!(date > kFirstDay - 1 && date < kLastDay + 1))
    Fail(std::string(function) + ": the date " + std::to_string(date) + " is outside the years 100 to 9999.");
  Moment t;
  int ms;
  framework::DecodeDate(date, t.y, t.m, t.d);
  framework::DecodeTime(date, t.h, t.n, t.s, ms);
  t.day = static_cast<int64_t>(framework::EncodeDate(t.y, t.m, t.d));
  t.seconds = t.h * 3600 + t.n * 60 + t.s + ms / 1000.0;
  return t;
}

// The DAO date of a day on the line and the seconds of that day.
double ToDaoDate(int64_t day, double seconds, const char* function) {
  if (day < kFirstDay || day > kLastDay) Fail(std::string(function) + ": the result is outside the years 100 to 9999.");
  const double fraction = seconds / 86400.0;
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 1 (Sunday) to 7 (Saturday); day 0, 30 Dec 1899, was a Saturday.
int WeekdayOf(int64_t day) { return static_cast<int>(day + 6 - 7 * FloorDiv(day + 6, 7)) + 1; }

int FirstDay(int first_day) {
  if (first_day < 0 || first_day > 7) Fail("The first day of the week must be 0 to 7, not " + std::to_string(first_day) + ".");
  return first_day == 0 ? 1 : first_day;
}

int FirstWeek(int first_week) {
  if (first_week < 0 || first_week > 3) Fail("The first week of the year must be 0 to 3, not " + std::to_string(first_week) + ".");
  return first_week == 0 ? 1 : first_week;
}

// The first day of the week (starting on `first_day`) that holds `day`.
int64_t WeekStart(int64_t day, int first_day) { return day - (WeekdayOf(day) - first_day + 7) % 7; }

int64_t DayOf(int y, int m, int d) { return static_cast<int64_t>(framework::EncodeDate(y, m, d)); }

int WeekOfYear(int64_t day, int year, int first_day, int first_week) {
  const int64_t jan1 = DayOf(year, 1, 1);
  int64_t start = WeekStart(jan1, first_day);
  if (first_week == 2 && jan1 - start >= 4) start += 7;  // fewer than four days of that week in the year
  if (first_week == 3 && start != jan1) start += 7;
  if (day < start) return year > 1 ? WeekOfYear(jan1 - 1, year - 1, first_day, first_week) : 1;
  return static_cast<int>((day - start) / 7 + 1);
}

std::string Interval(const std::string& interval, const char* function) {
  const std::string i = framework::LowerCase(framework::Trim(interval));
  if (i == "yyyy" || i == "q" || i == "m" || i == "y" || i == "d" || i == "w" || i == "ww" || i == "h" || i == "n" ||
      i == "s")
    return i;
  Fail(std::string(function) + ": unknown interval '" + interval + "' (yyyy, q, m, y, d, w, ww, h, n, s).");
}

}  // namespace

double JetDateAdd(const std::string& interval, double number, double date) {
  const std::string i = Interval(interval, "DateAdd");
  const double whole = std::trunc(number);
  if (!(std::fabs(whole) < 1e12)) Fail("DateAdd: the number " + std::to_string(number) + " is too large.");
  const auto n = static_cast<int64_t>(whole);
  const Moment t = Split(date, "DateAdd");
  if (i == "yyyy" || i == "q" || i == "m") {
    const int64_t months = n * (i == "yyyy" ? 12 : i == "q" ? 3 : 1);
    const int64_t total = int64_t{t.y} * 12 + (t.m - 1) + months;
    const int64_t y = FloorDiv(total, 12);
    if (y < 100 || y > 9999) Fail("DateAdd: the result is outside the years 100 to 9999.");
    const int m = static_cast<int>(total - y * 12) + 1;
    const int d = std::min(t.d, framework::DaysInMonth(static_cast<int>(y), m));
    return ToDaoDate(DayOf(static_cast<int>(y), m, d), t.seconds, "DateAdd");
  }
  if (i == "y" || i == "d" || i == "w") return ToDaoDate(t.day + n, t.seconds, "DateAdd");
  if (i == "ww") return ToDaoDate(t.day + 7 * n, t.seconds, "DateAdd");
  const double unit = i == "h" ? 3600 : i == "n" ? 60 : 1;
  const double total = static_cast<double>(t.day) * 86400 + t.seconds + static_cast<double>(n) * unit;
  const double day = std::floor(total / 86400);
  if (!(day >= kFirstDay && day <= kLastDay)) Fail("DateAdd: the result is outside the years 100 to 9999.");
  return ToDaoDate(static_cast<int64_t>(day), total - day * 86400, "DateAdd");
}

int64_t JetDateDiff(const std::string& interval, double date1, double date2, int first_day, int first_week) {
  const std::string i = Interval(interval, "DateDiff");
  const int fd = FirstDay(first_day);
  FirstWeek(first_week);
  const Moment a = Split(date1, "DateDiff"), b = Split(date2, "DateDiff");
  if (i == "yyyy") return b.y - a.y;
  if (i == "q") return (int64_t{b.y} * 4 + (b.m - 1) / 3) - (int64_t{a.y} * 4 + (a.m - 1) / 3);
  if (i == "m") return (int64_t{b.y} * 12 + b.m) - (int64_t{a.y} * 12 + a.m);
  if (i == "y" || i == "d") return b.day - a.day;
  if (i == "w") return (b.day - a.day) / 7;
  if (i == "ww") return (WeekStart(b.day, fd) - WeekStart(a.day, fd)) / 7;
  if (i == "h") return (b.day * 24 + b.h) - (a.day * 24 + a.h);
  if (i == "n") return (b.day * 1440 + b.h * 60 + b.n) - (a.day * 1440 + a.h * 60 + a.n);
  return (b.day * 86400 + b.h * 3600 + b.n * 60 + b.s) - (a.day * 86400 + a.h * 3600 + a.n * 60 + a.s);
}

int JetDatePart(const std::string& interval, double date, int first_day, int first_week) {
  const std::string i = Interval(interval, "DatePart");
  const int fd = FirstDay(first_day);
  const int fw = FirstWeek(first_week);
  const Moment t = Split(date, "DatePart");
  if (i == "yyyy") return t.y;
  if (i == "q") return (t.m - 1) / 3 + 1;
  if (i == "m") return t.m;
  if (i == "y") return static_cast<int>(t.day - DayOf(t.y, 1, 1)) + 1;
  if (i == "d") return t.d;
  if (i == "w") return (WeekdayOf(t.day) - fd + 7) % 7 + 1;
  if (i == "ww") return WeekOfYear(t.day, t.y, fd, fw);
  if (i == "h") return t.h;
  if (i == "n") return t.n;
  return t.s;
}

int JetWeekday(double date, int first_day) {
  return (WeekdayOf(Split(date, "Weekday").day) - FirstDay(first_day) + 7) % 7 + 1;
}

bool ParseDateText(const std::string& text, double& result) {
  const std::string t = framework::Trim(text);
  return !t.empty() && ParseJetDate(t, result);
}

double DatePartOf(double date) { return std::trunc(date); }

double TimePartOf(double date) { return std::fabs(date - std::trunc(date)); }

}  // namespace engine
