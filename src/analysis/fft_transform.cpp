#include "analysis/fft_transform.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace quavrix {

namespace {

constexpr int PARTS = FftPlan::PARTS;
constexpr int PART_SIZE = FftPlan::PART_SIZE;
constexpr int PART_STRIDE = FftPlan::PART_STRIDE;
static_assert(POWER_BINS <= PART_SIZE / 2, "the wanted bins must come straight from the parts");

// The planner and plan destruction touch the library's global state; whoever
// plans, from whatever thread, goes through this lock.
std::mutex& plannerLock() {
  static std::mutex lock;
  return lock;
}

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

FftPlan::FftPlan()
    : sampleWindow_(makeSampleWindow()),
      partWindow_(static_cast<std::size_t>(FFT_SIZE)),
      pairCos_(static_cast<std::size_t>(2 * PARTS * POWER_BINS)),
      pairSin_(pairCos_.size()) {
  for (int q = 0; q < PARTS; ++q)
    for (int p = 0; p < PART_SIZE; ++p)
      partWindow_[static_cast<std::size_t>(q * PART_SIZE + p)] =
          sampleWindow_[static_cast<std::size_t>(PARTS * p + q)];
  for (int q = 0; q < PARTS; ++q) {
    for (int k = 0; k < POWER_BINS; ++k) {
      const double angle = -2.0 * std::numbers::pi * (q * k) / FFT_SIZE;
      const auto at = static_cast<std::size_t>(2 * (q * POWER_BINS + k));
      pairCos_[at] = pairCos_[at + 1] = std::cos(angle);
      pairSin_[at] = -std::sin(angle);
      pairSin_[at + 1] = std::sin(angle);
    }
  }
  // An estimated plan takes well under a millisecond; a measured one takes a
  // large part of a second, more than it saves on a long recording, and would
  // make the results depend on timing noise.
  double* in = fftw_alloc_real(PART_SIZE);
  fftw_complex* out = fftw_alloc_complex(PART_STRIDE);
  if (in && out) {
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftw_plan_dft_r2c_1d(PART_SIZE, in, out, FFTW_ESTIMATE);
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

// Buffers from the library's allocator, split at 64-byte multiples, share the
// alignment of the planning buffers, which the new-array execute call requires.
FftWorkspace::FftWorkspace(const FftPlan& plan)
    : plan_(plan),
      input_(fftw_alloc_real(FFT_SIZE)),
      output_(reinterpret_cast<double*>(fftw_alloc_complex(PARTS * PART_STRIDE))) {}

// Part q holds frames q, q + 8, q + 16, ...
void FftWorkspace::powers(const std::int16_t* samples, PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  double* in = input_.get();
  for (int p = 0; p < PART_SIZE; ++p) {
    for (int q = 0; q < PARTS; ++q) {
      const int i = PARTS * p + q;
      in[q * PART_SIZE + p] = static_cast<double>(samples[i]) * window[i];
    }
  }
  transform(power);
}

// |a - b| of two 16-bit samples is exact, as is its float value / 32768.
void FftWorkspace::differencePowers(const std::int16_t* a, const std::int16_t* b,
                                    PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  double* in = input_.get();
  for (int p = 0; p < PART_SIZE; ++p) {
    for (int q = 0; q < PARTS; ++q) {
      const int i = PARTS * p + q;
      const int d = static_cast<int>(a[i]) - static_cast<int>(b[i]);
      in[q * PART_SIZE + p] = static_cast<double>(d < 0 ? -d : d) * window[i];
    }
  }
  transform(power);
}

void SlidingWindow::append(const std::int16_t* a, const std::int16_t* b, int frames) {
  float* planes = planes_.data();
  const int per = frames / PARTS;
  for (int i = 0; i < per; ++i) {
    for (int q = 0; q < PARTS; ++q) {
      const int j = PARTS * i + q;
      int v = a[j];
      if (b) {
        v -= b[j];
        v = v < 0 ? -v : v;
      }
      planes[q * CAPACITY + filled_ + i] = static_cast<float>(v);  // exact: |v| < 2^17
    }
  }
  filled_ += per;
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

// A part's entries times the window's, in the order of the sample loops above.
void FftWorkspace::powers(const SlidingWindow& window, PowerBins& power) {
  const double* weights = plan_.partWindow().data();
  double* in = input_.get();
  for (int q = 0; q < PARTS; ++q) {
    const float* values = window.part(q);
    const double* w = weights + q * PART_SIZE;
    double* out = in + q * PART_SIZE;
    for (int p = 0; p < PART_SIZE; ++p) out[p] = static_cast<double>(values[p]) * w[p];
  }
  transform(power);
}

void FftWorkspace::transform(PowerBins& power) {
  auto* out = reinterpret_cast<fftw_complex*>(output_.get());
  for (int q = 0; q < PARTS; ++q) {
    fftw_execute_dft_r2c(plan_.plan(), input_.get() + q * PART_SIZE, out + q * PART_STRIDE);
  }

  // The library's imaginary parts have the opposite sign of a sine transform;
  // squared, the powers are the same. The sums run on (re, im) pairs as the
  // library leaves them: re += pr c + pi (-s) and im += pi c + pr s are, bit
  // for bit, re += pr c - pi s and im += pr s + pi c, in a form the compiler
  // can keep in vector registers.
  alignas(16) std::array<double, 2 * POWER_BINS> sum;
  const double* first = output_.get();
  for (int j = 0; j < 2 * POWER_BINS; ++j) sum[static_cast<std::size_t>(j)] = first[j];
  const double* cosines = plan_.pairCos().data();
  const double* sines = plan_.pairSin().data();
  for (int q = 1; q < PARTS; ++q) {
    const double* part = output_.get() + 2 * q * PART_STRIDE;
    const double* c = cosines + 2 * q * POWER_BINS;
    const double* s = sines + 2 * q * POWER_BINS;
    for (int k = 0; k < 2 * POWER_BINS; k += 2) {
      const double pr = part[k];
      const double pi = part[k + 1];
      sum[static_cast<std::size_t>(k)] += pr * c[k] + pi * s[k];
      sum[static_cast<std::size_t>(k) + 1] += pi * c[k + 1] + pr * s[k + 1];
    }
  }

  // Bin 0 combines 0 Hz with the half-rate bin, which is the parts' 0 Hz
  // values with alternating signs.
  double zero = 0.0;
  double half = 0.0;
  for (int q = 0; q < PARTS; ++q) {
    const double v = out[q * PART_STRIDE][0];
    zero += v;
    half += q % 2 ? -v : v;
  }
  power[0] = zero * zero + half * half;
  for (int k = 1; k < POWER_BINS; ++k) {
    const double re = sum[static_cast<std::size_t>(2 * k)];
    const double im = sum[static_cast<std::size_t>(2 * k + 1)];
    power[static_cast<std::size_t>(k)] = re * re + im * im;
  }
}

}  // namespace quavrix
