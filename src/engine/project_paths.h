#pragma once
#include <string>

namespace quavrix {

// The files of the current project and of the program itself.
struct ProjectPaths {
  std::string wav;              // current recording
  std::string dat;              // current project data file
  std::string program;          // the running executable
  std::string programFolder;    // its folder, with trailing separator, without drive
  std::string recentList;       // programFolder + "recent_files.txt"
  std::string projectSettings;  // dat with ".dat" replaced by ".xml"
  std::string defaultSettings;  // programFolder + "default_settings.xml"
  std::string midiOutput;       // last MIDI export target
  std::string soundFont;        // current SoundFont
};

}  // namespace quavrix
