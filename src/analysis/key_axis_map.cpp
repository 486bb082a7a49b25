// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/key_axis_map.h"

#include <cmath>

namespace quavrix {

// 440 x 2^((k - 45.5) / 12), 440 x 2^((k - 45) / 12), 440 x 2^((k - 44.5) / 12).
const std::array<KeyFrequency, KEY_FREQUENCY_COUNT> KEY_FREQUENCIES = {{
    {31.8f, 32.7f, 33.7f, 0.0f},       {33.7f, 34.6f, 35.7f, 0.0f},
    {35.7f, 36.7f, 37.8f, 0.0f},       {37.8f, 38.9f, 40.0f, 0.0f},
    {40.0f, 41.2f, 42.4f, 0.0f},       {42.4f, 43.7f, 44.9f, 0.0f},
    {44.9f, 46.2f, 47.6f, 0.0f},       {47.6f, 49.0f, 50.4f, 0.0f},
    {50.4f, 51.9f, 53.4f, 0.0f},       {53.4f, 55.0f, 56.6f, 0.0f},
    {56.6f, 58.3f, 60.0f, 0.0f},       {60.0f, 61.7f, 63.5f, 0.0f},
    {63.5f, 65.4f, 67.3f, 0.0f},       {67.3f, 69.3f, 71.3f, 0.0f},
    {71.3f, 73.4f, 75.6f, 0.0f},       {75.6f, 77.8f, 80.1f, 0.0f},
    {80.1f, 82.4f, 84.8f, 0.0f},       {84.8f, 87.3f, 89.9f, 0.0f},
    {89.9f, 92.5f, 95.2f, 0.0f},       {95.2f, 98.0f, 100.9f, 0.0f},
    {100.9f, 103.8f, 106.9f, 0.0f},    {106.9f, 110.0f, 113.2f, 0.0f},
    {113.2f, 116.5f, 120.0f, 0.0f},    {120.0f, 123.5f, 127.1f, 0.0f},
    {127.1f, 130.8f, 134.6f, 0.0f},    {134.6f, 138.6f, 142.7f, 0.0f},
    {142.7f, 146.8f, 151.1f, 0.0f},    {151.1f, 155.6f, 160.1f, 0.0f},
    {160.1f, 164.8f, 169.6f, 0.0f},    {169.6f, 174.6f, 179.7f, 0.0f},
    {179.7f, 185.0f, 190.4f, 0.0f},    {190.4f, 196.0f, 201.7f, 0.0f},
    {201.7f, 207.7f, 213.7f, 0.0f},    {213.7f, 220.0f, 226.4f, 0.0f},
    {226.4f, 233.1f, 239.9f, 0.0f},    {239.9f, 246.9f, 254.2f, 0.0f},
    {254.2f, 261.6f, 269.3f, 0.0f},    {269.3f, 277.2f, 285.3f, 0.0f},
    {285.3f, 293.7f, 302.3f, 0.0f},    {302.3f, 311.1f, 320.2f, 0.0f},
    {320.2f, 329.6f, 339.3f, 0.0f},    {339.3f, 349.2f, 359.5f, 0.0f},
    {359.5f, 370.0f, 380.8f, 0.0f},    {380.8f, 392.0f, 403.5f, 0.0f},
    {403.5f, 415.3f, 427.5f, 0.0f},    {427.5f, 440.0f, 452.9f, 0.0f},
    {452.9f, 466.2f, 479.8f, 0.0f},    {479.8f, 493.9f, 508.4f, 0.0f},
    {508.4f, 523.3f, 538.6f, 0.0f},    {538.6f, 554.4f, 570.6f, 0.0f},
    {570.6f, 587.3f, 604.5f, 0.0f},    {604.5f, 622.3f, 640.5f, 0.0f},
    {640.5f, 659.3f, 678.6f, 0.0f},    {678.6f, 698.5f, 718.9f, 0.0f},
    {718.9f, 740.0f, 761.7f, 0.0f},    {761.7f, 784.0f, 807.0f, 0.0f},
    {807.0f, 830.6f, 854.9f, 0.0f},    {854.9f, 880.0f, 905.8f, 0.0f},
    {905.8f, 932.3f, 959.6f, 0.0f},    {959.6f, 987.8f, 1016.7f, 0.0f},
    {1016.7f, 1046.5f, 1077.2f, 0.0f}, {1077.2f, 1108.7f, 1141.2f, 0.0f},
    {1141.2f, 1174.7f, 1209.1f, 0.0f}, {1209.1f, 1244.5f, 1281.0f, 0.0f},
    {1281.0f, 1318.5f, 1357.1f, 0.0f}, {1357.1f, 1396.9f, 1437.8f, 0.0f},
    {1437.8f, 1480.0f, 1523.3f, 0.0f}, {1523.3f, 1568.0f, 1613.9f, 0.0f},
    {1613.9f, 1661.2f, 1709.9f, 0.0f}, {1709.9f, 1760.0f, 1811.6f, 0.0f},
    {1811.6f, 1864.7f, 1919.3f, 0.0f}, {1919.3f, 1975.5f, 2033.4f, 0.0f},
    {2033.4f, 2093.0f, 2154.3f, 0.0f}, {2154.3f, 2217.5f, 2282.4f, 0.0f},
    {2282.4f, 2349.3f, 2418.2f, 0.0f}, {2418.2f, 2489.0f, 2561.9f, 0.0f},
    {2561.9f, 2637.0f, 2714.3f, 0.0f}, {2714.3f, 2793.8f, 2875.7f, 0.0f},
    {2875.7f, 2960.0f, 3046.7f, 0.0f}, {3046.7f, 3136.0f, 3227.9f, 0.0f},
    {3227.9f, 3322.4f, 3419.8f, 0.0f}, {3419.8f, 3520.0f, 3623.1f, 0.0f},
    {3623.1f, 3729.3f, 3838.6f, 0.0f}, {3838.6f, 3951.1f, 4066.8f, 0.0f},
    {4066.8f, 4186.0f, 4308.7f, 0.0f},
}};

int buildSpectrumMap(SpectrumMap& map, int firstKey, int keyRows, float axisOrigin,
                     float axisLength) {
  if (firstKey < 0 || keyRows < 1 || firstKey + keyRows >= KEY_FREQUENCY_COUNT) return -1;
  const float low = KEY_FREQUENCIES[static_cast<std::size_t>(firstKey)].lower;
  const float high = KEY_FREQUENCIES[static_cast<std::size_t>(firstKey + keyRows)].lower;
  if (low < 1.0f) return -1;

  // The map covers every whole hertz inside the visible keys that a spectrum
  // row can hold.
  const auto first = static_cast<std::uint32_t>(std::ceil(low));
  const auto top = static_cast<std::uint32_t>(std::floor(high));
  const std::uint32_t bound = top < SPECTRUM_MAP_LIMIT ? top + 1 : SPECTRUM_MAP_LIMIT;
  if (bound <= first) return -1;

  const float scale = (axisLength - 2.0f) / (std::log(high) - std::log(low));
  const float start = (std::log(static_cast<float>(first)) - std::log(low)) * scale + axisOrigin;
  map.first = first;
  map.bound = bound;
  map.x[first] = start;
  const double logFirst = std::log(static_cast<double>(first));
  for (std::uint32_t f = first + 1; f < bound; ++f) {
    map.x[f] = static_cast<float>((std::log(static_cast<double>(f)) - logFirst) * scale + start);
  }
  return 0;
}

}  // namespace quavrix
