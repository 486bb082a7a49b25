#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The stroboscope's train of candidate beats: a map and a list of its own,
// drawn over the grid until Convert writes it into the line map.

#include <cstdint>
#include <string>
#include <vector>

#include "base/units.h"

namespace quavrix {

inline constexpr std::int32_t STROBE_LIST_CAPACITY = 2048;
inline constexpr std::uint8_t STROBE_BEAT = 4;

enum class StrobeMode : std::uint32_t { Off = 0, Start = 1, EndMinusOne = 2 };

struct StrobeState {
  std::uint32_t capacity = 0;            // N of the open recording
  std::vector<std::uint8_t> strobeMap;   // N + 32 entries: STROBE_BEAT at every strobe beat
  std::vector<std::int32_t> strobeList;  // positions of the strobe beats in order
  std::int32_t listCapacity = STROBE_LIST_CAPACITY;
  int allocated = 0;
  std::int32_t strobeCount = 0;
  StrobeMode mode = StrobeMode::Off;
  float strobeTempo = 100.0f;
  std::string tempoText = "   100";
  float strobeInterval = static_cast<float>(BPM_FACTOR / 100.0);  // 826.875 positions
  std::uint32_t rangeStart = 0;  // the window the train was last laid in
  std::uint32_t rangeEnd = 0;
};

}  // namespace quavrix
