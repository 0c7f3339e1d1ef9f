// Jet's text comparison and functions inside SQLite: the collation "JET" (case-insensitive,
// accent-sensitive, through ICU), Jet's LIKE, case mapping, and the jet_* SQL functions that the
// translated SQL calls (date parts and arithmetic, Format, conversions, the text functions; the
// work of the larger ones is in jet_dates.h, jet_format.h and jet_strings.h). A Null where Jet's
// function needs a value is Jet's error 94, "Invalid use of Null".
#pragma once

#include <sqlite3.h>

#include <string>

namespace engine {

// Registers the collation and the jet_* functions on a connection.
void RegisterJetFunctions(sqlite3* db);

// Jet's comparison of two texts: <0, 0, >0 (no regard to case, regard to accents).
int JetCompare(const std::string& a, const std::string& b);
// Jet's LIKE: * any run, ? one character, # one digit, [abc] [a-z] [!...] one of (not) these;
// no regard to case, regard to accents. Takes at most (value length) x (pattern length) steps.
bool JetLike(const std::string& value, const std::string& pattern);
// Lower and upper case of UTF-8 text by Unicode's rules.
std::string JetLower(const std::string& text);
std::string JetUpper(const std::string& text);

}  // namespace engine
