// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/key_axis_map.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quavrix {
namespace {

constexpr float ORIGIN = 40.0f;
constexpr float LENGTH = 1300.0f;

TEST(KeyFrequencies, EdgesAndCentresAreTheRoundedEqualTemperamentValues) {
  auto rounded = [](double hz) { return static_cast<float>(std::round(hz * 10.0) / 10.0); };
  for (int k = 0; k < KEY_FREQUENCY_COUNT; ++k) {
    const KeyFrequency& key = KEY_FREQUENCIES[static_cast<std::size_t>(k)];
    EXPECT_EQ(key.lower, rounded(440.0 * std::pow(2.0, (k - 45.5) / 12.0))) << k;
    EXPECT_EQ(key.centre, rounded(440.0 * std::pow(2.0, (k - 45.0) / 12.0))) << k;
    EXPECT_EQ(key.upper, rounded(440.0 * std::pow(2.0, (k - 44.5) / 12.0))) << k;
    EXPECT_EQ(key.spare, 0.0f);
    if (k > 0) {
      EXPECT_EQ(key.lower, KEY_FREQUENCIES[static_cast<std::size_t>(k - 1)].upper) << k;
    }
  }
  EXPECT_EQ(KEY_FREQUENCIES[0].lower, 31.8f);
  EXPECT_EQ(KEY_FREQUENCIES[0].centre, 32.7f);
  EXPECT_EQ(KEY_FREQUENCIES[0].upper, 33.7f);
  EXPECT_EQ(KEY_FREQUENCIES[45].lower, 427.5f);
  EXPECT_EQ(KEY_FREQUENCIES[45].centre, 440.0f);
  EXPECT_EQ(KEY_FREQUENCIES[45].upper, 452.9f);
  EXPECT_EQ(KEY_FREQUENCIES[84].centre, 4186.0f);
}

TEST(SpectrumMap, AllKeysMapEveryHertzOfTheSpectrumRows) {
  SpectrumMap map;
  ASSERT_EQ(buildSpectrumMap(map, 0, 84, ORIGIN, LENGTH), 0);
  EXPECT_EQ(map.first, 32u);
  EXPECT_EQ(map.bound, 2048u);

  const double scale = (LENGTH - 2.0) / (std::log(4066.8) - std::log(31.8));
  EXPECT_NEAR(map.x[32], ORIGIN + (std::log(32.0) - std::log(31.8)) * scale, 1e-3);
  EXPECT_NEAR(map.x[2047], ORIGIN + (std::log(2047.0) - std::log(31.8)) * scale, 1e-2);
  EXPECT_EQ(map.x[31], 0.0f);
  EXPECT_EQ(map.x[2048], 0.0f);
  for (std::uint32_t f = map.first + 1; f < map.bound; ++f) ASSERT_GT(map.x[f], map.x[f - 1]) << f;

  // A key's centre frequency lies in the middle of its row on the axis.
  const double row = (LENGTH - 2.0) / 84.0;
  EXPECT_NEAR(map.x[440], ORIGIN + 45.5 * row, 0.05 * row);
  EXPECT_NEAR(map.x[262], ORIGIN + 36.5 * row, 0.05 * row);  // C at 261.6 Hz
}

TEST(SpectrumMap, NarrowKeyRangesMapUpToTheirTopKey) {
  SpectrumMap map;
  ASSERT_EQ(buildSpectrumMap(map, 0, 84, ORIGIN, LENGTH), 0);
  const float wideAt300 = map.x[300];

  // Three octaves from the bottom: up to the top edge of B at 246.9 Hz (254.2 Hz).
  ASSERT_EQ(buildSpectrumMap(map, 0, 36, ORIGIN, LENGTH), 0);
  EXPECT_EQ(map.first, 32u);
  EXPECT_EQ(map.bound, 255u);
  EXPECT_NEAR(map.x[254], ORIGIN + LENGTH - 2.0f, 0.5f);
  // Frequencies outside the new range keep what an earlier build gave them.
  EXPECT_EQ(map.x[300], wideAt300);

  // Three octaves from key 48 (lower edge 508.4 Hz) reach past the spectrum rows.
  ASSERT_EQ(buildSpectrumMap(map, 48, 36, ORIGIN, LENGTH), 0);
  EXPECT_EQ(map.first, 509u);
  EXPECT_EQ(map.bound, 2048u);
  const double scale = (LENGTH - 2.0) / (std::log(4066.8) - std::log(508.4));
  EXPECT_NEAR(map.x[509], ORIGIN + (std::log(509.0) - std::log(508.4)) * scale, 1e-3);
  EXPECT_NEAR(map.x[2047], ORIGIN + (std::log(2047.0) - std::log(508.4)) * scale, 1e-2);
}

TEST(SpectrumMap, KeyRangesOutsideTheTableLeaveTheMapAlone) {
  SpectrumMap map;
  ASSERT_EQ(buildSpectrumMap(map, 0, 84, ORIGIN, LENGTH), 0);
  const SpectrumMap before = map;
  EXPECT_EQ(buildSpectrumMap(map, 12, 84, ORIGIN, LENGTH), -1);
  EXPECT_EQ(buildSpectrumMap(map, -12, 36, ORIGIN, LENGTH), -1);
  EXPECT_EQ(buildSpectrumMap(map, 0, 0, ORIGIN, LENGTH), -1);
  EXPECT_EQ(map.first, before.first);
  EXPECT_EQ(map.bound, before.bound);
  EXPECT_EQ(map.x, before.x);
}

}  // namespace
}  // namespace quavrix
