// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/recording_mixer.h"

#include <cmath>
#include <span>

namespace quavrix {

namespace {

constexpr double PI = 3.14159265358979323846;

// Reads the recording, with silence outside its buffers: a pass may start
// before the lead-in or run into the end.
struct Source {
  const std::int16_t* data;
  std::size_t length;
  float operator()(std::int64_t index) const {
    constexpr float SCALE = 1.0f / 32768.0f;
    return index >= 0 && static_cast<std::uint64_t>(index) < length
               ? static_cast<float>(data[index]) * SCALE
               : 0.0f;
  }
};

struct Gains {
  float left;
  float right;
  bool mono;
};

Gains channelGains(const ChannelSwitches* s) {
  static const ChannelSwitches defaults;
  if (!s) s = &defaults;
  float e = s->rightOn ? 1.0f : (s->rightInverted ? -1.0f : 0.0f);
  float h = s->leftOn ? 1.0f : 0.0f;
  const bool mono = s->mono != 0;
  if (mono && e > 0 && h > 0) e = h = 0.7f;
  return {h, e, mono};
}

void writeFrame(float* out, int i, float l, float r, const Gains& g) {
  if (g.mono) {
    const float v = l * g.left + r * g.right;
    out[2 * i] = v;
    out[2 * i + 1] = v;
  } else {
    out[2 * i] = l * g.left;
    out[2 * i + 1] = r * g.right;
  }
}

// Index of the first maximum among the positive values of the search range.
int firstPeak(const std::array<float, MIX_BLOCK_FRAMES>& signal) {
  int best = MixState::SEARCH_START;
  float top = 0.0f;
  for (int k = MixState::SEARCH_START; k < MixState::SEARCH_END; ++k) {
    if (signal[k] > top) {
      top = signal[k];
      best = k;
    }
  }
  return best;
}

struct Match {
  int index = MixState::SEARCH_START;
  double smallest = INFINITY;
};

// The first k whose pattern distance is below 4.0 and below every earlier one.
Match bestMatch(const std::array<float, MixState::PATTERN_STRIDE>& pattern,
                const std::array<float, MIX_BLOCK_FRAMES>& candidate) {
  Match m;
  double kept = 4.0;
  for (int k = MixState::SEARCH_START; k < MixState::SEARCH_END; ++k) {
    double sum = 0.0;
    for (int j = 0; j < MixState::PATTERN_STRIDE; ++j) {
      const double d = pattern[j] - candidate[k - MixState::PATTERN_LEAD + 8 * j];
      sum += d * d;
    }
    if (sum < kept) {
      kept = sum;
      m.index = k;
    }
    if (sum < m.smallest) m.smallest = sum;
  }
  return m;
}

// Filters 397 samples of a stream starting at `base` (search start - taps
// onward) into the filtered arrays at the same indices.
void filterStream(const FirFilter& filter, const Source& left, const Source& right,
                  std::int64_t base, std::array<float, MIX_BLOCK_FRAMES>& outLeft,
                  std::array<float, MIX_BLOCK_FRAMES>& outRight) {
  constexpr int FROM = MixState::SEARCH_START - MixState::TAPS;
  constexpr int COUNT = MixState::FILTER_SPAN + MixState::TAPS;
  std::array<float, COUNT> inLeft, inRight;
  for (int i = 0; i < COUNT; ++i) {
    inLeft[i] = left(base + FROM + i);
    inRight[i] = right(base + FROM + i);
  }
  filter.apply(std::span<float>(outLeft.data() + FROM, COUNT),
               std::span<float>(outRight.data() + FROM, COUNT), inLeft, inRight);
}

}  // namespace

int buildMixState(MixState& mix, const ChannelSwitches* switches) {
  for (int i = 0; i < MIX_BLOCK_FRAMES; ++i) {
    const double a = static_cast<double>(i) / MIX_BLOCK_FRAMES;
    mix.fadeOut[i] = static_cast<float>((std::sin((a + 0.5) * PI) + 1.0) * 0.5);
    mix.fadeIn[i] = 1.0f - mix.fadeOut[i];
    mix.endCurve[i] = static_cast<float>((1.0 - a) * (1.0 - a) / (a + 1.0));
    mix.beginCurve[i] = static_cast<float>(a * a / (a + 2.0));
    mix.singleBlockCurve[i] = 2.0f * mix.beginCurve[i];
  }
  mix.filteredContinuationLeft.fill(0.0f);
  mix.filteredContinuationRight.fill(0.0f);
  mix.filteredCandidateLeft.fill(0.0f);
  mix.filteredCandidateRight.fill(0.0f);
  mix.searchFilter.design(MixState::TAPS, 44.1, 0.3);

  std::uint32_t s = 1;
  for (int i = 0; i < MixState::JITTER_ENTRIES / 2; ++i) {
    s = s * 214013u + 2531011u;
    const int r = static_cast<int>((s >> 16) & 0x7FFF);
    const int d = r % 888 - 444;
    mix.jitter[2 * i] = static_cast<std::int16_t>(d);
    mix.jitter[2 * i + 1] = static_cast<std::int16_t>(-d);
  }
  mix.jitterIndex = 0;
  mix.switches = switches;
  return 0;
}

std::int16_t mixBlock(MixState& mix, const MixInput& in, float* out) {
  const Gains gains = channelGains(mix.switches);
  const Source left{in.left, in.left ? in.length : 0};
  const Source right{in.right, in.right ? in.length : 0};
  const std::int64_t continuation = in.position + MIX_BLOCK_FRAMES;
  if (!in.passStarted) mix.drift = 0;

  if (mix.step >= STEP_NORMAL) {
    const float* weight = nullptr;  // null: a plain copy
    if (in.passStarted && in.lastBlock) weight = mix.endCurve.data();
    if (!in.passStarted)
      weight = in.lastBlock ? mix.singleBlockCurve.data() : mix.beginCurve.data();
    for (int i = 0; i < MIX_BLOCK_FRAMES; ++i) {
      const float w = weight ? weight[i] : 1.0f;
      writeFrame(out, i, left(continuation + i) * w, right(continuation + i) * w, gains);
    }
    return 0;
  }

  if (++mix.jitterIndex > MixState::JITTER_ENTRIES) mix.jitterIndex = 0;
  const int m = mix.jitterIndex == MixState::JITTER_ENTRIES ? MixState::JITTER_ENTRIES
                                                            : mix.jitter[mix.jitterIndex];
  const std::int64_t candidate = in.position + mix.step + m - mix.drift;

  filterStream(mix.searchFilter, left, right, continuation, mix.filteredContinuationLeft,
               mix.filteredContinuationRight);
  filterStream(mix.searchFilter, left, right, candidate, mix.filteredCandidateLeft,
               mix.filteredCandidateRight);
  const int k0 =
      std::min(firstPeak(mix.filteredContinuationLeft), firstPeak(mix.filteredContinuationRight));
  for (int j = 0; j < MixState::PATTERN_STRIDE; ++j) {
    mix.patternLeft[j] = mix.filteredContinuationLeft[k0 - MixState::PATTERN_LEAD + 8 * j];
    mix.patternRight[j] = mix.filteredContinuationRight[k0 - MixState::PATTERN_LEAD + 8 * j];
  }
  const Match ml = bestMatch(mix.patternLeft, mix.filteredCandidateLeft);
  const Match mr = bestMatch(mix.patternRight, mix.filteredCandidateRight);
  const int t = (ml.smallest < mr.smallest ? ml.index : mr.index) - k0;

  const std::int64_t from = candidate + t;
  for (int i = 0; i < MIX_BLOCK_FRAMES; ++i) {
    float l, r;
    if (!in.passStarted) {
      l = left(from + i) * mix.beginCurve[i];
      r = right(from + i) * mix.beginCurve[i];
    } else if (in.lastBlock) {
      l = left(continuation + i) * mix.endCurve[i];
      r = right(continuation + i) * mix.endCurve[i];
    } else {
      l = left(from + i) * mix.fadeIn[i] + left(continuation + i) * mix.fadeOut[i];
      r = right(from + i) * mix.fadeIn[i] + right(continuation + i) * mix.fadeOut[i];
    }
    writeFrame(out, i, l, r, gains);
  }
  // The next position is this candidate's start: the jitter and the search's
  // offset away from where the step alone would have led.
  const int correction = m + t - mix.drift;
  mix.drift = m + t;
  return static_cast<std::int16_t>(correction);
}

}  // namespace quavrix
