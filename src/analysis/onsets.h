// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "analysis/recording.h"

namespace quavrix {

// Fills the onset energy and marks of the recording from its envelopes.
// Returns 0.
int detectOnsets(Recording& recording);

struct OnsetCount {
  int strong = 0;  // onsets of value 4
  int weak = 0;    // onsets of value 1
};

// Counts the onsets behind the marks. An onset marks 64 positions and the next
// one can start no earlier than where that run ends, so a run of marks holds
// one onset per 64 positions from its start.
OnsetCount countOnsets(const Recording& recording);

}  // namespace quavrix
