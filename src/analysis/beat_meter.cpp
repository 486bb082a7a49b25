// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_meter.h"

#include <algorithm>
#include <cmath>

namespace quavrix {

namespace {

// Weights of the three marks of a bar's start.
constexpr double HARMONY_WEIGHT = 1.0;
constexpr double BASS_WEIGHT = 1.0;
constexpr double ONSET_WEIGHT = 0.5;
// Four beats a bar whose first and third beats stand out alike are two bars
// of two: the shorter bar is kept unless the longer one is clearly better.
constexpr double TWO_BEAT_PREFERENCE = 1.2;

// The strongest value of a curve within two frames of `frame`.
double peakNear(const std::vector<float>& curve, double frame) {
  const long centre = std::lround(frame);
  double best = 0.0;
  for (long k = centre - 2; k <= centre + 2; ++k)
    if (k >= 0 && k < static_cast<long>(curve.size()))
      best = std::max(best, static_cast<double>(curve[static_cast<std::size_t>(k)]));
  return best;
}

// Mean pitch-class energy between two onset frames, scaled to unit length.
Chroma chromaBetween(const std::vector<Chroma>& chroma, double from, double to) {
  constexpr double PER_CHROMA = static_cast<double>(CHROMA_HOP) / ONSET_HOP;
  // A chroma frame reads 4096 recording frames: its middle is 2048 frames on.
  const double offset = 2048.0 / ONSET_HOP;
  Chroma sum{};
  const auto first = static_cast<long>(std::ceil((from - offset) / PER_CHROMA));
  const auto last = static_cast<long>(std::floor((to - offset) / PER_CHROMA));
  for (long k = std::max(0L, first); k <= last && k < static_cast<long>(chroma.size()); ++k)
    for (std::size_t p = 0; p < 12; ++p) sum[p] += chroma[static_cast<std::size_t>(k)][p];
  double norm = 0.0;
  for (float v : sum) norm += static_cast<double>(v) * v;
  norm = std::sqrt(norm);
  if (norm > 0.0)
    for (float& v : sum) v = static_cast<float>(v / norm);
  return sum;
}

// Scales values to mean 0 and deviation 1 (all 0 when they do not vary).
void standardise(std::vector<double>& values) {
  if (values.empty()) return;
  double mean = 0.0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double var = 0.0;
  for (double v : values) var += (v - mean) * (v - mean);
  const double sd = std::sqrt(var / static_cast<double>(values.size()));
  for (double& v : values) v = sd > 0.0 ? (v - mean) / sd : 0.0;
}

}  // namespace

Meter findMeter(const BeatFeatures& features, const std::vector<double>& beatFrames) {
  Meter meter;
  const std::size_t count = beatFrames.size();
  if (count == 0) return meter;
  meter.beatsPerBar = 4;
  if (count < 4) return meter;

  std::vector<double> harmony(count), bass(count), onset(count);
  Chroma previous{};
  for (std::size_t i = 0; i < count; ++i) {
    const double from = beatFrames[i];
    const double to = i + 1 < count ? beatFrames[i + 1] : from + (from - beatFrames[i - 1]);
    const Chroma now = chromaBetween(features.chroma, from, to);
    double dot = 0.0;
    for (std::size_t p = 0; p < 12; ++p) dot += static_cast<double>(now[p]) * previous[p];
    harmony[i] = i == 0 ? 0.0 : 1.0 - dot;
    previous = now;
    bass[i] = peakNear(features.bass, from);
    onset[i] = peakNear(features.onset, from);
  }
  harmony[0] = 0.0;
  standardise(harmony);
  standardise(bass);
  standardise(onset);
  std::vector<double> mark(count);
  for (std::size_t i = 0; i < count; ++i)
    mark[i] = HARMONY_WEIGHT * harmony[i] + BASS_WEIGHT * bass[i] + ONSET_WEIGHT * onset[i];

  double bestScore = -1e300;
  for (int bar : {4, 3, 2}) {
    for (int phase = 0; phase < bar; ++phase) {
      double on = 0.0, off = 0.0;
      int onCount = 0, offCount = 0;
      for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i % static_cast<std::size_t>(bar)) == phase) {
          on += mark[i];
          ++onCount;
        } else {
          off += mark[i];
          ++offCount;
        }
      }
      if (onCount == 0 || offCount == 0) continue;
      const double score = (on / onCount - off / offCount) * (bar == 2 ? TWO_BEAT_PREFERENCE : 1.0);
      if (score > bestScore) {
        bestScore = score;
        meter.beatsPerBar = bar;
        meter.firstDownbeat = phase;
      }
    }
  }
  return meter;
}

}  // namespace quavrix
