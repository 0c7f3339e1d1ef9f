// Small text helpers on UTF-8 byte strings: trimming, ASCII case, comparison, splitting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace framework {

// Remove leading and/or trailing bytes of code 32 or below (blanks and control characters).
std::string Trim(std::string_view s);
// The part of `s` that Trim keeps, without a copy.
std::string_view TrimmedView(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// ASCII-only case mapping; bytes >= 128 are left alone (see text_encoding.h for full Unicode).
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Equal ignoring ASCII case.
bool SameText(std::string_view a, std::string_view b);
// <0, 0, >0 comparing with ASCII case ignored.
int CompareText(std::string_view a, std::string_view b);

// `s` with its control characters shown as escapes, for messages: line feed and tab stay as
// they are, every other byte below 32 and DEL become "\r" or "\xNN" (NUL as "\x00"), so that a
// text read from a file can neither cut a message short nor steer a terminal.
std::string EscapeControlCharacters(std::string_view s);

// Splits at every `delimiter`; an empty text gives one empty part.
std::vector<std::string> SplitString(std::string_view s, char delimiter);

// Replaces the extension of the file name in `path` (everything from the last '.' after the last
// '/') by `extension` (which includes its dot); appends it when there is none.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// The folder part of `path`, including the trailing '/' ("" when there is none).
std::string ExtractFilePath(const std::string& path);
// The file name part of `path`.
std::string ExtractFileName(const std::string& path);
// `path` with a '/' appended when it does not end in one.
std::string IncludeTrailingPathDelimiter(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

}  // namespace framework
