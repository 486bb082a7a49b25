#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// MusicXML export: the notes of the tracks chosen for output written as a
// score (MusicXML 4.0 partwise, uncompressed) whose bars, beats, triplets
// and ties come from the beat grid rather than from guessed timings.

#include <array>
#include <string>
#include <vector>

#include "base/prompter.h"
#include "persist/score_grid.h"
#include "persist/settings.h"
#include "score/note_store.h"

namespace quavrix {

// What the score says about the project besides its notes.
struct ScoreHeader {
  std::string title;
  // Entries 1..7: part name and General MIDI program (0..127) of each track.
  std::array<std::string, 8> trackNames{};
  std::array<int, 8> midiPrograms{};
};

enum ScoreExportResult : int {
  SCORE_EXPORT_WRITTEN = 0,
  SCORE_EXPORT_REFUSED = -1,       // nothing to write; the message says why
  SCORE_EXPORT_WRITE_FAILED = -2,  // the file could not be written
};

inline constexpr const char* SCORE_NO_TRACK_TEXT =
    "SCORE SAVE\n No track is chosen for output. \n\n Please, check mXML of the tracks.";
// Followed by the reason the grid cannot be written.
inline constexpr const char* SCORE_BAD_GRID_TEXT = "SCORE SAVE\n Can not write a score: ";
// Followed by the path of the file.
inline constexpr const char* SCORE_WRITE_FAILED_TEXT =
    "SCORE SAVE\n Can not write .musicxml file. \n\n ";
inline constexpr const char* SCORE_COMPLETED_TEXT =
    "  Saving score (MusicXML) \n\n     OK, COMPLETED.";

// Most voices a part is written with: four on each of two staves.
inline constexpr int SCORE_MAX_VOICES = 8;

// The notes of one track, in the grid's order.
std::vector<GridNote> trackNotes(const ScoreGrid& grid, int track);
// Voices the notes are written in (0 without notes); above SCORE_MAX_VOICES
// the export refuses.
int voicesNeeded(const std::vector<GridNote>& notes);

// The document for a grid read by buildScoreGrid: one part per track whose
// output flag is set, in track order.
std::string scoreDocument(const ScoreGrid& grid, const SettingValues& values,
                          const ScoreHeader& header);

// Reads the export range (scoreRange) and writes the score to `path`,
// replacing it whole. Shows its own messages; returns a ScoreExportResult,
// with the system's reason in `failure` after a failed write.
int exportMusicXml(const NoteStore& notes, const SettingValues& values, const ScoreHeader& header,
                   const std::string& path, Prompter& prompter, std::string* failure = nullptr);

}  // namespace quavrix
