// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/user_cache.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quavrix {

std::string userCacheFolder() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".cache";
  } else {
    std::error_code ec;
    base = std::filesystem::temp_directory_path(ec);
  }
  return (base / "quavrix").string();
}

}  // namespace quavrix
