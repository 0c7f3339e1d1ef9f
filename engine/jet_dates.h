// Jet's date functions (DateAdd, DateDiff, DatePart, Weekday, DateValue, TimeValue) on DAO dates:
// a double counting days from 30 Dec 1899, the time of day as the fraction (for days before
// that date the fraction still counts forward: -1.25 is 29 Dec 1899, 06:00). Texts are read as
// dates without regard to the locale.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// A failing Jet function: its DAO error number and message. The SQL functions turn it into an
// engine error of the statement.
struct FunctionError {
  int number;
  std::string message;
};

// Days of the week are numbered 1 (Sunday) to 7 (Saturday); a first day of 0 (the system's
// setting) is Sunday. The first week of a year is 1: the week of 1 January, 2: the first week
// with at least four days of the year, 3: the first full week; 0 is 1. Other values, unknown
// intervals and results outside the years 100 to 9999 raise FunctionError.

// `date` plus `number` intervals ("yyyy", "q", "m", "y", "d", "w", "ww", "h", "n", "s"); the
// fraction of `number` is dropped. Adding months keeps the day, or takes the month's last day.
double JetDateAdd(const std::string& interval, double number, double date);
// The number of interval boundaries from `date1` to `date2` (negative when date2 is earlier):
// years, quarters and months count calendar changes, "ww" counts the first days of weeks after
// date1 up to date2, "w" whole weeks of seven days, "h", "n" and "s" hours, minutes and seconds
// started.
int64_t JetDateDiff(const std::string& interval, double date1, double date2, int first_day, int first_week);
// One part of `date`: "w" is the day of the week counted from `first_day`, "ww" the week of the
// year by `first_week`, "y" the day of the year.
int JetDatePart(const std::string& interval, double date, int first_day, int first_week);
// The day of the week of `date`, 1 for `first_day`.
int JetWeekday(double date, int first_day);

// Reads a date, a time or both: yyyy-mm-dd, mm/dd/yyyy, dd.mm.yyyy (a two-digit year is 19xx from
// 30 on, else 20xx; without a year the current one), then hh:nn[:ss] [AM|PM].
bool ParseDateText(const std::string& text, double& result);

// The date part and the time part of a DAO date.
double DatePartOf(double date);
double TimePartOf(double date);

}  // namespace engine
