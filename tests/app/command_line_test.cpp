// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line conventions of both programs: --help and --version answer
// without a display, and the window without one says so in one line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/run_command.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

// No display and no platform override: as on a server or in a plain terminal.
const std::string NO_DISPLAY = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay) {
  struct Case {
    const char* program;
    const char* option;
    const char* startsWith;
  };
  for (const Case& c :
       {Case{"quavrix", "--help", "usage: quavrix "}, Case{"quavrix", "--version", "quavrix 0."},
        Case{"quavrix-cli", "--help", "usage: quavrix-cli "},
        Case{"quavrix-cli", "--version", "quavrix-cli 0."}}) {
    const std::string path = binPath(c.program);
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "built without the window";
    const auto r = runCommand(NO_DISPLAY + path + " " + c.option);
    EXPECT_EQ(r.exitCode, 0) << c.program << " " << c.option << ": " << r.err;
    EXPECT_EQ(r.out.rfind(c.startsWith, 0), 0u) << c.program << " " << c.option << ": " << r.out;
    EXPECT_EQ(r.err, "") << c.program << " " << c.option;
  }
}

TEST(CommandLine, TheWindowWithoutADisplaySaysSoInOneLine) {
  const std::string path = binPath("quavrix");
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "built without the window";
  const auto r = runCommand(NO_DISPLAY + path + " song.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("quavrix: no display", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

}  // namespace
}  // namespace quavrix
