// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_path.h"

#include <filesystem>
#include <system_error>

namespace quavrix {

std::string programPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.string();
}

}  // namespace quavrix
