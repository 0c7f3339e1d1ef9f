// The program's main window: a frame whose client area hosts the import window.
#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMenu;
class QMenuBar;

namespace app {

class Tfmain : public QMainWindow {
 public:
  explicit Tfmain(QWidget* parent = nullptr);

  // Closes the main window, which ends the program.
  void Beenden1Click();

  QMdiArea* ClientArea;
  QMenuBar* MainMenu1;
  QMenu* Datei1;
  QAction* Beenden1;
  QMenu* Import1;
  QAction* TarvikZeiten1;  // "&Geburtstage": has no handler

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
