// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_features.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "analysis/fft_transform.h"

namespace quavrix {

namespace {

// Both channels are mixed and every two frames summed: 22050 Hz keeps what
// beats are heard by (attacks up to 11 kHz, harmony up to 2 kHz). Halving
// once more saves a third of the work but loses the bright attacks that
// soft-edged music is tracked by.
constexpr int DECIMATION = 2;
constexpr double MIX_RATE = 44100.0 / DECIMATION;
constexpr int ONSET_SIZE = 1024 / DECIMATION;   // 23 ms, bins of 43 Hz
constexpr int CHROMA_SIZE = 4096 / DECIMATION;  // 93 ms, bins of 10.8 Hz
constexpr int BASS_BANDS = 4;                   // the first bands are single bins up to 172 Hz
// A band's energy counts in decibel-like steps from about -70 dB of full scale.
constexpr double LOG_GAIN = 100.0;

// Band edges (bins of the 512-point transform): single bins at the bottom,
// then about a third of an octave each, as the ear groups them.
constexpr std::array<int, 31> BAND_EDGES = {1,  2,  3,  4,   5,   6,   7,   8,   9,  10, 12,
                                            14, 16, 18, 21,  24,  28,  32,  37,  43, 50, 58,
                                            67, 78, 90, 104, 120, 139, 161, 187, 256};
constexpr int BANDS = static_cast<int>(BAND_EDGES.size()) - 1;

// One real transform of a fixed size with its own aligned buffers. Planning
// goes through the shared planner lock; execution on the plan's own buffers
// is safe while other threads run their plans.
class RealTransform {
 public:
  explicit RealTransform(int size)
      : size_(size),
        in_(fftw_alloc_real(static_cast<std::size_t>(size))),
        out_(fftw_alloc_complex(static_cast<std::size_t>(size / 2 + 1))),
        window_(static_cast<std::size_t>(size)) {
    for (int i = 0; i < size; ++i)
      window_[static_cast<std::size_t>(i)] =
          0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size);
    if (!in_ || !out_) return;
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftw_plan_dft_r2c_1d(size, in_, out_, FFTW_ESTIMATE);
  }
  ~RealTransform() {
    if (plan_) {
      std::lock_guard<std::mutex> guard(plannerLock());
      fftw_destroy_plan(plan_);
    }
    fftw_free(in_);
    fftw_free(out_);
  }
  RealTransform(const RealTransform&) = delete;
  RealTransform& operator=(const RealTransform&) = delete;

  bool ready() const { return plan_ != nullptr; }

  // Power of bins 0 .. size / 2 of the windowed samples from `first`
  // (zeros past `count`).
  void powers(const float* samples, std::size_t first, std::size_t count,
              std::vector<double>& power) {
    const std::size_t size = static_cast<std::size_t>(size_);
    const std::size_t have = first < count ? std::min(size, count - first) : 0;
    const float* from = samples + first;
    const double* w = window_.data();
    for (std::size_t i = 0; i < have; ++i) in_[i] = from[i] * w[i];
    for (std::size_t i = have; i < size; ++i) in_[i] = 0.0;
    fftw_execute(plan_);
    power.resize(static_cast<std::size_t>(size_ / 2 + 1));
    for (int k = 0; k <= size_ / 2; ++k)
      power[static_cast<std::size_t>(k)] = out_[k][0] * out_[k][0] + out_[k][1] * out_[k][1];
  }

 private:
  int size_;
  double* in_;
  fftw_complex* out_;
  fftw_plan plan_ = nullptr;
  std::vector<double> window_;
};

void onsetCurves(const std::vector<float>& mono, BeatFeatures& out) {
  RealTransform transform(ONSET_SIZE);
  if (!transform.ready()) return;
  const std::size_t hop = ONSET_HOP / DECIMATION;
  const std::size_t count = mono.size() / hop + 1;
  out.onset.assign(count, 0.0f);
  out.bass.assign(count, 0.0f);
  std::vector<double> power;
  std::array<double, BANDS> previous{};
  std::array<double, BANDS> band{};
  for (std::size_t k = 0; k < count; ++k) {
    transform.powers(mono.data(), k * hop, mono.size(), power);
    for (int b = 0; b < BANDS; ++b) {
      double sum = 0.0;
      for (int i = BAND_EDGES[static_cast<std::size_t>(b)];
           i < BAND_EDGES[static_cast<std::size_t>(b) + 1]; ++i)
        sum += power[static_cast<std::size_t>(i)];
      band[static_cast<std::size_t>(b)] = std::log(1.0f + static_cast<float>(LOG_GAIN * sum));
    }
    double all = 0.0;
    double low = 0.0;
    for (int b = 0; b < BANDS; ++b) {
      const double rise = band[static_cast<std::size_t>(b)] - previous[static_cast<std::size_t>(b)];
      if (rise <= 0.0 || k == 0) continue;
      all += rise;
      if (b < BASS_BANDS) low += rise;
    }
    out.onset[k] = static_cast<float>(all);
    out.bass[k] = static_cast<float>(low);
    previous = band;
  }
}

void chromaCurve(const std::vector<float>& mono, BeatFeatures& out) {
  RealTransform transform(CHROMA_SIZE);
  if (!transform.ready()) return;
  // Pitch class of every bin from 150 Hz to 2 kHz; lower bins hold the bass,
  // whose walking lines change pitch on every beat and hide the chords.
  std::vector<int> pitchClass(CHROMA_SIZE / 2 + 1, -1);
  for (int k = 1; k <= CHROMA_SIZE / 2; ++k) {
    const double hz = k * MIX_RATE / CHROMA_SIZE;
    if (hz < 150.0 || hz > 2000.0) continue;
    const int midi = static_cast<int>(std::lround(69.0 + 12.0 * std::log2(hz / 440.0)));
    pitchClass[static_cast<std::size_t>(k)] = midi % 12;
  }
  const std::size_t hop = CHROMA_HOP / DECIMATION;
  const std::size_t count = mono.size() / hop + 1;
  out.chroma.assign(count, Chroma{});
  std::vector<double> power;
  for (std::size_t k = 0; k < count; ++k) {
    transform.powers(mono.data(), k * hop, mono.size(), power);
    Chroma& c = out.chroma[k];
    for (std::size_t i = 0; i < pitchClass.size(); ++i)
      if (pitchClass[i] >= 0)
        c[static_cast<std::size_t>(pitchClass[i])] += static_cast<float>(std::sqrt(power[i]));
  }
}

}  // namespace

BeatFeatures computeBeatFeatures(const std::int16_t* left, const std::int16_t* right,
                                 std::size_t frames) {
  BeatFeatures out;
  const std::size_t count = frames / DECIMATION;
  // Every entry is written below: no zero-filling first.
  std::vector<float> mono;
  mono.reserve(count);
  constexpr float SCALE = 1.0f / (2.0f * DECIMATION * 32768.0f);
  for (std::size_t i = 0; i < count; ++i) {
    int sum = 0;
    for (std::size_t k = DECIMATION * i; k < DECIMATION * (i + 1); ++k) sum += left[k] + right[k];
    mono.push_back(static_cast<float>(sum) * SCALE);
  }
  onsetCurves(mono, out);
  chromaCurve(mono, out);
  return out;
}

}  // namespace quavrix
