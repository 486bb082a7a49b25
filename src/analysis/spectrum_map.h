#pragma once
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

}  // namespace quavrix
