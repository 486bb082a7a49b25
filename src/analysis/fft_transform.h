#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The windowed 8192-point power spectrum behind the peak spectrogram.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct fftw_plan_s;

namespace quavrix {

// The planner and plan destruction touch the library's global state; whoever
// plans, from whatever thread, goes through this lock.
std::mutex& plannerLock();

// Frames per transform; the window spans four 2048-frame blocks.
inline constexpr int FFT_SIZE = 8192;
// The peak search reads bins 0 .. 380 only (up to about 2 kHz).
inline constexpr int POWER_BINS = 381;

using PowerBins = std::array<double, POWER_BINS>;

// The transform plan and tables of one analysis run. The library's planner
// keeps global state, so a plan is made on one thread and then only read; its
// execution on separate buffers is safe from several threads at once.
//
// Only the lowest 381 of 4097 bins are wanted, so the transform is split by
// decimation in time: eight 1024-point transforms of every eighth frame, then
// bin k = sum over q of W^(q k) x (bin k of part q), for the wanted bins only.
// The parts are real, so two of them go through one complex transform, as its
// real and its imaginary input, and are told apart again in the sums: four
// complex transforms cost about a third less than eight real ones. Each
// pair's steps stay within the nearest cache.
class FftPlan {
 public:
  static constexpr int PARTS = 8;
  static constexpr int PAIRS = PARTS / 2;
  static constexpr int PART_SIZE = FFT_SIZE / PARTS;

  FftPlan();
  ~FftPlan();
  FftPlan(const FftPlan&) = delete;
  FftPlan& operator=(const FftPlan&) = delete;

  bool ready() const { return plan_ != nullptr; }
  // A 1024-point complex transform of split arrays, each imaginary half
  // PART_SIZE entries after its real half.
  fftw_plan_s* plan() const { return plan_; }
  // w[i] / 32768 with w[i] = 0.5 (1 - cos(2 pi (i + 1) / 8193)), a Hann window
  // whose zero end points lie just outside the 8192 frames. Scaling by a power
  // of two is exact, so a 16-bit sample times this entry is exactly the
  // sample's float value times w[i].
  const std::vector<double>& sampleWindow() const { return sampleWindow_; }
  // The same entries by part: w[8 p + q] / 32768 at [q * PART_SIZE + p].
  const std::vector<double>& partWindow() const { return partWindow_; }
  // What bin k of pair g's transform Z (parts g and g + 4) adds to bin k of
  // the window: a Z[k] + b conj(Z[1024 - k]), at [g * POWER_BINS + k].
  struct Weights {
    std::vector<double> aRe, aIm, bRe, bIm;
  };
  const Weights& pairWeights() const { return pairWeights_; }

 private:
  fftw_plan_s* plan_ = nullptr;
  std::vector<double> sampleWindow_;
  std::vector<double> partWindow_;
  Weights pairWeights_;
};

// One channel's 8192 frames, sorted into the transform's eight parts, for a
// window that moves by 2048 frames from one spectrum row to the next: three
// quarters of each part are the previous row's, so only the 2048 new frames
// are sorted in.
class SlidingWindow {
 public:
  static constexpr int HOP = 2048;
  // Moves the window to the 8192 frames from `a` (of |a - b| when b is given).
  // A window 2048 frames on from the previous one of the same source slides.
  void moveTo(const std::int16_t* a, const std::int16_t* b = nullptr);
  // Part q (frames q, q + 8, ...) of the window, PART_SIZE entries.
  const float* part(int q) const;

 private:
  static constexpr int PARTS = 8;
  static constexpr int PART_SIZE = 1024;
  static constexpr int NEW_PER_PART = HOP / PARTS;
  static constexpr int CAPACITY = PART_SIZE + 8 * NEW_PER_PART;  // room for eight slides
  void append(const std::int16_t* a, const std::int16_t* b, int frames);

  std::vector<float> planes_ = std::vector<float>(PARTS * CAPACITY);  // whole numbers, exact
  const std::int16_t* lastA_ = nullptr;
  const std::int16_t* lastB_ = nullptr;
  int offset_ = 0;  // where the window starts in each part's plane
  int filled_ = 0;  // entries of each plane in use
};

// The aligned input and output of one worker thread.
class FftWorkspace {
 public:
  explicit FftWorkspace(const FftPlan& plan);

  bool ready() const { return input_ && output_; }

  // Power of bins 0 .. 380 of the windowed transform of samples[0 .. 8191]
  // (16-bit, full scale 32768). Bin 0 holds the 0 Hz and the half-rate power
  // together.
  void powers(const std::int16_t* samples, PowerBins& power);
  // The same for |a[j] - b[j]|.
  void differencePowers(const std::int16_t* a, const std::int16_t* b, PowerBins& power);
  // The same for the frames of a sliding window: identical results, for less work.
  void powers(const SlidingWindow& window, PowerBins& power);
  // Both at once, each as powers(window, power) gives it, for less work.
  void powers(const SlidingWindow& first, const SlidingWindow& second, PowerBins& firstPower,
              PowerBins& secondPower);

 private:
  struct Release {
    void operator()(void* memory) const;
  };
  static constexpr int WINDOWS = 2;  // transformed together at most
  // The powers of N windows; fill(q, in) writes the windowed frames of
  // part q of window n to in[n][0 .. PART_SIZE).
  template <int N, class FillPart>
  void transform(FillPart fill, PowerBins* const* power);
  template <class FillPart>
  void transform(FillPart fill, PowerBins& power) {
    PowerBins* one[1] = {&power};
    transform<1>(fill, one);
  }

  const FftPlan& plan_;
  // Per window, one pair's input and output: real halves, then imaginary halves.
  std::unique_ptr<double, Release> input_;
  std::unique_ptr<double, Release> output_;
};

}  // namespace quavrix
