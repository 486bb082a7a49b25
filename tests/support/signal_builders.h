#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Test signals and recordings laid out as the WAV reader leaves them.

#include <cstdint>
#include <vector>

#include "analysis/recording.h"

namespace quavrix::test {

// `frames` 16-bit samples of a sine at `hz` (44100 Hz rate) with the given peak
// amplitude (1.0 = full scale) and starting phase in radians.
std::vector<std::int16_t> sineFrames(int frames, double hz, double amplitude, double phase = 0.0);

// A Recording of the given left and right frames (right empty: mono, a copy of
// left) with the silent lead-in, envelopes, onset buffers, block count and
// spectrum buffers sized as after reading a stereo file that ends with its
// data. The spectra are allocated but not computed.
Recording makeRecording(const std::vector<std::int16_t>& left,
                        const std::vector<std::int16_t>& right = {});

}  // namespace quavrix::test
