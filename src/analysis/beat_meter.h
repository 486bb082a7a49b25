#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Bar lines for tracked beats: which beats begin a bar, and how many beats a
// bar holds.

#include <vector>

#include "analysis/beat_features.h"

namespace quavrix {

struct Meter {
  int beatsPerBar = 0;
  int firstDownbeat = 0;  // index of the first beat that begins a bar
};

// Tries bars of 2, 3 and 4 beats at every phase and keeps the one whose
// first beats stand out most: new harmony, a bass attack and a strong onset
// mark the start of a bar. `beatFrames` are onset-frame indices, ascending.
Meter findMeter(const BeatFeatures& features, const std::vector<double>& beatFrames);

}  // namespace quavrix
