#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The readers that take a path get the fuzzer's bytes through a file in
// memory-backed /dev/shm, one per process, removed when the process ends.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quavrix::fuzz {

class InputFile {
 public:
  explicit InputFile(const char* name)
      : path_("/dev/shm/quavrix-" + std::string(name) + "-" + std::to_string(::getpid())) {}
  ~InputFile() { std::remove(path_.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Replaces the file's contents; false when it cannot be written.
  bool write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quavrix::fuzz
