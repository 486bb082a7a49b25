#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Places every frequency in whole hertz on the key axis of the piano roll.

#include <array>
#include <cstdint>

namespace quavrix {

struct SpectrumMap {
  static constexpr int SIZE = 3072;
  std::array<float, SIZE> x{};      // key-axis coordinate per hertz
  std::array<float, SIZE> level{};  // curve coordinate per hertz, filled when drawing
  std::uint32_t first = 0;          // lowest mapped frequency
  std::uint32_t bound = 0;          // exclusive upper bound of the mapped frequencies
};

// Edges and centre of one key in hertz, rounded to 0.1 Hz; the upper edge of a
// key is the lower edge of the next. Independent of the tuning setting.
struct KeyFrequency {
  float lower;
  float centre;
  float upper;
  float spare;
};

// Keys 0 .. 84: C at 32.7 Hz up to C at 4186 Hz, A 440 Hz at 45. The 84 key
// rows of the roll use the lower edges of keys 0 .. 84 as their boundaries.
inline constexpr int KEY_FREQUENCY_COUNT = 85;
extern const std::array<KeyFrequency, KEY_FREQUENCY_COUNT> KEY_FREQUENCIES;

// The highest frequency the spectrum rows hold, plus one.
inline constexpr std::uint32_t SPECTRUM_MAP_LIMIT = 2048;

// Builds map.x for the key rows firstKey .. firstKey + keyRows - 1 laid over
// the key axis [axisOrigin, axisOrigin + axisLength - 2] on a logarithmic
// scale, for the frequencies first .. bound - 1 within those keys. Returns 0,
// or -1 (map unchanged) when the key range lies outside the table or maps no
// frequency.
int buildSpectrumMap(SpectrumMap& map, int firstKey, int keyRows, float axisOrigin,
                     float axisLength);

}  // namespace quavrix
