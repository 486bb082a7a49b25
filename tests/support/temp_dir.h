// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace quavrix::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name as a string.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A path no reader can read, with the system's reason for it.
struct UnreadablePath {
  std::string path;
  std::string reason;
};

// Paths that fail even for root, each in its own way: a folder (opens on
// Linux, fails on read), a file whose reads fail (/proc/self/mem at offset
// 0), and a file under a regular file (fails on open). Made inside `dir`.
std::vector<UnreadablePath> unreadablePaths(const TempDir& dir);

}  // namespace quavrix::test
