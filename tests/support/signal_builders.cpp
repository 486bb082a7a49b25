// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/signal_builders.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "base/units.h"

namespace quavrix::test {

std::vector<std::int16_t> sineFrames(int frames, double hz, double amplitude, double phase) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(std::max(frames, 0)));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / SAMPLE_RATE;
    const double v = amplitude * std::sin(2.0 * std::numbers::pi * hz * t + phase) * 32767.0;
    samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
  return samples;
}

Recording makeRecording(const std::vector<std::int16_t>& left,
                        const std::vector<std::int16_t>& right) {
  const std::vector<std::int16_t>& r = right.empty() ? left : right;
  const std::size_t frames = std::min(left.size(), r.size());

  Recording recording;
  recording.channelCount = right.empty() ? 1 : 2;
  recording.format.channels = static_cast<std::uint16_t>(recording.channelCount);
  recording.format.samplesPerSecond = SAMPLE_RATE;
  recording.format.bitsPerSample = 16;
  recording.format.formatTag = 1;
  // Lead-in plus a 2048-frame margin, as the reader computes for a stereo file.
  recording.capacity = static_cast<std::int32_t>(frames) + LEAD_IN_FRAMES + 2048;
  recording.framesRead = static_cast<std::uint32_t>(frames);

  const auto size = static_cast<std::size_t>(recording.capacity) + 4;
  recording.left.assign(size, 0);
  recording.right.assign(size, 0);
  for (std::size_t f = 0; f < frames; ++f) {
    const std::size_t at = LEAD_IN_FRAMES + f;
    recording.left[at] = left[f];
    recording.right[at] = r[f];
  }

  const auto onsetSize = size / 32 + 32;
  recording.onsetEnergy.assign(onsetSize, 0);
  recording.onsetMarks.assign(onsetSize, 0.0f);
  recording.onsetCount = recording.capacity / 32;

  recording.blockCount = static_cast<std::int32_t>(frames / 2048) - 4;
  recording.spectrumLength = recording.blockCount * 2048;
  const auto rows = static_cast<std::size_t>(std::max(recording.blockCount, 0));
  for (PeakRows* spectrum : {&recording.spectrumA, &recording.spectrumB}) {
    spectrum->height.assign(rows * PEAK_SLOTS, 0.0f);
    spectrum->place.assign(rows * PEAK_PLACE_BYTES, 0);
  }
  return recording;
}

}  // namespace quavrix::test
