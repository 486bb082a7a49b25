#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Companion file names are formed by splitting a path into drive, folder,
// base name and extension and appending fixed suffixes.

#include <string>
#include <string_view>

namespace quavrix {

// Longest path the program keeps (its path buffers hold 260 characters).
inline constexpr std::size_t MAX_PATH_CHARS = 260;

struct PathParts {
  std::string drive;      // always empty on systems without drive letters
  std::string folder;     // with its trailing separator, e.g. "/home/me/music/"
  std::string base;       // file name without extension
  std::string extension;  // from the last dot of the file name, dot included
};

PathParts splitPath(std::string_view path);

// drive + folder + base name + suffix, e.g. ("/m/song.wav", "-autosave.xml")
// gives "/m/song-autosave.xml".
std::string companionPath(std::string_view path, std::string_view suffix);

// Replaces every ".dat" in the path by ".xml" ("a.dat.backup.dat" -> "a.xml.backup.xml").
std::string datToXml(std::string_view path);

bool fileExists(const std::string& path);

}  // namespace quavrix
