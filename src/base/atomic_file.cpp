#include "base/atomic_file.h"

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

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
  const std::string temp = path + ".tmp";
  {
    File file(std::fopen(temp.c_str(), "wb"));
    if (!file) return false;
    const bool written =
        std::fwrite(data, 1, size, file.get()) == size && std::fflush(file.get()) == 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace quavrix
