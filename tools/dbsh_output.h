// The invariant text form in which dbsh prints values: NULL, escaped text, decimal integers,
// shortest exact numbers with '.', currency with four decimals, True/False, yyyy-mm-dd hh:nn:ss,
// upper-case braced GUIDs and 0x-hexadecimal binary values.
#pragma once

#include <string>

#include "framework/variant.h"

namespace dbsh {

// The printed form of a value of a field of DAO type `type`.
std::string FormatValue(const framework::Variant& value, int type);
// Text with backslash, TAB, CR and LF written \\, \t, \r, \n.
std::string EscapeText(const std::string& text);

}  // namespace dbsh
