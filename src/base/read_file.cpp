// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/read_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

namespace quavrix {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t READ_PIECE = 64 * 1024;
constexpr std::size_t MEGABYTE = 1024 * 1024;
}  // namespace

std::string systemReason(int error) {
  if (error == 0) return "input/output error";
  return std::generic_category().message(error);
}

std::string tooLargeReason(std::size_t maxBytes) {
  if (maxBytes >= MEGABYTE && maxBytes % MEGABYTE == 0)
    return "larger than " + std::to_string(maxBytes / MEGABYTE) + " MB";
  return "larger than " + std::to_string(maxBytes) + " bytes";
}

bool readWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& reason) {
  bytes.clear();
  std::error_code ec;
  // Opening a folder succeeds on some systems and only the reads fail.
  if (std::filesystem::is_directory(path, ec)) {
    reason = systemReason(static_cast<int>(std::errc::is_a_directory));
    return false;
  }
  // A regular file's size is known up front: a huge one is refused unread.
  const auto size = std::filesystem::is_regular_file(path, ec)
                        ? std::filesystem::file_size(path, ec)
                        : std::uintmax_t{0};
  if (!ec && size > maxBytes) {
    reason = tooLargeReason(maxBytes);
    return false;
  }
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    reason = systemReason(errno);
    return false;
  }
  try {
    // Devices and files that grow while read have no size to trust.
    while (bytes.size() <= maxBytes) {
      const std::size_t at = bytes.size();
      const std::size_t room = maxBytes - at;  // one byte past the limit tells a larger file
      const std::size_t want = room >= READ_PIECE ? READ_PIECE : room + 1;
      bytes.resize(at + want);
      errno = 0;
      const std::size_t got = std::fread(bytes.data() + at, 1, want, file.get());
      bytes.resize(at + got);
      if (got < want) {
        if (std::ferror(file.get())) {
          reason = systemReason(errno);
          return false;
        }
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    reason = "not enough memory";
    return false;
  }
  if (bytes.size() > maxBytes) {
    reason = tooLargeReason(maxBytes);
    return false;
  }
  return true;
}

}  // namespace quavrix
