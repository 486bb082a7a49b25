// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace quavrix::test {

CommandResult runCommand(const std::string& commandLine) {
  TempDir dir;
  const std::string outPath = dir.file("out"), errPath = dir.file("err");
  const std::string full = commandLine + " >" + outPath + " 2>" + errPath;
  const int status = std::system(full.c_str());
  CommandResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  result.out = slurp(outPath);
  result.err = slurp(errPath);
  return result;
}

std::string binPath(const std::string& name) {
  return std::string(QUAVRIX_BIN_DIR) + "/" + name;
}

}  // namespace quavrix::test
