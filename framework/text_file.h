// Whole text files in and out, with the conversions of the system's edges: files are read as
// UTF-8 or Windows-1252 (see DecodeExternalText) and written as Windows-1252 with CR LF.
#pragma once

#include <string>
#include <vector>

#include "framework/string_list.h"

namespace framework {

// The raw bytes of a file. Raises EInOutError naming the file and the system's reason when it
// cannot be opened or read.
std::string ReadFileBytes(const std::string& file_name);

// The lines of a text file as UTF-8. Lines end at CR LF, LF or CR; a last line without a line
// end counts; an empty file has no lines. Raises EInOutError as ReadFileBytes.
std::vector<std::string> ReadTextFileLines(const std::string& file_name);

// Writes the lines in Windows-1252, each ended by CR LF, replacing the file. The data goes to a
// temporary file that is renamed over the target, so a failed write never leaves a cut-off file.
// Raises EInOutError naming the file and the reason.
void SaveLinesToFile(const TStringList& lines, const std::string& file_name);

}  // namespace framework
