// Bringing the birthday table in line with the loaded export file, and saving the protocol.
#pragma once

#include <string>

#include "framework/string_list.h"
#include "import/string_grid.h"

namespace dao {
class TUxDaoTable;
}

namespace import {

// Where a long run shows how far it has come: the import window's progress bar.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetMax(int max) = 0;
  virtual void SetPosition(int position) = 0;
  // Shows the position at once; nothing else of the window is processed meanwhile.
  virtual void Repaint() = 0;
};

// The file name of the protocol, written into the program's folder.
extern const char* const kProtocolFileName;

// Synchronises `table` (the birthday table: fields Personalnr, Geburtsdatum, Mitarbeiter,
// Telefon, ID in this order) with the data rows of `grid`:
//  1. each row whose birthday (its first ten characters) consists of digits and points only
//     updates Geburtsdatum of the record with the row's personnel number, or inserts a record
//     with number, birthday, name and telephone; other rows are skipped silently;
//  2. every record whose personnel number is in no row (an empty cell counts as -1) gets the
//     protocol line "Lösche <birthday> <name> / <number>" and is deleted;
//  3. the table is closed.
// Nothing is caught: an error stops the run where it happens, with the changes made so far
// kept and the table left open. A stop request (framework/stop_request.h) ends it the same way
// between two records (EStopRequested). A grid without any personnel number is refused before the table
// is touched (EDatabaseError), since it would delete every record.
void SynchroniseTable(const TStringGrid& grid, dao::TUxDaoTable& table,
                      framework::TStringList& protocol, ProgressSink& progress);

// Saves the protocol as "Import.log" in `folder` (Windows-1252, CR LF), replacing the file.
void SaveProtocol(const framework::TStringList& protocol, const std::string& folder);

}  // namespace import
