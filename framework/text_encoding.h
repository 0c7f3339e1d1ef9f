// Conversion of text at the edges of the system. Inside, all text is UTF-8; files of the outside
// world are Windows-1252 (or UTF-8), and the OEM code page is 850.
#pragma once

#include <string>
#include <string_view>

namespace framework {

bool IsValidUtf8(std::string_view bytes);

// Text read from an outside file: a UTF-8 byte-order mark is dropped; valid UTF-8 is kept as it
// is; anything else is taken as Windows-1252.
std::string DecodeExternalText(std::string_view bytes);

std::string Windows1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf8ToWindows1252(std::string_view text);
std::string Oem850ToUtf8(std::string_view bytes);
std::string Utf8ToOem850(std::string_view text);

// Locale-independent Unicode case mapping (ü -> Ü, ß -> SS in upper case).
std::string Utf8LowerCase(std::string_view text);
std::string Utf8UpperCase(std::string_view text);

}  // namespace framework
