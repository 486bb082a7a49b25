#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The recording mixer: turns the recording into blocks of 2048 output frames,
// at normal speed by copying, at the slower speeds by overlapping segments that
// a waveform-similarity search lines up, so that the pitch stays the same.

#include <array>
#include <cstddef>
#include <cstdint>

#include "analysis/fir_filter.h"

namespace quavrix {

inline constexpr int MIX_BLOCK_FRAMES = 2048;
inline constexpr int STEP_NORMAL = 2048;  // recording frames per block at x1
inline constexpr int STEP_SLOWEST = 256;  // x8

// The toolbar's channel switches, read at the start of every block.
struct ChannelSwitches {
  int leftOn = 1;
  int rightOn = 1;
  int rightInverted = 0;
  int mono = 0;
};

struct MixState {
  static constexpr int TAPS = 101;
  static constexpr int JITTER_UNIT = 148;
  static constexpr int PATTERN_STRIDE = 8;
  static constexpr int SEARCH_START = 876;
  static constexpr int FILTER_SPAN = 296;
  static constexpr int SEARCH_END = 1172;  // exclusive
  static constexpr int PATTERN_LEAD = 32;
  static constexpr int JITTER_ENTRIES = 128;

  FirFilter searchFilter;  // 300 Hz high-pass
  int step = STEP_NORMAL;

  std::array<float, MIX_BLOCK_FRAMES + 4> fadeOut{};
  std::array<float, MIX_BLOCK_FRAMES> fadeIn{};
  std::array<float, MIX_BLOCK_FRAMES> endCurve{};
  std::array<float, MIX_BLOCK_FRAMES> beginCurve{};
  std::array<float, MIX_BLOCK_FRAMES> singleBlockCurve{};

  std::array<float, MIX_BLOCK_FRAMES> filteredContinuationLeft{};
  std::array<float, MIX_BLOCK_FRAMES> filteredContinuationRight{};
  std::array<float, MIX_BLOCK_FRAMES> filteredCandidateLeft{};
  std::array<float, MIX_BLOCK_FRAMES> filteredCandidateRight{};

  std::array<float, PATTERN_STRIDE> patternLeft{};
  std::array<float, PATTERN_STRIDE> patternRight{};
  std::array<std::int16_t, JITTER_ENTRIES> jitter{};
  int jitterIndex = 0;
  // Frames the pass position has run ahead of step x blocks since the pass
  // started. The search's offsets lean one way with most material; steering
  // each candidate back by this keeps the speed the one the step promises.
  int drift = 0;

  const ChannelSwitches* switches = nullptr;
};

// What the player hands the mixer for one block.
struct MixInput {
  const std::int16_t* left = nullptr;  // the recording's sample buffers (full scale 32768)
  const std::int16_t* right = nullptr;
  std::size_t length = 0;     // entries in each buffer; reads outside give silence
  std::int64_t position = 0;  // buffer index of the pass position (may be below 0)
  bool passStarted = false;   // false for the first block of a pass
  bool lastBlock = false;     // the pass has reached its end zone
};

// Computes the curves, the search filter and the jitter table. Returns 0.
int buildMixState(MixState& mix, const ChannelSwitches* switches);

// Writes 2048 interleaved stereo frames into `out` and returns the correction
// that the player adds, with the step, to its position.
std::int16_t mixBlock(MixState& mix, const MixInput& input, float* out);

}  // namespace quavrix
