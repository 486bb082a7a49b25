#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The grid of an export range read as written music: beats (each a quarter
// note, split into the equal parts its division lines make), measures from
// the bar lines, and every note of the exported tracks as a start and an end
// on that grid. Times count in units of 1/unitsPerBeat of a beat from the
// range's first beat, so every grid point is a whole number of units.

#include <cstdint>
#include <string>
#include <vector>

#include "persist/settings.h"
#include "score/note_store.h"

namespace quavrix {

struct GridBeat {
  std::uint32_t position = 0;
  int parts = 1;  // 1 + the division lines inside the beat
};

struct GridMeasure {
  int firstBeat = 0;
  int beats = 0;
  bool pickup = false;  // the beats before the first bar line, shorter than the bar after them
  float tempo = 0.0f;   // mean beats per minute over the measure
};

struct GridNote {
  int track = 0;
  int midiKey = 0;
  std::int64_t start = 0;  // units from the range's first beat
  std::int64_t end = 0;    // after start
};

struct ScoreGrid {
  // Every beat of the range but the last, which only closes the range.
  std::vector<GridBeat> beats;
  std::int64_t unitsPerBeat = 1;  // least common multiple of the beats' parts
  std::vector<GridMeasure> measures;
  // The notes of the tracks chosen for output, by start, then track, then key.
  std::vector<GridNote> notes;

  std::int64_t beatStart(int beat) const { return beat * unitsPerBeat; }
  std::int64_t measureStart(const GridMeasure& m) const { return beatStart(m.firstBeat); }
  std::int64_t measureEnd(const GridMeasure& m) const { return beatStart(m.firstBeat + m.beats); }
};

// Beats per measure where the range holds no bar line at all.
inline constexpr int BEATS_WITHOUT_BARS = 4;
// Most parts one beat may be split into: its values are 256th notes.
inline constexpr int MAX_PARTS_PER_BEAT = 64;
// Largest unitsPerBeat a score may need; beyond it the grid is refused.
inline constexpr std::int64_t MAX_UNITS_PER_BEAT = 1 << 20;

// The range a score is written from: the START marker, else the grid's
// beginning, to the END marker when it lies after that, else the grid's end.
struct ExportRange {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};
ExportRange scoreRange(const NoteStore& notes);

// Reads the range. Returns false with a reason when it holds fewer than two
// beat lines or divides beats too finely to write.
bool buildScoreGrid(const NoteStore& notes, const SettingValues& values, ExportRange range,
                    ScoreGrid& grid, std::string& reason);

}  // namespace quavrix
