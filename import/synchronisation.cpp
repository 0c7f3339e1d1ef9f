#include "import/synchronisation.h"

#include <algorithm>
#include <vector>

#include "dao/table/dao_table.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/stop_request.h"
#include "framework/strings.h"
#include "framework/text_file.h"
#include "framework/update_guard.h"

namespace import {

const char* const kProtocolFileName = "Import.log";

namespace {

// The birthday text of a row as it may be written: its first ten characters when they are all
// digits or points, else "" (the row is skipped).
std::string UsableBirthday(const std::string& cell) {
  const std::string d = cell.substr(0, 10);
  for (char c : d)
    if (c != '.' && !(c >= '0' && c <= '9')) return "";
  return d;
}

// Answers "is this personnel number in the grid?" as a scan of rows 1.. in order would, where an
// empty cell gives -1 and any other cell is converted as a decimal integer: a number found before
// the first cell that is no integer is there; reaching that cell raises its conversion error.
// Built once, so that each record costs a binary search instead of a scan of the grid; a sorted
// array, since it holds a number for every row of the file (4 bytes each).
class GridNumbers {
 public:
  explicit GridNumbers(const TStringGrid& grid) {
    numbers_.reserve(static_cast<size_t>(grid.RowCount()));
    for (int row = 1; row < grid.RowCount(); ++row) {
      const std::string cell = grid.Cell(0, row);
      int32_t n = -1;
      if (!cell.empty() && !framework::TryStrToInt(cell, n)) {
        bad_cell_ = cell;
        bad_row_ = row;
        break;
      }
      numbers_.push_back(n);
    }
    std::sort(numbers_.begin(), numbers_.end());
  }

  bool Contains(int32_t number) const {
    if (std::binary_search(numbers_.begin(), numbers_.end(), number)) return true;
    if (bad_row_ > 0) framework::StrToInt(bad_cell_);  // raises the conversion error
    return false;
  }

 private:
  std::vector<int32_t> numbers_;  // the numbers of the rows before the first bad cell
  std::string bad_cell_;
  int bad_row_ = 0;
};

bool HasPersonnelNumbers(const TStringGrid& grid) {
  for (int row = 1; row < grid.RowCount(); ++row)
    if (!grid.Cell(0, row).empty()) return true;
  return false;
}

}  // namespace

void SynchroniseTable(const TStringGrid& grid, dao::TUxDaoTable& table,
                      framework::TStringList& protocol, ProgressSink& progress) {
  if (!HasPersonnelNumbers(grid))
    throw framework::EDatabaseError(
        "Keine Personalnummern zum Importieren: zuerst eine Exportdatei \xC3\xB6" "ffnen.");

  // The memo shows the protocol's new lines when the run ends or fails: appended one at a time,
  // each costing the memo's layout of a line, a run that deletes a hundred thousand records took
  // some 80 MB more.
  const framework::UpdateGuard<framework::TStringList> protocol_update(protocol);

  // Pass 1: update or add.
  const int rows = grid.RowCount();
  progress.SetMax(rows);
  int counter = 0;
  for (int row = 1; row < rows; ++row) {
    framework::CheckStopRequest();  // a stop ends the run between two records
    table.Open();
    progress.SetPosition(counter++);
    progress.Repaint();
    const std::string birthday = UsableBirthday(grid.Cell(1, row));
    if (birthday.empty()) continue;
    const std::string number = grid.Cell(0, row);
    if (table.FindFirstMatch("Personalnr", framework::Variant(number), 0) && !number.empty()) {
      table.BeginEdit();
      table.FieldNamed("Geburtsdatum").SetAsDateTime(framework::StrToDate(birthday));
      table.PostRecord();
    } else {
      table.InsertValues({framework::Variant(number),
                          framework::Variant(framework::StrToDate(birthday)),
                          framework::Variant(grid.Cell(2, row)),
                          framework::Variant(grid.Cell(3, row))});
    }
  }

  // Pass 2: delete the records whose number the file no longer holds.
  const GridNumbers numbers(grid);
  progress.SetMax(table.RecordCount());
  counter = 0;
  table.GoFirst();
  while (!table.AtEnd()) {
    framework::CheckStopRequest();
    progress.SetPosition(counter++);
    progress.Repaint();
    const int32_t n = table.FieldNamed("Personalnr").AsInteger();
    if (numbers.Contains(n)) {
      table.GoNext();
      continue;
    }
    protocol.Add("L\xC3\xB6sche " + table.FieldNamed("Geburtsdatum").AsString() + " " +
                 table.FieldNamed("Mitarbeiter").AsString() + " / " + std::to_string(n));
    table.DeleteRecord();  // the record after the deleted one becomes current
  }
  table.Close();
}

void SaveProtocol(const framework::TStringList& protocol, const std::string& folder) {
  framework::SaveLinesToFile(protocol, framework::IncludeTrailingPathDelimiter(folder) +
                                           kProtocolFileName);
}

}  // namespace import
