#include "framework/qt_message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace framework {

void QtMessageSink::ShowError(const std::string& title, const std::string& message) {
  QMessageBox::critical(QApplication::activeWindow(), QString::fromStdString(title),
                        QString::fromStdString(message));
}

void QtMessageSink::ShowMessage(const std::string& title, const std::string& message) {
  QMessageBox::information(QApplication::activeWindow(), QString::fromStdString(title),
                           QString::fromStdString(message));
}

}  // namespace framework
