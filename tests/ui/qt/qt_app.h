#pragma once
// The one application object of the Qt tests, on whatever platform the
// environment names (ctest sets the offscreen one).

#include <QApplication>

namespace quavrix::test {

inline QApplication& qtApp() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quavrix-tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own statics go before ours at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace quavrix::test
