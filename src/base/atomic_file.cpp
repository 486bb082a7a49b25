// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/atomic_file.h"

#include "base/read_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace quavrix {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* reason) {
  const auto fail = [reason](int error) {
    if (reason) *reason = systemReason(error);
    return false;
  };
  const std::string temp = path + ".tmp";
  {
    errno = 0;
    File file(std::fopen(temp.c_str(), "wb"));
    if (!file) return fail(errno);
    const bool written =
        std::fwrite(data, 1, size, file.get()) == size && std::fflush(file.get()) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
      const int error = written ? errno : writeError;
      std::remove(temp.c_str());
      return fail(error);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
    return fail(ec.value());
  }
  return true;
}

}  // namespace quavrix
