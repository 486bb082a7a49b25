#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Measurements of rendered sampler output for the tests: loudness and the
// strength of one frequency in a stretch of interleaved stereo.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quavrix::test {

// Root mean square of the left channel over frames [start, start + count).
double rmsLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count);
// Amplitude of the `frequency` component of the left channel over the frames
// (Goertzel); a full-scale sine of that frequency gives about 1.
double toneLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                double frequency, double rate = 44100.0);
// Frequency in `candidates` with the strongest component.
double strongestTone(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                     const std::vector<double>& candidates, double rate = 44100.0);

struct Wav16 {
  int channels = 0;
  int rate = 0;
  std::uint32_t dataBytes = 0;  // as the header says
  std::vector<float> samples;   // interleaved, value / 32767
};
// Reads a canonical 16-bit PCM WAV (44-byte header, as our writer makes it);
// false when the file is missing or laid out otherwise.
bool readWav16(const std::string& path, Wav16& wav);

}  // namespace quavrix::test
