// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fir_filter.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace quavrix {

int FirFilter::design(int tapCount, double sampleRate, double cutoffFrequency, int filterKind) {
  kind = filterKind;
  taps = tapCount;
  rate = sampleRate;
  cutoff = cutoffFrequency;
  coefficients.clear();
  history.clear();
  status = FIR_OK;
  angularCutoff = cutoff * std::numbers::pi / (rate / 2.0);

  // Written as positive tests so that a NaN fails them too.
  if (!(rate > 0.0)) {
    status = FIR_BAD_RATE;
  } else if (!(cutoff > 0.0 && cutoff < rate / 2.0)) {
    status = FIR_BAD_CUTOFF;
  } else if (taps <= 0 || taps > FIR_MAX_TAPS) {
    status = FIR_BAD_TAPS;
  } else if (kind != FIR_LOW_PASS && kind != FIR_HIGH_PASS) {
    status = FIR_BAD_KIND;
  }
  if (status != FIR_OK) return status;

  try {
    coefficients.assign(static_cast<std::size_t>(taps), 0.0f);
    history.assign(static_cast<std::size_t>(taps), 0.0);
  } catch (const std::bad_alloc&) {
    coefficients.clear();
    history.clear();
    status = FIR_NO_MEMORY;
    return status;
  }

  const double pi = std::numbers::pi;
  const double wc = angularCutoff;
  const double middle = (taps - 1) / 2.0;  // a half tap for even lengths
  for (int idx = 0; idx < taps; ++idx) {
    const double g = idx - middle;
    const double lowPass = g == 0.0 ? wc / pi : std::sin(wc * g) / (pi * g);
    const double h = kind == FIR_LOW_PASS ? lowPass : (g == 0.0 ? 1.0 - wc / pi : -lowPass);
    coefficients[static_cast<std::size_t>(taps - 1 - idx)] = static_cast<float>(h);
  }
  return status;
}

void FirFilter::apply(std::span<float> outA, std::span<float> outB, std::span<const float> inA,
                      std::span<const float> inB) const {
  if (status != FIR_OK || coefficients.size() != static_cast<std::size_t>(taps)) return;
  const std::size_t m = std::min({outA.size(), outB.size(), inA.size(), inB.size()});
  std::fill_n(outA.begin(), m, 0.0f);
  std::fill_n(outB.begin(), m, 0.0f);

  // The output is not delayed: out[j] looks ahead over in[j .. j + n - 1], so
  // only j = n .. m - n has all its inputs and the rest stays 0.
  const auto n = static_cast<std::size_t>(taps);
  if (m < 2 * n) return;
  const float* c = coefficients.data();
  for (std::size_t j = n; j <= m - n; ++j) {
    float sumA = 0.0f;
    float sumB = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
      sumA += c[i] * inA[j + i];
      sumB += c[i] * inB[j + i];
    }
    outA[j] = sumA;
    outB[j] = sumB;
  }
}

}  // namespace quavrix
