#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A Standard MIDI File of notes timed in seconds (the note model's
// suggestions): format 0, 480 ticks a quarter at 120 beats a minute, so a
// tick is 1/960 s.

#include <cstdint>
#include <vector>

#include "analysis/note_decoder.h"

namespace quavrix {

std::vector<std::uint8_t> noteListMidi(const std::vector<ModelNote>& notes);

}  // namespace quavrix
