#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>

namespace app {

Tfmain::Tfmain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("fmain");
  setWindowTitle("Geburtstage");
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);

  ClientArea = new QMdiArea(this);
  ClientArea->setObjectName("ClientArea");
  // The frame's client area shows the desktop's workspace colour behind its children.
  ClientArea->setBackground(ClientArea->palette().brush(QPalette::Dark));
  setCentralWidget(ClientArea);

  MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");
  Datei1 = MainMenu1->addMenu("&Datei");
  Datei1->setObjectName("Datei1");
  Beenden1 = Datei1->addAction("&Beenden");
  Beenden1->setObjectName("Beenden1");
  connect(Beenden1, &QAction::triggered, this, [this] { Beenden1Click(); });
  Import1 = MainMenu1->addMenu("&Import");
  Import1->setObjectName("Import1");
  TarvikZeiten1 = Import1->addAction("&Geburtstage");
  TarvikZeiten1->setObjectName("TarvikZeiten1");

  resize(1305, 750);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
  }
}

void Tfmain::Beenden1Click() { close(); }

void Tfmain::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  // The main window ends the program, whatever other windows are open.
  if (event->isAccepted()) QCoreApplication::quit();
}

}  // namespace app
