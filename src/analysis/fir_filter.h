#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Windowless sinc FIR filter, designed once and applied to two signals with the
// same coefficients (the recording mixer filters both channels with it).

#include <span>
#include <vector>

namespace quavrix {

inline constexpr int FIR_LOW_PASS = 0;
inline constexpr int FIR_HIGH_PASS = 1;
inline constexpr int FIR_MAX_TAPS = 1000;

// Design results.
inline constexpr int FIR_OK = 0;
inline constexpr int FIR_BAD_RATE = -1;    // sampling rate not positive
inline constexpr int FIR_BAD_CUTOFF = -2;  // cut-off not inside (0, rate / 2)
inline constexpr int FIR_BAD_TAPS = -3;    // taps outside 1 .. 1000
inline constexpr int FIR_NO_MEMORY = -4;
inline constexpr int FIR_BAD_KIND = -5;  // kind neither low-pass nor high-pass

struct FirFilter {
  int kind = FIR_HIGH_PASS;
  int taps = 0;
  int status = FIR_BAD_TAPS;  // unusable until designed
  double rate = 0.0;          // same unit as the cut-off
  double cutoff = 0.0;
  double angularCutoff = 0.0;       // cutoff x pi / (rate / 2)
  std::vector<float> coefficients;  // reversed: coefficient n - 1 - i belongs to tap i
  std::vector<double> history;      // cleared at design; the look-ahead form needs none

  // Designs a `taps`-long filter and returns its status. A failed design leaves
  // no coefficients.
  int design(int tapCount, double sampleRate, double cutoffFrequency,
             int filterKind = FIR_HIGH_PASS);

  // outA[j] = sum over i of coefficient[i] x inA[j + i] for j = n .. m - n, with m the
  // shortest of the four lengths; every other output of 0 .. m - 1 is 0. Does
  // nothing unless the status is FIR_OK.
  void apply(std::span<float> outA, std::span<float> outB, std::span<const float> inA,
             std::span<const float> inB) const;
};

}  // namespace quavrix
