#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Grids whose tempo moves: beats whose tempo runs evenly from one BPM to
// another, in bars of a given length, for checking that exported notes sound
// where their lines are in the recording.

#include <cstdint>
#include <vector>

#include "score/note_store.h"
#include "support/run_command.h"

namespace quavrix::test {

struct RampSegment {
  int beats = 0;
  double fromBpm = 120;
  double toBpm = 120;  // the tempo of the segment's last beat
  int beatsPerBar = 4;
};

// Beat lines from `start`, segment after segment, with a bar line at the
// start of every segment and every beatsPerBar beats in it; START on the
// first line, END (a bar) on the last, markers set. Returns every beat
// position, START and END included.
std::vector<std::uint32_t> putTempoRamp(NoteStore& notes, std::uint32_t start,
                                        const std::vector<RampSegment>& segments);

// A note placed on a line, and where that line lies in seconds after START.
struct PlacedNote {
  int track = 0;
  int key = 0;  // 1..84
  std::uint32_t position = 0;
  double seconds = 0;
};

// One note on every beat but the last (tracks and keys taking turns), and
// every third beat a division in its middle with a note on track 1.
std::vector<PlacedNote> putRampNotes(NoteStore& notes, const std::vector<std::uint32_t>& beats);

// Seconds from `from` to `to` in the recording.
double positionSeconds(std::uint32_t from, std::uint32_t to);

// Runs tests/persist/check_midi_times.py: are the notes' on-times (and the
// bar lines the file's time signatures draw, when `bars` holds the seconds of
// every bar line but the last) within `toleranceMs` of where they should be,
// going by the file's own tempo map? Its output names the largest errors.
CommandResult checkMidiTimes(const std::string& mid, const std::vector<PlacedNote>& notes,
                             const std::vector<double>& bars, double toleranceMs);

}  // namespace quavrix::test
