#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the beat tracker hears of a recording: curves at a fixed frame rate,
// worked out from both channels mixed and halved to 22050 Hz (beats live in
// attacks and harmony, neither of which needs the top octave).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
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

// Works the curves out as the frames come in, in order: a pass that reads
// the samples anyway can hand them on while they are still in the nearest
// cache. The samples must stay in place until `finish`.
class BeatFeatureStream {
 public:
  BeatFeatureStream(const std::int16_t* left, const std::int16_t* right, std::size_t frames);
  ~BeatFeatureStream();
  BeatFeatureStream(const BeatFeatureStream&) = delete;
  BeatFeatureStream& operator=(const BeatFeatureStream&) = delete;

  // Reads the frames before `frame` that it has not read yet.
  void readTo(std::size_t frame);
  // Reads the rest and hands the curves over; the stream is spent.
  BeatFeatures finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The curves of `frames` stereo frames (16-bit, full scale 32768). Returns
// empty curves when the transform cannot be had.
BeatFeatures computeBeatFeatures(const std::int16_t* left, const std::int16_t* right,
                                 std::size_t frames);

}  // namespace quavrix
