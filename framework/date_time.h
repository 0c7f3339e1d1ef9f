// Date and time arithmetic on the "date-time" value: a double counting days since 30 Dec 1899
// (the date of the value 0), the fraction being the time of day. Negative values count back from
// that day; their fraction is still the time of day (-1.25 is 29 Dec 1899, 06:00).
#pragma once

#include <cstdint>

namespace framework {

using TDateTime = double;

// Day number of 30 Dec 1899 when 1 Jan of year 1 is day 1.
constexpr int32_t kDateDelta = 693594;
constexpr int32_t kMillisecondsPerDay = 86400000;

// A date-time split into the day number (1 Jan 0001 = 1) and the milliseconds of that day.
struct TTimeStamp {
  int32_t Time;  // milliseconds since midnight
  int32_t Date;  // day number
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// True and the value in `result` when year/month/day is a date between 1 Jan 0001 and 31 Dec 9999.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// As TryEncodeDate; raises EConvertError on an invalid date.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int minute, int second, int msec);

// Splits a date-time into its parts. The date part is rounded to whole milliseconds first, so
// 0.99999999999 becomes the next day at 00:00:00.000.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// Day of the week, 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);

TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);

// The current local date-time, and its date part alone.
TDateTime Now();
TDateTime Today();

}  // namespace framework
