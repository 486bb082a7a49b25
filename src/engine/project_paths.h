// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace quavrix {

// The files of the current project and of the program itself.
struct ProjectPaths {
  std::string wav;              // current recording
  std::string dat;              // current project data file
  std::string program;          // the running executable
  std::string programFolder;    // its folder, with trailing separator, without drive
  std::string dataFolder;       // the shipped files (platform/program_folders.h)
  std::string configFolder;     // the person's own files; empty when there is no home
  std::string recentList;       // configFolder + "recent_files.txt" (else programFolder's)
  std::string projectSettings;  // dat with ".dat" replaced by ".xml"
  std::string defaultSettings;  // dataFolder + "default_settings.xml", as shipped
  std::string userDefaults;     // configFolder + "default_settings.xml", SAVE under DEFAULT
  std::string midiOutput;       // last MIDI export target
  std::string soundFont;        // current SoundFont
};

}  // namespace quavrix
