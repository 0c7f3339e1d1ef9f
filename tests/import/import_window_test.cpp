#include <gtest/gtest.h>

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <cstdlib>
#include <fstream>

#include "import/import_window.h"
#include "tests/support/qt_app.h"

namespace import {
namespace {

class ImportWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::EnsureQtApp(); }
};

TEST_F(ImportWindowTest, ComponentsAndSettings) {
  QMdiArea area;
  auto* w = new Tfgeburtstage(&area, ImportSettings{});
  EXPECT_EQ(w, fgeburtstage);
  EXPECT_EQ("Geburtstag importieren", w->windowTitle());
  EXPECT_EQ(QSize(979, 563), w->size());
  EXPECT_EQ("MS Sans Serif", w->font().family());
  EXPECT_EQ(11, w->font().pixelSize());
  EXPECT_EQ(41, w->Panel1->height());
  EXPECT_EQ(QString::fromUtf8("Öffnen"), w->btopen->text());
  EXPECT_EQ("Import", w->btdb->text());
  EXPECT_TRUE(w->btopen->autoRaise());
  EXPECT_FALSE(w->btopen->icon().isNull());
  EXPECT_FALSE(w->btdb->icon().isNull());
  EXPECT_EQ(1, w->Start1->minimum());
  EXPECT_EQ(1000, w->Start1->maximum());
  EXPECT_FALSE(w->Start1->wrapping());
  EXPECT_FALSE(w->Start1->isGroupSeparatorShown());
  // Wide enough for "1000" in the font the system puts in place of the form's.
  EXPECT_GE(w->Start1->width(), w->Start1->sizeHint().width());
  EXPECT_EQ(0, w->Progress->minimum());
  EXPECT_EQ(100, w->Progress->maximum());
  EXPECT_EQ(556, w->Gitter->width());
  EXPECT_EQ(4, w->Gitter->model()->columnCount());
  EXPECT_EQ(120, w->Gitter->horizontalHeader()->defaultSectionSize());
  EXPECT_EQ(18, w->Gitter->verticalHeader()->defaultSectionSize());
  EXPECT_EQ(QAbstractItemView::NoEditTriggers, w->Gitter->editTriggers());
  EXPECT_EQ(2, w->GitterData.RowCount());
  EXPECT_EQ(1, w->GitterData.FixedRows());
  EXPECT_EQ(380, w->Memo1->width());
  EXPECT_EQ(QPlainTextEdit::NoWrap, w->Memo1->lineWrapMode());
  EXPECT_EQ(QStringList({"csv-Dateinen (*.csv)", "Alle Dateien (*)"}), w->Open->nameFilters());
  delete w;
  EXPECT_EQ(nullptr, fgeburtstage);
}

TEST_F(ImportWindowTest, FirstLineComesFromTheSettingsAsA16BitNumberWithinRange) {
  QMdiArea area;
  const std::pair<int32_t, int> cases[] = {{1, 1}, {4, 4}, {0, 1}, {-3, 1}, {5000, 1000},
                                           {65536 + 7, 7}};
  for (const auto& [configured, shown] : cases) {
    ImportSettings settings;
    settings.StartImport = configured;
    Tfgeburtstage w(&area, settings);
    EXPECT_EQ(shown, w.Start1->value()) << configured;
    EXPECT_EQ(QString::number(shown), w.Start->text());
  }
}

TEST_F(ImportWindowTest, LoadingShowsRowsHeadingsAndProtocol) {
  char tmpl[] = "/tmp/geb_window_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string path = dir + "/e.csv";
  std::ofstream(path, std::ios::binary) << "x;1;M\xFCller;Jan;01.02.1970\nx;2;a;b;bad\n";
  QMdiArea area;
  ImportSettings settings;
  settings.StartImport = 1;
  Tfgeburtstage w(&area, settings);
  w.FileName = path;
  w.LoadExportFile();
  QAbstractItemModel* m = w.Gitter->model();
  EXPECT_EQ(2, m->rowCount());
  EXPECT_EQ("Personalnummer", m->headerData(0, Qt::Horizontal).toString());
  EXPECT_EQ(QString::fromUtf8("Müller Jan"), m->index(0, 2).data().toString());
  EXPECT_EQ("01.01.1900", m->index(1, 1).data().toString());
  const QStringList memo = w.Memo1->toPlainText().split('\n');
  ASSERT_EQ(2, memo.size());
  EXPECT_TRUE(memo[0].startsWith("Importprotokoll vom "));
  EXPECT_EQ("a b bad Fehler im Datum", memo[1]);
  w.LoadExportFile();
  EXPECT_EQ(4, w.Memo1->toPlainText().split('\n').size());
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace import
