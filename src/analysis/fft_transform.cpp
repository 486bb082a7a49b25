#include "analysis/fft_transform.h"

#include <fftw3.h>

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

std::vector<double> makeWindow() {
  std::vector<double> window(FFT_SIZE);
  for (int i = 0; i < FFT_SIZE / 2; ++i) {
    const double w = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (i + 1) / (FFT_SIZE + 1)));
    window[static_cast<std::size_t>(i)] = w;
    window[static_cast<std::size_t>(FFT_SIZE - 1 - i)] = w;
  }
  return window;
}

}  // namespace

FftPlan::FftPlan()
    : window_(makeWindow()),
      twiddleCos_(static_cast<std::size_t>(PARTS * POWER_BINS)),
      twiddleSin_(twiddleCos_.size()) {
  for (int q = 0; q < PARTS; ++q) {
    for (int k = 0; k < POWER_BINS; ++k) {
      const double angle = -2.0 * std::numbers::pi * (q * k) / FFT_SIZE;
      twiddleCos_[static_cast<std::size_t>(q * POWER_BINS + k)] = std::cos(angle);
      twiddleSin_[static_cast<std::size_t>(q * POWER_BINS + k)] = std::sin(angle);
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
void FftWorkspace::powers(const float* samples, PowerBins& power) {
  const double* window = plan_.window().data();
  double* in = input_.get();
  for (int p = 0; p < PART_SIZE; ++p) {
    for (int q = 0; q < PARTS; ++q) {
      const int i = PARTS * p + q;
      in[q * PART_SIZE + p] = static_cast<double>(samples[i]) * window[i];
    }
  }
  transform(power);
}

void FftWorkspace::differencePowers(const float* a, const float* b, PowerBins& power) {
  const double* window = plan_.window().data();
  double* in = input_.get();
  for (int p = 0; p < PART_SIZE; ++p) {
    for (int q = 0; q < PARTS; ++q) {
      const int i = PARTS * p + q;
      in[q * PART_SIZE + p] = static_cast<double>(std::fabs(a[i] - b[i])) * window[i];
    }
  }
  transform(power);
}

void FftWorkspace::transform(PowerBins& power) {
  auto* out = reinterpret_cast<fftw_complex*>(output_.get());
  for (int q = 0; q < PARTS; ++q) {
    fftw_execute_dft_r2c(plan_.plan(), input_.get() + q * PART_SIZE, out + q * PART_STRIDE);
  }

  // The library's imaginary parts have the opposite sign of a sine transform;
  // squared, the powers are the same.
  std::array<double, POWER_BINS> re;
  std::array<double, POWER_BINS> im;
  for (int k = 0; k < POWER_BINS; ++k) {
    re[static_cast<std::size_t>(k)] = out[k][0];
    im[static_cast<std::size_t>(k)] = out[k][1];
  }
  const double* cosines = plan_.twiddleCos().data();
  const double* sines = plan_.twiddleSin().data();
  for (int q = 1; q < PARTS; ++q) {
    const fftw_complex* part = out + q * PART_STRIDE;
    const double* c = cosines + q * POWER_BINS;
    const double* s = sines + q * POWER_BINS;
    for (int k = 0; k < POWER_BINS; ++k) {
      const double pr = part[k][0];
      const double pi = part[k][1];
      re[static_cast<std::size_t>(k)] += pr * c[k] - pi * s[k];
      im[static_cast<std::size_t>(k)] += pr * s[k] + pi * c[k];
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
    const auto i = static_cast<std::size_t>(k);
    power[i] = re[i] * re[i] + im[i] * im[i];
  }
}

}  // namespace quavrix
