// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace quavrix::test {

struct CommandResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs a shell command line and collects its output and exit code.
CommandResult runCommand(const std::string& commandLine);

// Path of a program built beside the test programs (QUAVRIX_BIN_DIR).
std::string binPath(const std::string& name);

}  // namespace quavrix::test
