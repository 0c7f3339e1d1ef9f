// Jet's text functions that need more than SQLite offers: Replace, StrComp, Val, Str, Space and
// String, Chr and Asc in Windows-1252 (ChrW and AscW in Unicode), IsNumeric. Texts are UTF-8;
// numbers are read and written with '.' as the decimal point, whatever the process locale.
// Invalid arguments raise FunctionError (engine/jet_dates.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// The code points of UTF-8 text (U+FFFD for a broken sequence), and the case fold of one.
std::vector<int32_t> CodePoints(const std::string& text);
int32_t FoldCase(int32_t c);

// Replace(text, find, with, start, count): the part of `text` from character `start` (1 is the
// first) with `find` replaced by `with` at most `count` times (-1: every time), compared without
// regard to case unless `binary`.
std::string JetReplace(const std::string& text, const std::string& find, const std::string& with, int64_t start,
                       int64_t count, bool binary);
// StrComp: -1, 0 or 1; `binary` compares character codes, else as Jet's text comparison does.
int JetStrComp(const std::string& a, const std::string& b, bool binary);
// Val: the number at the start of `text` (blanks, tabs and line ends anywhere are left out;
// &H and &O introduce hexadecimal and octal numbers); 0 when there is none.
double JetVal(const std::string& text);
// Str: a number with a leading blank when it is not negative and no 0 before the point (" .5").
std::string JetStr(double value);
// The character of `code` in Windows-1252 (0 to 255), and the code of the first character of
// `text` there (63, '?', for one Windows-1252 lacks).
std::string JetChr(int64_t code);
int JetAsc(const std::string& text);
// The character of a Unicode code point, and the code point of the first character.
std::string JetChrW(int64_t code);
int32_t JetAscW(const std::string& text);
// `count` copies of the first character of `character`.
std::string JetRepeat(int64_t count, const std::string& character);
// True when `text` is a number (as ParseInvariantNumber reads it, or &H/&O).
bool JetIsNumeric(const std::string& text);

}  // namespace engine
