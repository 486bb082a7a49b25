// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/paths.h"

#include <filesystem>
#include <system_error>

namespace quavrix {

namespace {
bool isSeparator(char c) {
  return c == '/' || c == '\\';
}
}  // namespace

PathParts splitPath(std::string_view path) {
  PathParts parts;
  std::string_view rest = path;
#ifdef _WIN32
  if (rest.size() >= 2 && rest[1] == ':') {
    parts.drive = std::string(rest.substr(0, 2));
    rest.remove_prefix(2);
  }
#endif
  std::size_t slash = std::string_view::npos;
  for (std::size_t i = rest.size(); i-- > 0;) {
    if (isSeparator(rest[i])) {
      slash = i;
      break;
    }
  }
  std::string_view name = rest;
  if (slash != std::string_view::npos) {
    parts.folder = std::string(rest.substr(0, slash + 1));
    name = rest.substr(slash + 1);
  }
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    parts.base = std::string(name);
  } else {
    parts.base = std::string(name.substr(0, dot));
    parts.extension = std::string(name.substr(dot));
  }
  return parts;
}

std::string companionPath(std::string_view path, std::string_view suffix) {
  const PathParts parts = splitPath(path);
  std::string out = parts.drive + parts.folder + parts.base;
  out += suffix;
  return out;
}

std::string datToXml(std::string_view path) {
  std::string out(path);
  for (std::size_t at = out.find(".dat"); at != std::string::npos; at = out.find(".dat", at + 4)) {
    out.replace(at, 4, ".xml");
  }
  return out;
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace quavrix
