#include "analysis/fft_transform.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace quavrix {

namespace {

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

FftPlan::FftPlan() : window_(makeWindow()) {
  // Estimated planning takes about 2 ms; measuring takes a quarter of a second
  // and gains only a tenth in execution, which a five-minute recording does not
  // pay back. It also keeps the results independent of timing noise.
  double* in = fftw_alloc_real(FFT_SIZE);
  fftw_complex* out = fftw_alloc_complex(FFT_SIZE / 2 + 1);
  if (in && out) {
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftw_plan_dft_r2c_1d(FFT_SIZE, in, out, FFTW_ESTIMATE);
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
// buffers, which the new-array execute call requires.
FftWorkspace::FftWorkspace(const FftPlan& plan)
    : plan_(plan),
      input_(fftw_alloc_real(FFT_SIZE)),
      output_(reinterpret_cast<double*>(fftw_alloc_complex(FFT_SIZE / 2 + 1))) {}

void FftWorkspace::powers(const float* samples, PowerBins& power) {
  const double* window = plan_.window().data();
  double* in = input_.get();
  for (int i = 0; i < FFT_SIZE; ++i) in[i] = static_cast<double>(samples[i]) * window[i];
  transform(power);
}

void FftWorkspace::differencePowers(const float* a, const float* b, PowerBins& power) {
  const double* window = plan_.window().data();
  double* in = input_.get();
  for (int i = 0; i < FFT_SIZE; ++i) {
    in[i] = static_cast<double>(std::fabs(a[i] - b[i])) * window[i];
  }
  transform(power);
}

void FftWorkspace::transform(PowerBins& power) {
  auto* out = reinterpret_cast<fftw_complex*>(output_.get());
  fftw_execute_dft_r2c(plan_.plan(), input_.get(), out);
  // The library's imaginary parts have the opposite sign of a sine transform;
  // squared, the powers are the same.
  power[0] = out[0][0] * out[0][0] + out[FFT_SIZE / 2][0] * out[FFT_SIZE / 2][0];
  for (int k = 1; k < POWER_BINS; ++k) power[k] = out[k][0] * out[k][0] + out[k][1] * out[k][1];
}

}  // namespace quavrix
