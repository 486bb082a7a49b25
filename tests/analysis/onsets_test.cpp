// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/onsets.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quavrix {
namespace {

// The sample whose magnitude (|s| >> 8) is v, 0 .. 128.
std::int16_t withMagnitude(int v) {
  return static_cast<std::int16_t>(v == 128 ? -32768 : v << 8);
}

// A recording whose magnitudes give exactly the listed energy per position
// (both channels alike), followed by silence up to `positions`.
Recording withEnergies(const std::vector<int>& energy, int positions) {
  Recording rec;
  rec.framesRead = static_cast<std::uint32_t>(positions) * 32;
  rec.capacity = static_cast<std::int32_t>(rec.framesRead) + 10240;
  const std::size_t entries = static_cast<std::size_t>(rec.capacity) + 4;
  rec.left.assign(entries, 0);
  rec.right.assign(entries, 0);
  rec.onsetEnergy.assign(entries / 32 + 32, 0xFFFF);  // stale values must be overwritten
  rec.onsetMarks.assign(entries / 32 + 32, 7.0f);
  for (std::size_t p = 0; p < energy.size(); ++p) {
    const int q = energy[p] / 32, r = energy[p] % 32;
    for (int k = 0; k < 32; ++k) {
      const std::int16_t v = withMagnitude(q + (k < r ? 1 : 0));
      rec.left[32 * p + k] = v;
      rec.right[32 * p + k] = v;
    }
  }
  return rec;
}

// Energy list: `silent` positions of 0, then `loud` positions of `level`.
std::vector<int> step(int silent, int loud, int level) {
  std::vector<int> e(static_cast<std::size_t>(silent), 0);
  e.insert(e.end(), static_cast<std::size_t>(loud), level);
  return e;
}

std::vector<int> markedPositions(const Recording& rec) {
  std::vector<int> out;
  const int n = static_cast<int>(rec.framesRead / 32);
  for (int p = 0; p < n + 32; ++p)
    if (rec.onsetMarks[p] != 0.0f) out.push_back(p);
  return out;
}

TEST(Onsets, SilenceHasNoEnergyAndNoMarks) {
  Recording rec = withEnergies({}, 2000);
  detectOnsets(rec);
  for (int p = 0; p <= 2000; ++p) ASSERT_EQ(rec.onsetEnergy[p], 0) << p;
  EXPECT_TRUE(markedPositions(rec).empty());
}

TEST(Onsets, EnergyIsTheSumOfHalvedChannelSums) {
  Recording rec = withEnergies({}, 100);
  for (int k = 0; k < 32; ++k) {
    rec.left[32 * 40 + k] = withMagnitude(3);
    rec.right[32 * 40 + k] = 0;  // (3 + 0) >> 1 = 1 per frame
  }
  rec.left[32 * 41] = withMagnitude(128);
  rec.right[32 * 41] = withMagnitude(128);
  detectOnsets(rec);
  EXPECT_EQ(rec.onsetEnergy[40], 32);
  EXPECT_EQ(rec.onsetEnergy[41], 128);
  EXPECT_EQ(rec.onsetEnergy[100], 0);  // E[N]
}

TEST(Onsets, AbruptToneIsAStrongOnsetHeldFor64Positions) {
  Recording rec = withEnergies(step(300, 700, 45), 2000);
  detectOnsets(rec);
  const auto marked = markedPositions(rec);
  ASSERT_EQ(marked.size(), 64u);
  EXPECT_EQ(marked.front(), 300);
  EXPECT_EQ(marked.back(), 363);
  // Signs alternate inside the run: negative at even positions.
  EXPECT_EQ(rec.onsetMarks[300], -4.0f);
  EXPECT_EQ(rec.onsetMarks[301], 4.0f);
  EXPECT_EQ(rec.onsetMarks[363], 4.0f);
  EXPECT_EQ(countOnsets(rec).strong, 1);
  EXPECT_EQ(countOnsets(rec).weak, 0);
}

TEST(Onsets, PowerOf2000OrLessIsNeverAnOnset) {
  Recording quiet = withEnergies(step(300, 700, 44), 2000);  // T = 1936
  detectOnsets(quiet);
  EXPECT_TRUE(markedPositions(quiet).empty());
}

TEST(Onsets, HoldOffSwallowsASecondAttackWithin64Positions) {
  // Attack at 300, silence at 340, a second attack at 350.
  std::vector<int> e = step(300, 40, 300);
  e.resize(350, 0);
  e.resize(1000, 300);
  Recording rec = withEnergies(e, 2000);
  detectOnsets(rec);
  const auto marked = markedPositions(rec);
  ASSERT_FALSE(marked.empty());
  EXPECT_EQ(marked.front(), 300);
  EXPECT_EQ(marked.back(), 363);
}

TEST(Onsets, AttackRightAfterTheHoldContinuesTheRun) {
  // Decays to silence, then a second attack exactly 64 positions after the first.
  std::vector<int> e = step(300, 40, 300);
  e.resize(364, 0);
  e.resize(1000, 300);
  Recording rec = withEnergies(e, 2000);
  detectOnsets(rec);
  const auto marked = markedPositions(rec);
  ASSERT_EQ(marked.size(), 128u);
  EXPECT_EQ(marked.front(), 300);
  EXPECT_EQ(marked.back(), 427);
  EXPECT_EQ(countOnsets(rec).strong, 2);  // one run, two onsets
}

TEST(Onsets, ShortBurstIsNotAnAttack) {
  Recording rec = withEnergies(step(300, 16, 300), 2000);
  detectOnsets(rec);
  EXPECT_TRUE(markedPositions(rec).empty());
}

TEST(Onsets, RiseOverALoudBackgroundIsWeak) {
  // Background 100 (T 10000, factor 1.4), then 170 (T 28900): Top / Floor = 2.89.
  // The forward windows divide by twice their length, so a rise must more than
  // double the power to pass F32 > 1.2 x B32: 150 (T 22500, F32 11250) would not.
  std::vector<int> e(600, 100);
  e.resize(1500, 170);
  Recording rec = withEnergies(e, 2000);
  detectOnsets(rec);
  const auto marked = markedPositions(rec);
  ASSERT_EQ(marked.size(), 64u);
  EXPECT_EQ(marked.front(), 600);
  EXPECT_EQ(std::fabs(rec.onsetMarks[600]), 1.0f);
  EXPECT_EQ(countOnsets(rec).weak, 1);
  EXPECT_EQ(countOnsets(rec).strong, 0);

  std::vector<int> small(600, 100);
  small.resize(1500, 150);
  Recording weaker = withEnergies(small, 2000);
  detectOnsets(weaker);
  EXPECT_TRUE(markedPositions(weaker).empty());
}

TEST(Onsets, ThresholdFollowsTheBackground) {
  // Background 50 (B32 2500, factor 8): 120 gives T 14400 < 8 x 2500, not an onset;
  // 150 gives T 22500 > 20000, an onset.
  std::vector<int> low(600, 50);
  low.resize(1500, 120);
  Recording a = withEnergies(low, 2000);
  detectOnsets(a);
  EXPECT_TRUE(markedPositions(a).empty());

  std::vector<int> high(600, 50);
  high.resize(1500, 150);
  Recording b = withEnergies(high, 2000);
  detectOnsets(b);
  ASSERT_FALSE(markedPositions(b).empty());
  EXPECT_EQ(markedPositions(b).front(), 600);
}

TEST(Onsets, TailNeverCarriesMarks) {
  // An attack 40 positions before the end would run into the last 32 positions.
  Recording rec = withEnergies(step(1000, 200, 300), 1040);
  detectOnsets(rec);
  const auto marked = markedPositions(rec);
  ASSERT_FALSE(marked.empty());
  EXPECT_EQ(marked.front(), 1000);
  EXPECT_LT(marked.back(), 1040 - 32);
}

TEST(Onsets, TinyRecordingsStayInsideTheArrays) {
  for (int positions : {0, 1, 20, 32, 33, 40, 64, 65}) {
    Recording rec =
        withEnergies(std::vector<int>(static_cast<std::size_t>(positions), 500), positions);
    EXPECT_EQ(detectOnsets(rec), 0);
    EXPECT_TRUE(markedPositions(rec).empty()) << positions;
  }
}

}  // namespace
}  // namespace quavrix
