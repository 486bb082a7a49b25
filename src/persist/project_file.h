#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The project data file (.dat) of a recording and the recent-files list.
// The file's bytes are those of score/score_file.h; this is the Save / Load
// side with its messages.

#include <string>

#include "score/note_store.h"

namespace quavrix {

class Prompter;

// Writes the score to `path` (replaced as a whole, never left half-written).
// Returns 0, or -1 after "SAVE Dat\n ERROR : .dat fopen".
int writeProject(const NoteStore& notes, const std::string& path, Prompter& prompter);

// Reads a project file of the open recording into the score. Returns 0, or -1
// (no message, score unchanged) when the file cannot be read, belongs to a
// recording of another length or is cut short. After success the caller runs
// buildNoteOffs, refreshGrid and clears both histories.
// `reason`, when given, says why a file was refused.
int readProject(NoteStore& notes, const std::string& path, std::string* reason = nullptr);

inline constexpr const char* RECENT_LIST_NOT_WRITTEN = "SAVE Dat\n ERROR : recent_files.txt fopen";

// Rewrites the recent-files list: the recording path and the project path,
// each on its own line. False when it could not be written.
bool writeRecentListFile(const std::string& listPath, const std::string& recordingPath,
                         const std::string& projectPath);

// The same, returning 0, or -1 after RECENT_LIST_NOT_WRITTEN.
int writeRecentList(const std::string& listPath, const std::string& recordingPath,
                    const std::string& projectPath, Prompter& prompter);

// The two lines of the recent-files list (each at most 259 characters, cut at
// its line end); false when the list cannot be read.
bool readRecentList(const std::string& listPath, std::string& recordingPath,
                    std::string& projectPath);

}  // namespace quavrix
