// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fir_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace quavrix {
namespace {

TEST(FirFilter, DesignRejectsBadParametersInOrder) {
  FirFilter filter;
  EXPECT_EQ(filter.design(0, 44.1, 0.3), FIR_BAD_TAPS);
  EXPECT_EQ(filter.design(1001, 44.1, 0.3), FIR_BAD_TAPS);
  EXPECT_EQ(filter.design(-5, 44.1, 0.3), FIR_BAD_TAPS);
  EXPECT_EQ(filter.design(101, 44.1, 22.05), FIR_BAD_CUTOFF);
  EXPECT_EQ(filter.design(101, 44.1, 0.0), FIR_BAD_CUTOFF);
  EXPECT_EQ(filter.design(101, 44.1, -1.0), FIR_BAD_CUTOFF);
  EXPECT_EQ(filter.design(101, 0.0, 0.3), FIR_BAD_RATE);
  EXPECT_EQ(filter.design(101, -44.1, 0.3), FIR_BAD_RATE);
  EXPECT_EQ(filter.design(101, std::numeric_limits<double>::quiet_NaN(), 0.3), FIR_BAD_RATE);
  EXPECT_EQ(filter.design(101, 44.1, std::numeric_limits<double>::quiet_NaN()), FIR_BAD_CUTOFF);
  // The rate is judged before the cut-off, the cut-off before the taps.
  EXPECT_EQ(filter.design(0, 0.0, 30.0), FIR_BAD_RATE);
  EXPECT_EQ(filter.design(0, 44.1, 30.0), FIR_BAD_CUTOFF);
  EXPECT_EQ(filter.design(101, 44.1, 0.3, 2), FIR_BAD_KIND);
  EXPECT_EQ(filter.status, FIR_BAD_KIND);
  EXPECT_TRUE(filter.coefficients.empty());

  EXPECT_EQ(filter.design(1000, 44.1, 0.3), FIR_OK);
  EXPECT_EQ(filter.design(1, 44.1, 0.3), FIR_OK);
  EXPECT_EQ(filter.design(101, 44.1, 0.3), FIR_OK);
  EXPECT_EQ(filter.kind, FIR_HIGH_PASS);
  EXPECT_EQ(filter.taps, 101);
  EXPECT_EQ(filter.coefficients.size(), 101u);
  EXPECT_EQ(filter.history, std::vector<double>(101, 0.0));
  EXPECT_DOUBLE_EQ(filter.angularCutoff, 0.3 * std::numbers::pi / 22.05);
  // The centre tap of a high-pass is 1 - wc / pi.
  EXPECT_FLOAT_EQ(filter.coefficients[50], static_cast<float>(1.0 - 0.3 / 22.05));
}

// Peak output amplitude of the mixer's 300 Hz high-pass for a sine of `hz` (kHz rate 44.1).
double passedAmplitude(double hz) {
  FirFilter filter;
  EXPECT_EQ(filter.design(101, 44.1, 0.3), FIR_OK);
  const int m = 8192;
  std::vector<float> in(m);
  for (int i = 0; i < m; ++i)
    in[std::size_t(i)] = std::sin(2.0 * std::numbers::pi * hz * i / 44100.0);
  std::vector<float> out(m);
  std::vector<float> unused(m);
  filter.apply(out, unused, in, in);
  float peak = 0.0f;
  for (int j = 101; j <= m - 101; ++j) peak = std::max(peak, std::fabs(out[std::size_t(j)]));
  return peak;
}

TEST(FirFilter, HighPassKeepsOneKilohertzAndBlocksFiftyHertz) {
  EXPECT_GT(passedAmplitude(1000.0), 0.9);
  EXPECT_LT(passedAmplitude(1000.0), 1.1);
  EXPECT_LT(passedAmplitude(50.0), 0.1);
}

TEST(FirFilter, ApplyLooksAheadAndLeavesTheEdgesZero) {
  FirFilter filter;
  ASSERT_EQ(filter.design(11, 44.1, 5.0, FIR_LOW_PASS), FIR_OK);
  const int m = 300;
  std::vector<float> in(m, 0.0f);
  in[150] = 1.0f;
  std::vector<float> twice(m, 0.0f);
  twice[150] = 2.0f;
  std::vector<float> outA(m, 7.0f);
  std::vector<float> outB(m, 7.0f);
  filter.apply(outA, outB, in, twice);

  for (int j = 0; j < m; ++j) {
    // An impulse at 150 reaches the outputs 140 .. 150 that look ahead over it.
    const float expected =
        (j >= 140 && j <= 150) ? filter.coefficients[std::size_t(150 - j)] : 0.0f;
    EXPECT_EQ(outA[std::size_t(j)], expected) << j;
    EXPECT_EQ(outB[std::size_t(j)], 2.0f * expected) << j;
  }

  // Input at the edges never reaches the outputs below n or above m - n.
  std::vector<float> ones(m, 1.0f);
  filter.apply(outA, outB, ones, ones);
  EXPECT_EQ(outA[10], 0.0f);
  EXPECT_NE(outA[11], 0.0f);
  EXPECT_NE(outA[289], 0.0f);
  EXPECT_EQ(outA[290], 0.0f);
}

TEST(FirFilter, ShortSignalsAndUnusableFiltersComputeNothing) {
  FirFilter filter;
  ASSERT_EQ(filter.design(101, 44.1, 0.3), FIR_OK);
  std::vector<float> in(201, 1.0f);
  std::vector<float> out(201, 7.0f);
  std::vector<float> other(201, 7.0f);
  filter.apply(out, other, in, in);  // m - n = 100 < n: only cleared
  EXPECT_EQ(out, std::vector<float>(201, 0.0f));
  EXPECT_EQ(other, std::vector<float>(201, 0.0f));

  in.assign(202, 1.0f);
  out.assign(202, 7.0f);
  other.assign(202, 7.0f);
  filter.apply(out, other, in, in);  // exactly one output, j = 101
  EXPECT_NE(out[101], 0.0f);
  EXPECT_EQ(out[100], 0.0f);
  EXPECT_EQ(out[102], 0.0f);

  // A failed design leaves the outputs untouched.
  ASSERT_EQ(filter.design(0, 44.1, 0.3), FIR_BAD_TAPS);
  out.assign(202, 7.0f);
  filter.apply(out, other, in, in);
  EXPECT_EQ(out, std::vector<float>(202, 7.0f));
  // So does a filter that was never designed.
  FirFilter fresh;
  fresh.apply(out, other, in, in);
  EXPECT_EQ(out, std::vector<float>(202, 7.0f));
}

}  // namespace
}  // namespace quavrix
