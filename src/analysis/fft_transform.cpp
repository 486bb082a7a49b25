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
constexpr int PART_BINS = FftPlan::PART_BINS;
// Complex entries between the windows' part outputs: PART_BINS rounded up so
// that each starts on a 64-byte boundary like the planning buffers, which the
// new-array execute call requires.
constexpr int OUTPUT_STRIDE = 516;

// The loops between the transforms, also built for AVX2 where the processor
// has it. Products and sums are rounded one by one either way (no fused
// multiply-add: the file is built without contraction), so both give the
// same bits.
#if defined(__x86_64__) && defined(__GNUC__)
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

// sum += the part's wanted bins times their twiddles, on (re, im) pairs.
QUAVRIX_VECTOR_CLONES void addPart(const double* part, const double* c, const double* s,
                                   double* sum) {
  for (int k = 0; k < 2 * POWER_BINS; k += 2) {
    const double pr = part[k];
    const double pi = part[k + 1];
    sum[k] += pr * c[k] + pi * s[k];
    sum[k + 1] += pi * c[k + 1] + pr * s[k + 1];
  }
}
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
  // An estimated plan takes well under a millisecond. A measured one takes a
  // large part of a second and would make the results depend on timing
  // noise; the measured plans tried here ran faster on one thread but slower
  // with both cores busy, as an open keeps them.
  double* in = fftw_alloc_real(PART_SIZE);
  fftw_complex* out = fftw_alloc_complex(PART_BINS);
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

// Buffers from the library's allocator share the alignment of the planning
// buffers, which the new-array execute call requires.
FftWorkspace::FftWorkspace(const FftPlan& plan)
    : plan_(plan),
      input_(fftw_alloc_real(WINDOWS * PART_SIZE)),
      output_(reinterpret_cast<double*>(fftw_alloc_complex(WINDOWS * OUTPUT_STRIDE))) {}

// Part q holds frames q, q + 8, q + 16, ...
void FftWorkspace::powers(const std::int16_t* samples, PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  transform<1>(
      [&](int q, double* const* in) {
        for (int p = 0; p < PART_SIZE; ++p) {
          const int i = PARTS * p + q;
          in[0][p] = static_cast<double>(samples[i]) * window[i];
        }
      },
      std::array<PowerBins*, 1>{&power}.data());
}

// |a - b| of two 16-bit samples is exact, as is its float value / 32768.
void FftWorkspace::differencePowers(const std::int16_t* a, const std::int16_t* b,
                                    PowerBins& power) {
  const double* window = plan_.sampleWindow().data();
  transform<1>(
      [&](int q, double* const* in) {
        for (int p = 0; p < PART_SIZE; ++p) {
          const int i = PARTS * p + q;
          const int d = static_cast<int>(a[i]) - static_cast<int>(b[i]);
          in[0][p] = static_cast<double>(d < 0 ? -d : d) * window[i];
        }
      },
      std::array<PowerBins*, 1>{&power}.data());
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

// A part's entries times the window's.
void FftWorkspace::powers(const SlidingWindow& window, PowerBins& power) {
  const double* weights = plan_.partWindow().data();
  transform<1>(
      [&](int q, double* const* in) { weigh(window.part(q), weights + q * PART_SIZE, in[0]); },
      std::array<PowerBins*, 1>{&power}.data());
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

// Part by part: each part is windowed, transformed and added into the sums
// while its entries are still in the nearest cache, so the work runs on a
// few pages instead of streaming all eight parts through memory three times.
// Windows taken together share the loads of the weights and twiddles; each
// one's sums are formed in the same order as alone, so its powers are the same.
template <int N, class FillPart>
void FftWorkspace::transform(FillPart fill, PowerBins* const* power) {
  static_assert(N >= 1 && N <= WINDOWS);
  double* in[N];
  double* part[N];
  for (int n = 0; n < N; ++n) {
    in[n] = input_.get() + n * PART_SIZE;
    part[n] = output_.get() + 2 * n * OUTPUT_STRIDE;
  }
  const double* cosines = plan_.pairCos().data();
  const double* sines = plan_.pairSin().data();
  // The library's imaginary parts have the opposite sign of a sine transform;
  // squared, the powers are the same. The sums run on (re, im) pairs as the
  // library leaves them: re += pr c + pi (-s) and im += pi c + pr s are, bit
  // for bit, re += pr c - pi s and im += pr s + pi c, in a form the compiler
  // can keep in vector registers.
  alignas(16) std::array<std::array<double, 2 * POWER_BINS>, N> sum;
  // Bin 0 combines 0 Hz with the half-rate bin, which is the parts' 0 Hz
  // values with alternating signs.
  double zero[N] = {};
  double half[N] = {};
  for (int q = 0; q < PARTS; ++q) {
    fill(q, in);
    for (int n = 0; n < N; ++n) {
      fftw_execute_dft_r2c(plan_.plan(), in[n], reinterpret_cast<fftw_complex*>(part[n]));
      const double v = part[n][0];
      zero[n] += v;
      half[n] += q % 2 ? -v : v;
    }
    if (q == 0) {
      for (int n = 0; n < N; ++n)
        std::copy(part[n], part[n] + 2 * POWER_BINS, sum[static_cast<std::size_t>(n)].begin());
      continue;
    }
    const double* c = cosines + 2 * q * POWER_BINS;
    const double* s = sines + 2 * q * POWER_BINS;
    for (int n = 0; n < N; ++n) addPart(part[n], c, s, sum[static_cast<std::size_t>(n)].data());
  }
  for (int n = 0; n < N; ++n) {
    PowerBins& out = *power[n];
    out[0] = zero[n] * zero[n] + half[n] * half[n];
    for (int k = 1; k < POWER_BINS; ++k) {
      const double re = sum[static_cast<std::size_t>(n)][static_cast<std::size_t>(2 * k)];
      const double im = sum[static_cast<std::size_t>(n)][static_cast<std::size_t>(2 * k + 1)];
      out[static_cast<std::size_t>(k)] = re * re + im * im;
    }
  }
}

}  // namespace quavrix
