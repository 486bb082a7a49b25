// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <functional>

#include "analysis/recording.h"

namespace quavrix {

// Told, as the samples are read in order, how many frames of the buffers
// (lead-in included) have been read so far.
using FramesRead = std::function<void(std::size_t frames)>;

// Fills the onset energy and marks of the recording from its envelopes.
// `alongside` may read the frames as they are read, while they are still in
// the nearest cache. Returns 0.
int detectOnsets(Recording& recording, const FramesRead& alongside = {});

struct OnsetCount {
  int strong = 0;  // onsets of value 4
  int weak = 0;    // onsets of value 1
};

// Counts the onsets behind the marks. An onset marks 64 positions and the next
// one can start no earlier than where that run ends, so a run of marks holds
// one onset per 64 positions from its start.
OnsetCount countOnsets(const Recording& recording);

}  // namespace quavrix
