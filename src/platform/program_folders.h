#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's own files live. A build tree keeps everything beside
// the executables; an installed program finds its shipped, read-only files
// in <prefix>/share/quavrix/ and writes what belongs to one person (the
// recent-files list, the start-up settings they saved) into their own
// configuration folder, so that a system-wide install is never written to
// and two people never share a recent list.

#include <string>

namespace quavrix {

struct ProgramFolders {
  std::string program;  // folder of the executable
  std::string data;     // shipped files: <prefix>/share/quavrix/, else the program folder
  std::string config;   // per-person files; empty when the system names no home
};
// Every folder above ends in a separator.

// The shipped files' folder for a program in `programFolder`.
std::string programDataFolder(const std::string& programFolder);

// $XDG_CONFIG_HOME/quavrix/ when that variable holds an absolute path, else
// $HOME/.config/quavrix/ (the home taken from the password database when
// HOME is unset); empty when neither is known.
std::string userConfigFolder();

ProgramFolders locateProgramFolders(const std::string& programFolder);

// Creates the folder and its parents when missing (owner-only access, as
// the configuration folder's convention asks). False with the system's
// reason when it cannot be made.
bool makeFolder(const std::string& folder, std::string* reason = nullptr);

}  // namespace quavrix
