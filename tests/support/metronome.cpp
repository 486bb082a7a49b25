// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/metronome.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quavrix::test {

std::vector<double> beatInstants(double seconds, const std::function<double(double)>& bpm,
                                 double first) {
  std::vector<double> out;
  for (double t = first; t < seconds; t += 60.0 / bpm(t)) out.push_back(t);
  return out;
}

std::vector<std::int16_t> metronomeFrames(const std::vector<double>& instants, int beatsPerBar,
                                          double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * 44100.0);
  std::vector<double> mix(frames, 0.0);
  for (std::size_t k = 0; k < instants.size(); ++k) {
    const bool accent = k % static_cast<std::size_t>(beatsPerBar) == 0;
    const auto start = static_cast<std::size_t>(std::lround(instants[k] * 44100.0));
    const std::size_t length = accent ? 6000 : 2000;
    for (std::size_t i = 0; i < length && start + i < frames; ++i) {
      const double t = static_cast<double>(i) / 44100.0;
      double v = (accent ? 12000.0 : 8000.0) * std::exp(-t / 0.01) *
                 std::sin(2.0 * std::numbers::pi * (accent ? 1500.0 : 2000.0) * t);
      if (accent) v += 14000.0 * std::exp(-t / 0.04) * std::sin(2.0 * std::numbers::pi * 70.0 * t);
      mix[start + i] += v;
    }
  }
  std::vector<std::int16_t> out(2 * frames);
  for (std::size_t f = 0; f < frames; ++f) {
    const auto v = static_cast<std::int16_t>(std::clamp(mix[f], -32767.0, 32767.0));
    out[2 * f] = v;
    out[2 * f + 1] = v;
  }
  return out;
}

}  // namespace quavrix::test
