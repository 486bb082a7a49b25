#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The byte layout of a project data file: N (32-bit), the N line bytes, a pad
// byte 0x20 when N is odd, then the N note words, all little-endian. Used by
// Save and by the notes autosave, which must write the very same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "score/note_store.h"

namespace quavrix {

// Size in bytes of the file for N positions.
std::uint64_t scoreFileSize(std::uint32_t positions);

// The file's bytes for the score as it stands.
std::vector<std::uint8_t> encodeScore(const NoteStore& notes);

// Writes the file through a temporary file beside it that is renamed over the
// target, so that a failed write never leaves a half-written file. Returns false
// when nothing was written.
bool writeScoreFile(const NoteStore& notes, const std::string& path);

// Reads a file into the score. The whole file is read and checked before
// anything changes: a file that cannot be opened, whose count is not the
// score's N or that is shorter than its count says is refused (-1). On success
// the map, the slots (slack emptied) and the markers come from the file; the
// caller rebuilds the derived tables and clears the histories. Returns 0 or
// -1; `reason`, when given, says why a file was refused.
int readScoreFile(NoteStore& notes, const std::string& path, std::string* reason = nullptr);

}  // namespace quavrix
