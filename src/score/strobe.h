#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The stroboscope, the beat editor's tempo finder, and tap tempo. The strobe
// train is laid from the first beat of the visible window at an adjustable
// interval; Convert writes it into the grid.

#include <cstdint>

#include "score/cell_grid.h"
#include "score/note_store.h"
#include "score/strobe_state.h"

namespace quavrix {

class Prompter;

enum StrobeCommand : int {
  STROBE_RATE_X20 = 151,
  STROBE_RATE_X1 = 152,
  STROBE_UP_LARGE = 153,
  STROBE_DOWN_LARGE = 154,
  STROBE_UP_SMALL = 155,
  STROBE_DOWN_SMALL = 156,
  STROBE_START = 157,
  STROBE_END_MINUS_ONE = 158,
  STROBE_CLEAR = 159,
  STROBE_CONVERT = 160,
};

// Sizes the strobe map and list for the open recording. Returns 1, or 0 after
// "INIT strobo \n Fatal ERR : insufficient memory " (the program goes on
// without a stroboscope).
int allocateStrobe(StrobeState& strobe, const NoteStore& notes, Prompter& prompter);

// Multiplies the interval by 1 + x (kept within MIN_INTERVAL .. MAX_INTERVAL)
// and lays the train from the first beat in [start, start + search) down to end.
void layStrobe(StrobeState& strobe, const NoteStore& notes, Prompter& prompter, float x,
               std::uint32_t start, std::uint32_t end, std::uint32_t search);

// A press or drag at y on a rate bar (151 x20, 152 x1) whose centre line and
// half height the view knows.
void strobeRate(StrobeState& strobe, const NoteStore& notes, const CellGrid& grid,
                Prompter& prompter, int command, float y, float centreY, float halfHeight);

// The stroboscope page's buttons, 153 .. 160, on the visible window.
void strobeCommand(StrobeState& strobe, NoteStore& notes, CellGrid& grid, Prompter& prompter,
                   int command);

// Fix on the Beat page hands the measured interval to the stroboscope.
void strobeTakeInterval(StrobeState& strobe, float beatInterval);

// A tap while tap mode is on and playback runs: a beat at the sample frame
// playback has reached, as an undo group of its own. Returns 1 when a beat
// was set.
int tapBeat(NoteStore& notes, CellGrid& grid, bool playing, std::uint64_t frame);

}  // namespace quavrix
