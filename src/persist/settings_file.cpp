#include "persist/settings_file.h"

#include <tinyxml2.h>

#include <new>

#include "base/atomic_file.h"
#include "base/paths.h"
#include "persist/settings_xml.h"

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

}  // namespace

std::string settingsDocumentText(const Settings& settings) {
  tinyxml2::XMLDocument doc;
  buildSettingsDocument(settings, doc);
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() - 1));
}

int readSettingsFile(Settings& settings, const std::string& path, Prompter& prompter) {
  tinyxml2::XMLDocument doc;
  // LoadFile reads bytes as they are and folds CR LF to LF itself.
  if (path.empty() || doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
    prompter.error(SETTINGS_UNREADABLE_TEXT);
    return -1;
  }
  readSettingsDocument(settings, doc);
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
  readSettingsFile(settings, settings.defaultPath, prompter);
  return 0;
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
