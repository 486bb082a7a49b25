#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The settings files: the default file beside the program, the project's
// file beside its .dat, and the autosave beside the recording.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/prompter.h"
#include "persist/settings.h"

namespace quavrix {

inline constexpr const char* SETTINGS_MISSING_TEXT =
    " Can't find setting file !\n Load Default settings ";
inline constexpr const char* SETTINGS_UNREADABLE_TEXT =
    " Xml Doc : Can not READ SETTING XML \n Terminate this application. ";

// Reads the named file if it exists (it becomes the current path and
// hasUserFile is set); otherwise warns and reads the default file. An empty
// path reads the default file without a warning. Always returns 0; an
// unreadable file is reported and leaves the record as it was.
int loadSettings(Settings& settings, const std::string& path, Prompter& prompter);

// The start-up settings: the person's own file once SAVE under DEFAULT wrote
// it, else the shipped one.
const std::string& defaultSettingsToRead(const Settings& settings);
// Where SAVE under DEFAULT writes.
const std::string& defaultSettingsTarget(const Settings& settings);
// SAVE under DEFAULT: writes the record to defaultSettingsTarget, creating
// its folder first. Returns 0, or -1 when nothing was written.
int saveDefaultSettings(Settings& settings);

// A settings file is about 7 KB with at most five attributes on an element.
// Files past these limits are refused before they are parsed: the XML parser
// compares each new attribute with all before it on the element, so a file
// of many thousands would take minutes.
inline constexpr std::size_t SETTINGS_FILE_MAX_BYTES = 1u << 20;
inline constexpr int SETTINGS_MAX_ATTRIBUTES = 256;

// Reads one settings file into the record. Returns 0 on success; -1 after
// showing SETTINGS_UNREADABLE_TEXT when the file cannot be opened or parsed.
int readSettingsFile(Settings& settings, const std::string& path, Prompter& prompter);

// The same without a message: -1 with the reason in `reason` (the system's
// for a file that cannot be read, else what is wrong with its text); the
// record is then unchanged.
int readSettingsFile(Settings& settings, const std::string& path, std::string& reason);

// Writes the record to `path` when it has 5 or more characters (which then
// becomes the current path), else to the current path once a named file was
// loaded. Returns 0 when a file was written, -1 when there was nowhere to
// write or the write failed. The file is replaced as a whole or not at all.
int saveSettings(Settings& settings, const std::string& path);

// The document text exactly as it goes into a file.
std::string settingsDocumentText(const Settings& settings);

}  // namespace quavrix
