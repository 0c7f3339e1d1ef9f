#include "app/window_state.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextBlock>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace app {

namespace {

std::string Text(const QString& s) { return s.toUtf8().toStdString(); }

std::string Place(const QWidget* w) {
  const QPoint at = w->mapToGlobal(QPoint(0, 0));
  return std::to_string(at.x()) + " " + std::to_string(at.y()) + " " + std::to_string(w->width()) + " " +
         std::to_string(w->height());
}

void DescribeGrid(const QTableView* view, int max_rows, std::string& out) {
  const QAbstractItemModel* model = view->model();
  if (model == nullptr) return;
  out += "grid " + Text(view->objectName()) + " " + Place(view) + "\n";
  std::string heading = "heading ";
  for (int c = 0; c < model->columnCount(); ++c)
    heading += (c ? "|" : "") + Text(model->headerData(c, Qt::Horizontal).toString());
  out += heading + "\n";
  for (int r = 0; r < model->rowCount() && r < max_rows; ++r) {
    std::string row = "row ";
    for (int c = 0; c < model->columnCount(); ++c)
      row += (c ? "|" : "") + Text(model->data(model->index(r, c)).toString());
    out += row + "\n";
  }
}

void DescribeChildren(const QWidget* parent, int max_rows, std::string& out) {
  for (const QWidget* w : parent->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    if (const auto* area = qobject_cast<const QMdiArea*>(w)) {
      for (const QMdiSubWindow* sub : area->subWindowList())
        if (sub->isVisible())
          out += "subwindow '" + Text(sub->windowTitle()) + "' " + (sub->isMaximized() ? "maximized" : "normal") + "\n";
    } else if (const auto* view = qobject_cast<const QTableView*>(w)) {
      DescribeGrid(view, max_rows, out);
    } else if (const auto* memo = qobject_cast<const QPlainTextEdit*>(w)) {
      out += "memo " + Text(memo->objectName()) + " " + Place(memo) + "\n";
      for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) out += "line " + Text(b.text()) + "\n";
    }
  }
}

}  // namespace

std::string DescribeWindows(int max_rows) {
  std::string out;
  for (const QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    out += "window " + std::string(w->metaObject()->className()) + " '" + Text(w->windowTitle()) + "' " + Place(w) + "\n";
    if (const auto* box = qobject_cast<const QMessageBox*>(w)) out += "message " + Text(box->text()) + "\n";
    DescribeChildren(w, max_rows, out);
  }
  return out;
}

void WriteWindowStateFile() {
  const char* file = std::getenv(kWindowStateVariable);
  if (file == nullptr || *file == 0) return;
  const std::string temp = std::string(file) + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return;
  const std::string text = DescribeWindows();
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) == 0 && written) std::rename(temp.c_str(), file);
}

}  // namespace app
