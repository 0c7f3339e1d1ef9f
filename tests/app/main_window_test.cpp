#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

#include "app/main_window.h"
#include "tests/support/qt_app.h"

namespace app {
namespace {

TEST(MainWindow, CaptionSizeFontAndMenu) {
  testsupport::EnsureQtApp();
  Tfmain w;
  EXPECT_EQ("Geburtstage", w.windowTitle());
  EXPECT_EQ(QSize(1305, 750), w.size());
  EXPECT_EQ("MS Sans Serif", w.font().family());
  EXPECT_EQ(11, w.font().pixelSize());
  EXPECT_EQ(w.ClientArea, w.centralWidget());
  const QList<QAction*> menus = w.MainMenu1->actions();
  ASSERT_EQ(2, menus.size());
  EXPECT_EQ("&Datei", menus[0]->text());
  EXPECT_EQ("&Import", menus[1]->text());
  EXPECT_EQ("&Beenden", w.Beenden1->text());
  EXPECT_EQ("&Geburtstage", w.TarvikZeiten1->text());
}

TEST(MainWindow, GeburtstageDoesNothingAndBeendenCloses) {
  testsupport::EnsureQtApp();
  Tfmain w;
  w.show();
  auto* child = w.ClientArea->addSubWindow(new QWidget);
  child->show();
  w.TarvikZeiten1->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(1, w.ClientArea->subWindowList().size());
  w.Beenden1->trigger();
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace app
