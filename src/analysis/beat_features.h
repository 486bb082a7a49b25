#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the beat tracker hears of a recording: curves at a fixed frame rate,
// worked out from both channels mixed and halved to 22050 Hz (beats live in
// attacks and harmony, neither of which needs the top octave).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quavrix {

// Recording frames per onset value (11.6 ms) and per chroma value (93 ms).
inline constexpr int ONSET_HOP = 512;
inline constexpr int CHROMA_HOP = 4096;
inline constexpr double ONSET_RATE = 44100.0 / ONSET_HOP;

using Chroma = std::array<float, 12>;

struct BeatFeatures {
  // Spectral flux of onset frame k, which reads recording frames
  // k * ONSET_HOP .. k * ONSET_HOP + 1023: the summed rise of the log band
  // energies from the frame before. All bands, and the bass bands alone.
  std::vector<float> onset;
  std::vector<float> bass;
  // Pitch-class energy (150 Hz .. 2 kHz) of frames k * CHROMA_HOP .. + 4095.
  std::vector<Chroma> chroma;
};

// The curves of `frames` stereo frames (16-bit, full scale 32768). Returns
// empty curves when the transform cannot be had.
BeatFeatures computeBeatFeatures(const std::int16_t* left, const std::int16_t* right,
                                 std::size_t frames);

}  // namespace quavrix
