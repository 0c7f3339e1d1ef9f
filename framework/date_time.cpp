#include "framework/date_time.h"

#include <cassert>
#include <cmath>
#include <ctime>

#include "framework/exception.h"

namespace framework {

namespace {

// Days from 1 Jan 0001 (day 1) to the first day of `year`, minus one.
int32_t DaysBeforeYear(int year) {
  const int y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

// Milliseconds since midnight of the fraction of `value`, and the day count, with the rounding
// applied once so that date and time never disagree.
void SplitMilliseconds(TDateTime value, int64_t& days, int32_t& msec) {
  const double total = std::round(std::fabs(value) * kMillisecondsPerDay);
  int64_t whole_days = static_cast<int64_t>(total / kMillisecondsPerDay);
  int64_t rest = static_cast<int64_t>(total - static_cast<double>(whole_days) * kMillisecondsPerDay);
  if (rest >= kMillisecondsPerDay) {  // guard against floating error in the division
    ++whole_days;
    rest -= kMillisecondsPerDay;
  }
  days = value < 0 ? -whole_days : whole_days;
  msec = static_cast<int32_t>(rest);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  assert(month >= 1 && month <= 12);
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  int32_t n = DaysBeforeYear(year);
  for (int m = 1; m < month; ++m) n += DaysInMonth(year, m);
  n += day;
  result = static_cast<double>(n - kDateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result)) throw EConvertError("Invalid argument to date encode");
  return result;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return false;
  result = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / kMillisecondsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, msec, result))
    throw EConvertError("Invalid argument to time encode");
  return result;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  int64_t days;
  int32_t msec;
  SplitMilliseconds(value, days, msec);
  return TTimeStamp{msec, static_cast<int32_t>(days + kDateDelta)};
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  const double days = static_cast<double>(stamp.Date - kDateDelta);
  const double frac = static_cast<double>(stamp.Time) / kMillisecondsPerDay;
  return days < 0 ? days - frac : days + frac;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int32_t n = DateTimeToTimeStamp(value).Date;
  if (n <= 0) {
    year = month = day = 0;
    return;
  }
  // Count whole 400-, 100-, 4- and 1-year cycles from day 1.
  int32_t d = n - 1;
  int y = 1;
  const int32_t kD400 = 146097, kD100 = 36524, kD4 = 1461;
  y += 400 * (d / kD400);
  d %= kD400;
  int32_t c = d / kD100;
  if (c == 4) c = 3;
  y += 100 * c;
  d -= c * kD100;
  y += 4 * (d / kD4);
  d %= kD4;
  int32_t i = d / 365;
  if (i == 4) i = 3;
  y += i;
  d -= i * 365;
  int m = 1;
  while (d >= DaysInMonth(y, m)) {
    d -= DaysInMonth(y, m);
    ++m;
  }
  year = y;
  month = m;
  day = d + 1;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int32_t ms = DateTimeToTimeStamp(value).Time;
  hour = ms / 3600000;
  ms %= 3600000;
  minute = ms / 60000;
  ms %= 60000;
  second = ms / 1000;
  msec = ms % 1000;
}

int DayOfWeek(TDateTime value) {
  const int32_t n = DateTimeToTimeStamp(value).Date;
  return n % 7 + 1;  // day 1 (1 Jan 0001) was a Monday
}

TDateTime Now() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local;
  localtime_r(&ts.tv_sec, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                    static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime Today() { return std::floor(Now()); }

}  // namespace framework
