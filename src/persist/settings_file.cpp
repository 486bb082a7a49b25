// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/settings_file.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/paths.h"
#include "base/read_file.h"
#include "persist/settings_xml.h"
#include "platform/program_folders.h"

namespace quavrix {

namespace {

// Shortest path saveSettings takes as a file name.
constexpr std::size_t MIN_SAVE_PATH_CHARS = 5;

// Through a temporary file renamed over the target: a crash or a full disk
// never leaves half a settings file.
int writeSettings(const Settings& settings, const std::string& path) {
  if (path.empty()) return -1;
  try {
    const std::string text = settingsDocumentText(settings);
    return writeFileAtomically(path, text.data(), text.size()) ? 0 : -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

// Attributes on the busiest start tag, counted as '=' outside quoted values.
// Comments, CDATA sections, declarations and end tags carry none. One pass,
// so that a hostile file is refused in the time it takes to read it.
int mostAttributesOnOneElement(std::string_view text) {
  int most = 0;
  std::size_t at = 0;
  const auto skipPast = [&](std::size_t from, std::string_view end) {
    const std::size_t found = text.find(end, from);
    return found == std::string_view::npos ? text.size() : found + end.size();
  };
  while ((at = text.find('<', at)) != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      at = skipPast(at + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      at = skipPast(at + 9, "]]>");
    } else if (rest.size() > 1 && (rest[1] == '?' || rest[1] == '!' || rest[1] == '/')) {
      ++at;
    } else {
      int count = 0;
      char quote = 0;
      for (++at; at < text.size(); ++at) {
        const char c = text[at];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '=') {
          ++count;
        } else if (c == '>' || c == '<') {
          break;
        }
      }
      most = std::max(most, count);
    }
  }
  return most;
}

}  // namespace

std::string settingsDocumentText(const Settings& settings) {
  tinyxml2::XMLDocument doc;
  buildSettingsDocument(settings, doc);
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() - 1));
}

int readSettingsFile(Settings& settings, const std::string& path, std::string& reason) {
  if (path.empty()) {
    reason = "no file named";
    return -1;
  }
  std::vector<std::uint8_t> bytes;
  if (!readWholeFile(path, SETTINGS_FILE_MAX_BYTES, bytes, reason)) return -1;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (mostAttributesOnOneElement(text) > SETTINGS_MAX_ATTRIBUTES) {
    reason = "an element has more than " + std::to_string(SETTINGS_MAX_ATTRIBUTES) + " attributes";
    return -1;
  }
  try {
    tinyxml2::XMLDocument doc;
    // The bytes as they are; the parser folds CR LF to LF itself.
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
      const int line = doc.ErrorLineNum();
      if (doc.ErrorID() == tinyxml2::XML_ERROR_EMPTY_DOCUMENT) {
        reason = "it holds no XML";
      } else {
        reason = "not well-formed XML";
        if (line > 0) reason += " (line " + std::to_string(line) + ")";
      }
      return -1;
    }
    readSettingsDocument(settings, doc);
  } catch (const std::bad_alloc&) {
    reason = "not enough memory";
    return -1;
  }
  return 0;
}

int readSettingsFile(Settings& settings, const std::string& path, Prompter& prompter) {
  std::string reason;
  if (readSettingsFile(settings, path, reason) != 0) {
    prompter.error(SETTINGS_UNREADABLE_TEXT);
    return -1;
  }
  return 0;
}

int loadSettings(Settings& settings, const std::string& path, Prompter& prompter) {
  if (!path.empty()) {
    if (fileExists(path)) {
      settings.currentPath = path;
      settings.hasUserFile = 1;
      readSettingsFile(settings, path, prompter);
      return 0;
    }
    prompter.warning(SETTINGS_MISSING_TEXT);
  }
  readSettingsFile(settings, defaultSettingsToRead(settings), prompter);
  return 0;
}

const std::string& defaultSettingsToRead(const Settings& settings) {
  const std::string& own = settings.userDefaultPath;
  return !own.empty() && fileExists(own) ? own : settings.defaultPath;
}

const std::string& defaultSettingsTarget(const Settings& settings) {
  return settings.userDefaultPath.empty() ? settings.defaultPath : settings.userDefaultPath;
}

int saveDefaultSettings(Settings& settings) {
  const std::string target = defaultSettingsTarget(settings);
  if (!makeFolder(splitPath(target).folder)) return -1;
  return saveSettings(settings, target);
}

int saveSettings(Settings& settings, const std::string& path) {
  if (path.size() >= MIN_SAVE_PATH_CHARS) {
    if (writeSettings(settings, path) != 0) return -1;
    settings.currentPath = path;
    return 0;
  }
  if (settings.hasUserFile == 1) return writeSettings(settings, settings.currentPath);
  return -1;
}

}  // namespace quavrix
