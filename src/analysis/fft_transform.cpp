// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fft_transform.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <mutex>
#include <numbers>

namespace quavrix {

std::mutex& plannerLock() {
  static std::mutex lock;
  return lock;
}

namespace {

constexpr int PARTS = FftPlan::PARTS;
constexpr int PAIRS = FftPlan::PAIRS;
constexpr int PART_SIZE = FftPlan::PART_SIZE;
// A pair's split array: real half, then imaginary half.
constexpr int PAIR_SPAN = 2 * PART_SIZE;

// The loops between the transforms, also built for AVX2 where the processor
// has it. Products and sums are rounded one by one either way (no fused
// multiply-add: the file is built without contraction), so both give the
// same bits. Not under ThreadSanitizer: the clones' resolvers run while the
// program is being loaded, before the sanitizer's runtime is ready.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
#define QUAVRIX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUAVRIX_VECTOR_CLONES
#endif

// A part of one or two windows times the window's weights.
QUAVRIX_VECTOR_CLONES void weigh(const float* a, const double* w, double* out) {
  for (int p = 0; p < PART_SIZE; ++p) out[p] = static_cast<double>(a[p]) * w[p];
}
QUAVRIX_VECTOR_CLONES void weighPair(const float* a, const float* b, const double* w, double* outA,
                                     double* outB) {
  for (int p = 0; p < PART_SIZE; ++p) {
    outA[p] = static_cast<double>(a[p]) * w[p];
    outB[p] = static_cast<double>(b[p]) * w[p];
  }
}

// Bins 1 .. 380 of a pair's transform z into the sums: with m = conj(z[1024 - k]),
// sum[k] += a[k] z[k] + b[k] m, on split real and imaginary parts.
QUAVRIX_VECTOR_CLONES void addPair(const double* __restrict zRe, const double* __restrict zIm,
                                   const double* __restrict aRe, const double* __restrict aIm,
                                   const double* __restrict bRe, const double* __restrict bIm,
                                   double* __restrict sumRe, double* __restrict sumIm) {
  for (int k = 1; k < POWER_BINS; ++k) {
    const double mRe = zRe[PART_SIZE - k];
    const double mIm = -zIm[PART_SIZE - k];
    sumRe[k] += (aRe[k] * zRe[k] - aIm[k] * zIm[k]) + (bRe[k] * mRe - bIm[k] * mIm);
    sumIm[k] += (aRe[k] * zIm[k] + aIm[k] * zRe[k]) + (bRe[k] * mIm + bIm[k] * mRe);
  }
}
static_assert(POWER_BINS <= PART_SIZE / 2, "the wanted bins must come straight from the parts");

std::vector<double> makeSampleWindow() {
  std::vector<double> window(FFT_SIZE);
  for (int i = 0; i < FFT_SIZE / 2; ++i) {
    const double w = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (i + 1) / (FFT_SIZE + 1)));
    window[static_cast<std::size_t>(i)] = w / 32768.0;
    window[static_cast<std::size_t>(FFT_SIZE - 1 - i)] = w / 32768.0;
  }
  return window;
}

}  // namespace

// Pair g holds part g as its real input and part g + 4 as its imaginary
// input. Both are real, so with Z = U + i V their transforms come back as
// U[k] = (Z[k] + conj Z[-k]) / 2 and V[k] = -i (Z[k] - conj Z[-k]) / 2, and
// T_g U[k] + T_(g+4) V[k], with T_q = W^(q k), is a Z[k] + b conj Z[-k] with
// a = (T_g - i T_(g+4)) / 2 and b = (T_g + i T_(g+4)) / 2.
FftPlan::FftPlan() : sampleWindow_(makeSampleWindow()), partWindow_(FFT_SIZE) {
  for (int q = 0; q < PARTS; ++q)
    for (int p = 0; p < PART_SIZE; ++p)
      partWindow_[static_cast<std::size_t>(q * PART_SIZE + p)] =
          sampleWindow_[static_cast<std::size_t>(PARTS * p + q)];
  Weights& w = pairWeights_;
  for (std::vector<double>* table : {&w.aRe, &w.aIm, &w.bRe, &w.bIm})
    table->assign(static_cast<std::size_t>(PAIRS * POWER_BINS), 0.0);
  for (int g = 0; g < PAIRS; ++g) {
    for (int k = 0; k < POWER_BINS; ++k) {
      const double low = -2.0 * std::numbers::pi * (g * k) / FFT_SIZE;
      const double high = -2.0 * std::numbers::pi * ((g + PAIRS) * k) / FFT_SIZE;
      const std::complex<double> t(std::cos(low), std::sin(low));
      const std::complex<double> u(std::cos(high), std::sin(high));
      const std::complex<double> i(0.0, 1.0);
      const std::complex<double> a = 0.5 * (t - i * u);
      const std::complex<double> b = 0.5 * (t + i * u);
      const auto at = static_cast<std::size_t>(g * POWER_BINS + k);
      w.aRe[at] = a.real();
      w.aIm[at] = a.imag();
      w.bRe[at] = b.real();
      w.bIm[at] = b.imag();
    }
  }
  // An estimated plan takes well under a millisecond. A measured one takes a
  // large part of a second and would make the results depend on timing
  // noise; the measured plans tried here ran faster on one thread but slower
  // with both cores busy, as an open keeps them.
  double* in = fftw_alloc_real(PAIR_SPAN);
  double* out = fftw_alloc_real(PAIR_SPAN);
  if (in && out) {
    fftw_iodim size{PART_SIZE, 1, 1};
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftw_plan_guru_split_dft(1, &size, 0, nullptr, in, in + PART_SIZE, out, out + PART_SIZE,
                                     FFTW_ESTIMATE);
  }
  fftw_free(in);
  fftw_free(out);
}

FftPlan::~FftPlan() {
  if (!plan_) return;
  std::lock_guard<std::mutex> guard(plannerLock());
  fftw_destroy_plan(plan_);
}

void FftWorkspace::Release::operator()(void* memory) const {
  fftw_free(memory);
}

// Buffers from the library's allocator share the alignment of the planning
// buffers, and each imaginary half lies as far from its real half as there,
// which the new-array execute call requires.
FftWorkspace::FftWorkspace(const FftPlan& plan)
    : plan_(plan),
      input_(fftw_alloc_real(WINDOWS * PAIR_SPAN)),
      output_(fftw_alloc_real(WINDOWS * PAIR_SPAN)) {}

// Part q holds frames q, q + 8, q + 16, ...
void FftWorkspace::powers(const std::int16_t* samples, PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  transform(
      [&](int q, double* const* in) {
        for (int p = 0; p < PART_SIZE; ++p) {
          const int i = PARTS * p + q;
          in[0][p] = static_cast<double>(samples[i]) * window[i];
        }
      },
      power);
}

// |a - b| of two 16-bit samples is exact, as is its float value / 32768.
void FftWorkspace::differencePowers(const std::int16_t* a, const std::int16_t* b,
                                    PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  transform(
      [&](int q, double* const* in) {
        for (int p = 0; p < PART_SIZE; ++p) {
          const int i = PARTS * p + q;
          const int d = static_cast<int>(a[i]) - static_cast<int>(b[i]);
          in[0][p] = static_cast<double>(d < 0 ? -d : d) * window[i];
        }
      },
      power);
}

namespace {

using Floats8 = float __attribute__((vector_size(32)));
using Ints8 = int __attribute__((vector_size(32)));
using Shorts8 = std::int16_t __attribute__((vector_size(16)));

// Sorts frames 8 i + q of `frames` into plane q (`capacity` apart) at [i]:
// rows of eight frames in, as whole numbers (of |a - b| with `b`: exact, as
// |a - b| < 2^17), an 8 x 8 transposition, columns out.
QUAVRIX_VECTOR_CLONES void sortIntoPlanes(const std::int16_t* a, const std::int16_t* b, int frames,
                                          float* planes, int capacity) {
  static_assert(PARTS == 8, "the transposition is 8 x 8");
  static_assert(SlidingWindow::HOP % 64 == 0 && FFT_SIZE % 64 == 0, "whole 8 x 8 blocks");
  const int per = frames / PARTS;
  for (int i = 0; i < per; i += 8) {
    Floats8 r[8];
    for (int row = 0; row < 8; ++row) {
      const int at = PARTS * (i + row);
      Shorts8 frames8;
      std::memcpy(&frames8, a + at, sizeof frames8);
      Ints8 v = __builtin_convertvector(frames8, Ints8);
      if (b) {
        std::memcpy(&frames8, b + at, sizeof frames8);
        v -= __builtin_convertvector(frames8, Ints8);
        v = v < 0 ? -v : v;
      }
      r[row] = __builtin_convertvector(v, Floats8);
    }
    Floats8 t[8];
    for (int n = 0; n < 8; n += 2) {
      t[n] = __builtin_shufflevector(r[n], r[n + 1], 0, 8, 1, 9, 4, 12, 5, 13);
      t[n + 1] = __builtin_shufflevector(r[n], r[n + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    Floats8 u[8];
    for (int n = 0; n < 8; n += 4) {
      u[n] = __builtin_shufflevector(t[n], t[n + 2], 0, 1, 8, 9, 4, 5, 12, 13);
      u[n + 1] = __builtin_shufflevector(t[n], t[n + 2], 2, 3, 10, 11, 6, 7, 14, 15);
      u[n + 2] = __builtin_shufflevector(t[n + 1], t[n + 3], 0, 1, 8, 9, 4, 5, 12, 13);
      u[n + 3] = __builtin_shufflevector(t[n + 1], t[n + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int q = 0; q < 4; ++q) {
      const Floats8 low = __builtin_shufflevector(u[q], u[q + 4], 0, 1, 2, 3, 8, 9, 10, 11);
      const Floats8 high = __builtin_shufflevector(u[q], u[q + 4], 4, 5, 6, 7, 12, 13, 14, 15);
      std::memcpy(planes + q * capacity + i, &low, sizeof low);
      std::memcpy(planes + (q + 4) * capacity + i, &high, sizeof high);
    }
  }
}

}  // namespace

void SlidingWindow::append(const std::int16_t* a, const std::int16_t* b, int frames) {
  sortIntoPlanes(a, b, frames, planes_.data() + filled_, CAPACITY);
  filled_ += frames / PARTS;
}

void SlidingWindow::moveTo(const std::int16_t* a, const std::int16_t* b) {
  const bool slides = lastA_ && a == lastA_ + HOP && (b ? lastB_ && b == lastB_ + HOP : !lastB_);
  lastA_ = a;
  lastB_ = b;
  if (!slides) {
    offset_ = filled_ = 0;
    append(a, b, FFT_SIZE);
    return;
  }
  offset_ += NEW_PER_PART;
  if (filled_ + NEW_PER_PART > CAPACITY) {
    // Keep what the next window shares with this one at the start of the planes.
    const int kept = filled_ - offset_;
    for (int q = 0; q < PARTS; ++q) {
      float* plane = planes_.data() + q * CAPACITY;
      std::copy(plane + offset_, plane + filled_, plane);
    }
    offset_ = 0;
    filled_ = kept;
  }
  append(a + FFT_SIZE - HOP, b ? b + FFT_SIZE - HOP : nullptr, HOP);
}

const float* SlidingWindow::part(int q) const {
  return planes_.data() + q * CAPACITY + offset_;
}

// A part's entries times the window's.
void FftWorkspace::powers(const SlidingWindow& window, PowerBins& power) {
  const double* weights = plan_.partWindow().data();
  transform(
      [&](int q, double* const* in) { weigh(window.part(q), weights + q * PART_SIZE, in[0]); },
      power);
}

void FftWorkspace::powers(const SlidingWindow& first, const SlidingWindow& second,
                          PowerBins& firstPower, PowerBins& secondPower) {
  const double* weights = plan_.partWindow().data();
  PowerBins* powers[2] = {&firstPower, &secondPower};
  transform<2>(
      [&](int q, double* const* in) {
        weighPair(first.part(q), second.part(q), weights + q * PART_SIZE, in[0], in[1]);
      },
      powers);
}

// Pair by pair: each pair of parts is windowed, transformed and added into
// the sums while its entries are still in the nearest cache, so the work runs
// on a few pages instead of streaming all eight parts through memory three
// times. Windows taken together share the loads of the weights; each one's
// sums are formed in the same order as alone, so its powers are the same.
template <int N, class FillPart>
void FftWorkspace::transform(FillPart fill, PowerBins* const* power) {
  static_assert(N >= 1 && N <= WINDOWS);
  double* re[N];
  double* im[N];
  double* zRe[N];
  double* zIm[N];
  for (int n = 0; n < N; ++n) {
    re[n] = input_.get() + n * PAIR_SPAN;
    im[n] = re[n] + PART_SIZE;
    zRe[n] = output_.get() + n * PAIR_SPAN;
    zIm[n] = zRe[n] + PART_SIZE;
  }
  const FftPlan::Weights& w = plan_.pairWeights();
  alignas(32) std::array<std::array<double, POWER_BINS>, N> sumRe{};
  alignas(32) std::array<std::array<double, POWER_BINS>, N> sumIm{};
  // Bin 0 combines 0 Hz with the half-rate bin: the parts' 0 Hz values,
  // summed plainly and with alternating signs. A pair's two parts have the
  // same parity.
  double zero[N] = {};
  double half[N] = {};
  for (int g = 0; g < PAIRS; ++g) {
    fill(g, re);
    fill(g + PAIRS, im);
    const auto at = static_cast<std::size_t>(g * POWER_BINS);
    for (int n = 0; n < N; ++n) {
      fftw_execute_split_dft(plan_.plan(), re[n], im[n], zRe[n], zIm[n]);
      const double v = zRe[n][0] + zIm[n][0];
      zero[n] += v;
      half[n] += g % 2 ? -v : v;
      addPair(zRe[n], zIm[n], w.aRe.data() + at, w.aIm.data() + at, w.bRe.data() + at,
              w.bIm.data() + at, sumRe[static_cast<std::size_t>(n)].data(),
              sumIm[static_cast<std::size_t>(n)].data());
    }
  }
  for (int n = 0; n < N; ++n) {
    PowerBins& out = *power[n];
    const auto& r = sumRe[static_cast<std::size_t>(n)];
    const auto& i = sumIm[static_cast<std::size_t>(n)];
    out[0] = zero[n] * zero[n] + half[n] * half[n];
    for (std::size_t k = 1; k < POWER_BINS; ++k) out[k] = r[k] * r[k] + i[k] * i[k];
  }
}

}  // namespace quavrix
