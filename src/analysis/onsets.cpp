// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/onsets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quavrix {

namespace {

// After an onset no other can be found for this many positions (2048 frames).
constexpr int HOLD_OFF = 64;
constexpr double MIN_ONSET_POWER = 2000.0;

double thresholdFactor(double background) {
  if (background < 2000.0) return 16.0;
  if (background < 4000.0) return 8.0;
  if (background < 8000.0) return 6.0;
  return static_cast<double>(1.4f);
}

}  // namespace

int detectOnsets(Recording& recording, const FramesRead& alongside) {
  auto& energy = recording.onsetEnergy;
  auto& marks = recording.onsetMarks;
  const std::int64_t n = recording.framesRead / 32;
  if (energy.size() < static_cast<std::size_t>(n) + 32 || marks.size() < energy.size()) return 0;
  if (recording.left.size() < static_cast<std::size_t>(32 * n) ||
      recording.right.size() < static_cast<std::size_t>(32 * n))
    return 0;

  // Step 1: the energy of a position is the sum of its 32 halved channel
  // sums of the frames' magnitudes (|sample| >> 8).
  const std::int16_t* left = recording.left.data();
  const std::int16_t* right = recording.right.data();
  const auto magnitude = [](std::int16_t v) { return unsigned{Recording::frameMagnitude(v)}; };
  // A run of positions at a time, handed on while it is in the nearest cache.
  constexpr std::int64_t RUN = 256;
  for (std::int64_t from = 0; from < n; from += RUN) {
    const std::int64_t to = std::min(n, from + RUN);
    for (std::int64_t p = from; p < to; ++p) {
      unsigned sum = 0;
      for (int k = 0; k < 32; ++k)
        sum += (magnitude(left[32 * p + k]) + magnitude(right[32 * p + k])) >> 1;
      energy[p] = static_cast<std::uint16_t>(sum);
    }
    if (alongside) alongside(static_cast<std::size_t>(32 * to));
  }
  energy[n] = 0;
  std::fill(marks.begin(), marks.end(), 0.0f);

  const auto t = [&](std::int64_t p) {
    const double e = energy[p];
    return e * e;
  };

  // Step 2: compare the energy just after each position with the energy just before it.
  const std::int64_t last = n - 32;
  double b32 = 0, b16 = 0, b8 = 0, b4 = 0;
  double f4 = 0, f8 = 0, f16 = 0, f32 = 0;
  double s = 0, s15 = 0, s23 = 0, s27 = 0;
  int hold = 0;
  float value = 0.0f;
  for (std::int64_t p = 0; p < last; ++p) {
    marks[p] = hold != 0 ? value : 0.0f;
    if (p < 32) {
      s += t(p);
      if (p == 15) s15 = s;
      if (p == 23) s23 = s;
      if (p == 27) s27 = s;
      if (p == 31) {
        b32 = s / 32;
        b16 = (s - s15) / 16;
        b8 = (s - s23) / 8;
        b4 = (s - s27) / 4;
      }
      continue;
    }
    if (p == 32) {
      double sum = 0;
      for (int i = 0; i < 4; ++i) sum += t(p + i);
      f4 = sum / 4;
      sum = 0;
      for (int i = 4; i < 8; ++i) sum += t(p + i);
      f8 = sum / 8;
      sum = 0;
      for (int i = 8; i < 16; ++i) sum += t(p + i);
      f16 = sum / 16;
      sum = 0;
      for (int i = 16; i < 32; ++i) sum += t(p + i);
      f32 = sum / 32;
    }

    const double tp = t(p);
    const bool onset = tp > thresholdFactor(b32) * b32 && f32 > 1.2 * b32 && f16 > 1.2 * b16 &&
                       f8 > 1.2 * b8 && f4 > 1.2 * b4 && f32 < 8 * tp && f16 < 4 * tp &&
                       tp > MIN_ONSET_POWER && hold == 0;
    if (onset) {
      double peak = 0;
      for (int i = 0; i < 32; ++i) peak = std::max(peak, t(p + i));
      const double top = std::max({tp, peak, f32, f16, f8, f4});
      const double floor = std::min({b32, b16, b8, b4});
      // A silent background (floor 0) always counts as a strong attack.
      value = (floor == 0 || top / floor > 50) ? 4.0f : 1.0f;
      marks[p] = value;
      hold = HOLD_OFF;
    }

    b32 += (tp - t(p - 32)) / 32;
    b16 += (tp - t(p - 16)) / 16;
    b8 += (tp - t(p - 8)) / 8;
    b4 += (tp - t(p - 4)) / 4;
    f4 += (t(p + 4) - tp) / 4;
    f8 += (t(p + 8) - t(p + 4)) / 8;
    f16 += (t(p + 16) - t(p + 8)) / 16;
    f32 += (t(p + 32) - t(p + 16)) / 32;
    if (hold != 0) --hold;
  }

  // Step 3: the last 32 positions never carry marks.
  const std::int64_t tailStart = std::max<std::int64_t>(n - 32, 0);
  for (std::int64_t i = tailStart; i < n + 32; ++i) marks[i] = 0.0f;

  // Step 4: inside a run the marks alternate in sign, starting negative.
  for (std::int64_t i = 0; i < last; i += 2) marks[i] = -marks[i];
  return 0;
}

OnsetCount countOnsets(const Recording& recording) {
  OnsetCount count;
  const std::size_t n =
      std::min<std::size_t>(recording.framesRead / 32, recording.onsetMarks.size());
  std::size_t runStart = 0;
  bool inRun = false;
  for (std::size_t p = 0; p < n; ++p) {
    const float m = recording.onsetMarks[p];
    if (m == 0.0f) {
      inRun = false;
      continue;
    }
    if (!inRun) {
      inRun = true;
      runStart = p;
    }
    if ((p - runStart) % HOLD_OFF == 0) (std::fabs(m) == 4.0f ? count.strong : count.weak)++;
  }
  return count;
}

}  // namespace quavrix
