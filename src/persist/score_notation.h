#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// From grid times to written notes: chords and voices of one track, and the
// note values (with dots, tuplets and ties) that spell a stretch of time
// inside one measure.

#include <cstdint>
#include <vector>

#include "persist/score_grid.h"

namespace quavrix {

// One written value: a note, a chord or a rest of a single notated length.
struct WrittenValue {
  std::int64_t duration = 0;  // units (grid units per beat = divisions per quarter)
  int typeExponent = 0;       // log2 of the length in quarters: 0 quarter, -1 eighth, 2 whole
  int dots = 0;
  // Tuplet ratio where a beat is not split into a power of two (0 = none):
  // `actual` notes in the time of `normal`.
  int tupletActual = 0;
  int tupletNormal = 0;
  // Values of one tuplet share this number, so that each bracket covers
  // one group: a beat, or a triplet within it.
  int bracket = 0;
};

// Notes of one track that start and end together, written as one chord.
struct ChordGroup {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::vector<int> midiKeys;  // ascending
  int voice = 1;
};

// Groups a track's notes into chords and gives every chord the lowest voice
// that is free when it starts, so notes that overlap without sharing start
// and end go to voices of their own.
std::vector<ChordGroup> voicedChords(const std::vector<GridNote>& trackNotes);

// The written values of [from, to), both grid times within one measure:
// the part of a beat before the first beat line, whole beats, the part of a
// beat after the last; parts of a beat in that beat's own division.
std::vector<WrittenValue> notateSpan(const ScoreGrid& grid, std::int64_t from, std::int64_t to);

// A stretch of one voice inside one measure: a chord (or a piece of one) or a rest.
struct VoiceSpan {
  std::int64_t from = 0;
  std::int64_t to = 0;
  const ChordGroup* chord = nullptr;  // null = rest
  bool tiedIn = false;                // the chord began in an earlier measure
  bool tiedOut = false;               // it goes on into the next
};

// The spans of `voice` in the measure, rests filling the gaps; empty when
// the voice has no chord sounding in it.
std::vector<VoiceSpan> voiceSpans(const ScoreGrid& grid, const GridMeasure& measure,
                                  const std::vector<ChordGroup>& chords, int voice);

}  // namespace quavrix
