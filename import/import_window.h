// The import window: choose the export file, preview its four columns, run the import, and
// keep the protocol.
#pragma once

#include <QMdiSubWindow>
#include <functional>
#include <memory>
#include <string>

#include "framework/string_list.h"
#include "import/string_grid.h"

namespace dao {
class TUxDaoTable;
}

class QFileDialog;
class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QTableView;
class QToolButton;

namespace import {

class GridViewModel;

// What the import window is handed by the data module when it is created.
struct ImportSettings {
  int32_t StartImport = 1;  // number of the first data line of the export file
  std::string ImportFile;   // export file of the unattended run ("" for none)
  dao::TUxDaoTable* Table = nullptr;  // the birthday table (not owned)
  std::string ProtocolFolder;         // where "Import.log" is written
  // Run by the "Import" button before the table is touched: may refuse the import by raising
  // (another import at work, a damaged database). Its answer is kept until the import ends (a
  // lock, for one). May be empty.
  std::function<std::shared_ptr<void>()> PrepareImport;
};

// The filter of the file dialog, in the form the window's designer wrote it.
extern const char* const kOpenFilter;
// Turns "caption|pattern|caption|pattern" into Qt's "caption (pattern);;..." form; "*.*" matches
// every file.
QString QtFileFilter(const std::string& filter);

class Tfgeburtstage : public QMdiSubWindow {
 public:
  // Builds the window and runs FormCreate.
  Tfgeburtstage(QWidget* parent, const ImportSettings& settings);
  ~Tfgeburtstage() override;

  // Asks for an export file; when one is chosen, remembers it in FileName and loads it.
  void btopenClick();
  // Loads FileName into the grid (see LoadExportFile in export_loader.h), taking the first data
  // line from Start1.
  void LoadExportFile();
  // Sets Start1 from the configured first line, taken as a 16-bit number.
  void FormCreate();
  // The "Import" button: runs PrepareImport, synchronises the table with the grid (see
  // SynchroniseTable), then saves the protocol as "Import.log" in the protocol folder.
  void btdbClick();
  // The unattended run, when the window is first shown: when the configured import file exists,
  // loads it, imports it and ends the program. An error stops it with the error box. Without a
  // display, where nobody can close a box or use the window, the program then ends with exit
  // status 1, and so it does, saying why, when there is no import file to run with.
  void FormShow();

  // The export file last chosen or configured.
  std::string FileName;
  ImportSettings Settings;

  // The grid's and the protocol's data; the views below show them.
  TStringGrid GitterData{4, 2, 0, 1};
  framework::TStringList Memo1Lines;

  QFrame* Panel1;
  QToolButton* btopen;
  QToolButton* btdb;
  QLineEdit* Start;
  QSpinBox* Start1;
  QProgressBar* Progress;
  QTableView* Gitter;
  QPlainTextEdit* Memo1;
  QFileDialog* Open;

 protected:
  // FormClose: the window frees itself and clears the global reference.
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void SyncMemo();

  GridViewModel* grid_model_;
  int memo_lines_shown_ = 0;
  bool shown_once_ = false;
};

// The import window while it exists.
extern Tfgeburtstage* fgeburtstage;

}  // namespace import
