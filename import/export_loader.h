// Reading the personnel system's export file into the preview grid.
#pragma once

#include <cstdint>
#include <string>

#include "framework/string_list.h"
#include "import/string_grid.h"

namespace import {

// Vets the birthday text `raw` of a line: when characters 1-2, 4-5 and 7-10 (as far as present)
// are all digits, `raw` comes back unchanged. Otherwise the line "<field3> <field4> <raw> Fehler im
// Datum" is appended to `protocol` and "01.01.1900" comes back. Separators, anything after the
// tenth character and surrounding blanks are not examined.
std::string CheckDate(const std::string& raw, const std::string& field3, const std::string& field4,
                      framework::TStringList& protocol);

// The largest export file read: 4 GiB, room for ten million lines of 400 bytes (an export line
// of the personnel system has about 100). Anything larger is refused rather than read until
// memory runs out.
constexpr uint64_t kMaxExportFileSize = uint64_t{4} << 30;

// Why `file_name` cannot serve as the export file of the unattended run, in the words of the
// program's messages ("die Importdatei '...' gibt es nicht", "... ist ein Verzeichnis", "... ist
// ein Verweis auf eine fehlende Datei", "... ist keine gewöhnliche Datei"; for an empty name "keine
// Importdatei angegeben"); "" when it names a regular file.
std::string ExportFileProblem(const std::string& file_name);

// The export file a configured name means: the name itself when something exists there or it
// is absolute, else the same relative name in `program_folder`, where the program's database is
// looked up too, when something exists there.
std::string LocateExportFile(const std::string& file_name, const std::string& program_folder);

// Fills `grid` from the export file `file_name`: when the file exists, appends
// "Importprotokoll vom <today>" to `protocol`, writes the headings into row 0, skips
// `first_line` - 1 lines, and writes one row per remaining line (personnel number, birthday,
// name, telephone from fields 2, 5, 3+4 and 19); the row count becomes the number of data rows
// plus one. The file is streamed, never held whole. A missing file (or a directory) changes
// nothing. Raises EInOutError naming the file when it cannot be read, is no regular file (a FIFO,
// a device) or is larger than kMaxExportFileSize, and EStopRequested between two lines when a
// stop was requested; the grid then keeps the rows written so far.
void LoadExportFile(const std::string& file_name, int first_line, TStringGrid& grid,
                    framework::TStringList& protocol);

}  // namespace import
