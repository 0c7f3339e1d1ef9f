#include "import/export_loader.h"

#include <sys/stat.h>

#include <limits>

#include "framework/date_time.h"
#include "framework/format_settings.h"
#include "framework/stop_request.h"
#include "framework/strings.h"
#include "framework/text_file.h"
#include "framework/update_guard.h"
#include "import/mtools.h"

namespace import {

namespace {

// Characters [from, from + count) of `s` (1-based), shorter or empty where `s` is shorter.
std::string Copy(const std::string& s, size_t from, size_t count) {
  return from - 1 < s.size() ? s.substr(from - 1, count) : std::string();
}

}  // namespace

std::string CheckDate(const std::string& raw, const std::string& field3, const std::string& field4,
                      framework::TStringList& protocol) {
  const std::string joined = Copy(raw, 1, 2) + Copy(raw, 4, 2) + Copy(raw, 7, 4);
  bool all_digits = true;
  for (char c : joined) all_digits = all_digits && mtools::IsDigitChar(c);
  if (all_digits) return raw;
  protocol.Add(field3 + " " + field4 + " " + raw + " Fehler im Datum");
  return "01.01.1900";
}

std::string ExportFileProblem(const std::string& file_name) {
  if (file_name.empty()) return "keine Importdatei angegeben";
  const std::string quoted = "'" + file_name + "'";
  struct stat st {};
  if (::lstat(file_name.c_str(), &st) != 0) return "die Importdatei " + quoted + " gibt es nicht";
  if (S_ISLNK(st.st_mode) && ::stat(file_name.c_str(), &st) != 0)
    return "die Importdatei " + quoted + " ist ein Verweis auf eine fehlende Datei";
  if (S_ISDIR(st.st_mode)) return "die Importdatei " + quoted + " ist ein Verzeichnis";
  if (!S_ISREG(st.st_mode)) return "die Importdatei " + quoted + " ist keine gew\xC3\xB6hnliche Datei";
  return "";
}

std::string LocateExportFile(const std::string& file_name, const std::string& program_folder) {
  struct stat st {};
  if (file_name.empty() || file_name[0] == '/' || ::lstat(file_name.c_str(), &st) == 0) return file_name;
  const std::string beside = framework::IncludeTrailingPathDelimiter(program_folder) + file_name;
  return ::lstat(beside.c_str(), &st) == 0 ? beside : file_name;
}

void LoadExportFile(const std::string& file_name, int first_line, TStringGrid& grid,
                    framework::TStringList& protocol) {
  if (!framework::FileExists(file_name)) return;
  // The views redraw once, when the loading is done or fails.
  const framework::UpdateGuard<TStringGrid> grid_update(grid);
  const framework::UpdateGuard<framework::TStringList> protocol_update(protocol);
  protocol.Add("Importprotokoll vom " + framework::DateToStr(framework::Today()));
  grid.SetCell(0, 0, "Personalnummer");
  grid.SetCell(1, 0, "Geburtstag");
  grid.SetCell(2, 0, "Name");
  grid.SetCell(3, 0, "Telefon");

  // The file is streamed into the grid a line at a time; it is never held whole.
  framework::TTextFileReader reader(file_name, kMaxExportFileSize);
  std::string line, name1, name2, birthday;
  for (int skipped = 1; skipped < first_line; ++skipped)
    if (!reader.ReadLine(line)) break;

  int row = 0;
  std::string name;
  while (reader.ReadLine(line)) {
    framework::CheckStopRequest();
    if (row == std::numeric_limits<int>::max() - 1)
      throw framework::EInOutError("Cannot read '" + file_name + "': it has more lines than a grid holds.");
    // Fields 2 to 5 and 19, cut as NextField cuts them, read in place.
    size_t pos = 0;
    mtools::NextFieldAt(line, pos, ';');
    const std::string_view number = mtools::NextFieldAt(line, pos, ';');
    name1.assign(mtools::NextFieldAt(line, pos, ';'));
    name2.assign(mtools::NextFieldAt(line, pos, ';'));
    birthday = CheckDate(std::string(mtools::NextFieldAt(line, pos, ';')), name1, name2, protocol);
    for (int i = 6; i <= 18; ++i) mtools::NextFieldAt(line, pos, ';');
    const std::string_view phone = mtools::NextFieldAt(line, pos, ';');
    ++row;
    name.assign(name1).append(" ").append(name2);
    grid.SetRow(row, {number, framework::TrimmedView(birthday), framework::TrimmedView(name), phone});
  }
  grid.SetRowCount(row + 1);
}

}  // namespace import
