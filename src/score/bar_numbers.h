#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Bars counted as a musician counts them: bar 1 begins at the START marker,
// or at the first bar line of the grid when there is no START marker; beat 1
// is the bar line itself. Positions before bar 1 belong to no bar.

#include <cstdint>
#include <string>

#include "score/note_store.h"

namespace quavrix {

struct BarBeat {
  int bar = 0;   // 0: before bar 1, or no bar line at all
  int beat = 0;  // 1 at the bar line, counting every beat line after it
  friend bool operator==(const BarBeat&, const BarBeat&) = default;
};

// Where bar 1 begins, or NO_LINE (beat_grid.h) when the grid has no bar line.
std::uint32_t firstBar(const NoteStore& notes);

// The bar and beat that `position` lies in. Reads the line index, so its cost
// follows the number of lines before the position, not the recording's length.
BarBeat barBeatAt(const NoteStore& notes, std::uint32_t position);

// "bar.beat", or "-" before bar 1.
std::string barBeatText(BarBeat at);

// A buffer index as minutes, seconds and hundredths from the recording's
// first frame: "m:ss.cc".
std::string playTimeText(std::int64_t bufferIndex);

}  // namespace quavrix
