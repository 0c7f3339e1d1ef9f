// One QApplication for a test binary that builds windows (on the offscreen platform).
#pragma once

#include <QApplication>
#include <cstdlib>

namespace testsupport {

// The application lives until the process ends and is never destroyed: destroying it during
// static destruction, after Qt's own globals are gone, can crash.
inline QApplication& EnsureQtApp() {
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace testsupport
