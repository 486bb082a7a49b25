// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quavrix {

namespace fs = std::filesystem;

namespace {

constexpr const char* PROGRAM_NAME = "quavrix";

std::string withSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string homeFolder() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return {};
}

}  // namespace

std::string programDataFolder(const std::string& programFolder) {
  if (programFolder.empty()) return programFolder;
  const fs::path installed =
      (fs::path(programFolder) / ".." / "share" / PROGRAM_NAME).lexically_normal();
  std::error_code ec;
  if (fs::is_directory(installed, ec)) return withSeparator(installed.string());
  return withSeparator(programFolder);
}

std::string userConfigFolder() {
  // A relative XDG_CONFIG_HOME is to be ignored: it would depend on the
  // folder the program happened to be started in.
  std::string base = environment("XDG_CONFIG_HOME");
  if (base.empty() || base.front() != '/') {
    const std::string home = homeFolder();
    if (home.empty()) return {};
    base = withSeparator(home) + ".config";
  }
  return withSeparator(base) + PROGRAM_NAME + "/";
}

ProgramFolders locateProgramFolders(const std::string& programFolder) {
  ProgramFolders folders;
  folders.program = programFolder;
  folders.data = programDataFolder(programFolder);
  folders.config = userConfigFolder();
  return folders;
}

bool makeFolder(const std::string& folder, std::string* reason) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  fs::create_directories(folder, ec);
  if (ec) {
    if (reason) *reason = ec.message();
    return false;
  }
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
  return true;
}

}  // namespace quavrix
