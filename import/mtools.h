// Small text tools of the import: the delimited-field tokenizer and the program's folder paths.
#pragma once

#include <string>
#include <string_view>

namespace mtools {

// Cuts the first field off `line` and returns it in `field`. A field ends at the next
// `delimiter`, which is consumed; a field that starts with '"' right at the front ends at the
// first '"' followed by the delimiter (both consumed), so it may contain the delimiter. The field
// is trimmed of bytes <= 32 and loses one trailing '"'. Doubled quotes are not unescaped. An
// empty line gives an empty field, so missing trailing fields read as empty.
void NextField(std::string& line, char delimiter, std::string& field);
// NextField on the part of `line` from `pos` on, without changing the line: the field (a view
// into `line`) is returned and `pos` moves past it, as NextField would cut it off.
std::string_view NextFieldAt(std::string_view line, size_t& pos, char delimiter);

// True for the ten characters "0123456789".
bool IsDigitChar(char c);

// The program's folder followed by "sql/", "txt/", "word/" and "daten/"; set by InitFolderPaths
// at start. Nothing in the program reads them; they are kept for the tools around it.
extern std::string SqlPath;
extern std::string TxtPath;
extern std::string WordPath;
extern std::string DatenPath;

// Sets the four folder paths from the program's folder (with or without a trailing '/').
void InitFolderPaths(const std::string& program_folder);

}  // namespace mtools
