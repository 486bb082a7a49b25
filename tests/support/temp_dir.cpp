// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/temp_dir.h"

#include <unistd.h>
#include <atomic>
#include <fstream>
#include <random>

namespace quavrix::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  const auto name = "quavrix-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
                    "-" + std::to_string(rd());
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<UnreadablePath> unreadablePaths(const TempDir& dir) {
  std::ofstream(dir.file("plain.txt")) << "not a folder";
  return {{dir.path().string(), "Is a directory"},
          {"/proc/self/mem", "Input/output error"},
          {dir.file("plain.txt") + "/inside", "Not a directory"}};
}

}  // namespace quavrix::test
