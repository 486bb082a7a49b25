#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The one application object of the Qt tests, on whatever platform the
// environment names (ctest sets the offscreen one).

#include <QApplication>

#include "support/engine/project_fixture.h"
#include "ui/qt/main_frame.h"

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

// A main window over a fixture's folder: the null audio device, the large
// layout, the fixture's scripted person.
inline FrameOptions frameOptions(ProjectFixture& fixture) {
  FrameOptions options;
  options.programPath = fixture.dir.file("quavrix");
  options.audioDevice = "null";
  options.smallLayout = 0;
  options.prompter = &fixture.prompter;
  options.files = &fixture.files;
  options.console = &fixture.console;
  return options;
}

}  // namespace quavrix::test
