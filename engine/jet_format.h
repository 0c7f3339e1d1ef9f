// Jet's Format function: named formats ("General Date", "Long Date", "Medium Date", "Short Date",
// "Long Time", "Medium Time", "Short Time", "General Number", "Currency", "Fixed", "Standard",
// "Percent", "Scientific", "Yes/No", "True/False", "On/Off") and patterns of up to four sections
// (positive; negative; zero; Null) for numbers (0 # . , % E+ E-), dates and times (d dd ddd dddd
// ddddd dddddd w ww m mm mmm mmmm q y yy yyyy h hh n nn s ss ttttt c AM/PM am/pm A/P a/p AMPM,
// "/" and ":" the separators) and texts (@ & < > !). Text in double quotes and a character after
// a backslash are literal. Separators, month and day names come from the format settings.
#pragma once

#include <string>

#include "engine/sqlite_connection.h"
#include "framework/format_settings.h"

namespace engine {

// Formats `value`, whose Jet type is `type` (0 when unknown: a date only by its type, texts are
// read as numbers or dates when the format asks for one). `first_day` and `first_week` count
// weeks as DatePart does. False when the result is Null (a Null value without a fourth section).
bool JetFormat(const Cell& value, int type, const std::string& format, int first_day, int first_week,
               std::string& out, const framework::FormatSettings& fs = framework::DefaultFormatSettings());

// A number as Jet shows it without a format: up to 15 significant digits, the decimal separator
// of `fs`, an exponent from 1E+15 on and below 1E-4 ("1E+20", "1.5E-07").
std::string GeneralNumber(double value, char decimal_separator);

}  // namespace engine
