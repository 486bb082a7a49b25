// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_features.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
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
constexpr int ONSET_SIZE = 1024 / DECIMATION;  // 23 ms, bins of 43 Hz
// The harmony, up to 2 kHz, is read from the mix halved once more (pairs
// summed: what folds down from above 5.5 kHz is weak and far from the
// pitches read).
constexpr int CHROMA_DECIMATION = 2 * DECIMATION;
constexpr double CHROMA_RATE = 44100.0 / CHROMA_DECIMATION;
constexpr int CHROMA_SIZE = 4096 / CHROMA_DECIMATION;  // 93 ms, bins of 10.8 Hz
constexpr int BASS_BANDS = 4;  // the first bands are single bins up to 172 Hz
// A band's energy counts in decibel-like steps from about -70 dB of full scale.
constexpr double LOG_GAIN = 100.0;

// Band edges (bins of the 512-point transform): single bins at the bottom,
// then about a third of an octave each, as the ear groups them.
constexpr std::array<int, 31> BAND_EDGES = {1,  2,  3,  4,   5,   6,   7,   8,   9,  10, 12,
                                            14, 16, 18, 21,  24,  28,  32,  37,  43, 50, 58,
                                            67, 78, 90, 104, 120, 139, 161, 187, 256};
constexpr int BANDS = static_cast<int>(BAND_EDGES.size()) - 1;

// One real transform of a fixed size with its own aligned buffers, in single
// precision: the curves are sums of band energies read in decibel-like steps. Planning
// goes through the shared planner lock; execution on the plan's own buffers
// is safe while other threads run their plans.
class RealTransform {
 public:
  explicit RealTransform(int size)
      : size_(size),
        in_(fftwf_alloc_real(static_cast<std::size_t>(size))),
        out_(fftwf_alloc_complex(static_cast<std::size_t>(size / 2 + 1))),
        window_(static_cast<std::size_t>(size)) {
    for (int i = 0; i < size; ++i)
      window_[static_cast<std::size_t>(i)] =
          static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size));
    if (!in_ || !out_) return;
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftwf_plan_dft_r2c_1d(size, in_, out_, FFTW_ESTIMATE);
  }
  ~RealTransform() {
    if (plan_) {
      std::lock_guard<std::mutex> guard(plannerLock());
      fftwf_destroy_plan(plan_);
    }
    fftwf_free(in_);
    fftwf_free(out_);
  }
  RealTransform(const RealTransform&) = delete;
  RealTransform& operator=(const RealTransform&) = delete;

  bool ready() const { return plan_ != nullptr; }

  // Power of bins 0 .. size / 2 of the windowed samples from `first`
  // (zeros past `count`).
  void powers(const float* samples, std::size_t first, std::size_t count,
              std::vector<float>& power) {
    const std::size_t size = static_cast<std::size_t>(size_);
    const std::size_t have = first < count ? std::min(size, count - first) : 0;
    const float* from = samples + first;
    const float* w = window_.data();
    float* in = in_;
    for (std::size_t i = 0; i < have; ++i) in[i] = from[i] * w[i];
    for (std::size_t i = have; i < size; ++i) in[i] = 0.0f;
    fftwf_execute(plan_);
    power.resize(static_cast<std::size_t>(size_ / 2 + 1));
    const fftwf_complex* out = out_;
    float* p = power.data();
    for (int k = 0; k <= size_ / 2; ++k) p[k] = out[k][0] * out[k][0] + out[k][1] * out[k][1];
  }

 private:
  int size_;
  float* in_;
  fftwf_complex* out_;
  fftwf_plan plan_ = nullptr;
  std::vector<float> window_;
};

// The onset transform and what one onset value needs of the one before.
struct OnsetState {
  RealTransform transform{ONSET_SIZE};
  std::vector<float> power;
  std::array<double, BANDS> previous{};
};

// Onset value k from the mixed samples `mono[first ..]` (zeros past `size`).
void onsetValue(OnsetState& state, const float* mono, std::size_t first, std::size_t size,
                std::size_t k, BeatFeatures& out) {
  state.transform.powers(mono, first, size, state.power);
  const float* power = state.power.data();
  std::array<double, BANDS> band{};
  for (int b = 0; b < BANDS; ++b) {
    // Four running sums, so that the adds of a wide band overlap.
    std::array<float, 4> part{};
    int i = BAND_EDGES[static_cast<std::size_t>(b)];
    const int end = BAND_EDGES[static_cast<std::size_t>(b) + 1];
    for (; i + 4 <= end; i += 4)
      for (int j = 0; j < 4; ++j) part[static_cast<std::size_t>(j)] += power[i + j];
    for (; i < end; ++i) part[0] += power[i];
    const double sum = (part[0] + part[1]) + (part[2] + part[3]);
    band[static_cast<std::size_t>(b)] = std::log(1.0f + static_cast<float>(LOG_GAIN * sum));
  }
  double all = 0.0;
  double low = 0.0;
  for (int b = 0; b < BANDS; ++b) {
    const double rise =
        band[static_cast<std::size_t>(b)] - state.previous[static_cast<std::size_t>(b)];
    if (rise <= 0.0 || k == 0) continue;
    all += rise;
    if (b < BASS_BANDS) low += rise;
  }
  out.onset[k] = static_cast<float>(all);
  out.bass[k] = static_cast<float>(low);
  state.previous = band;
}

// The chroma transform and the pitch class of each of its bins.
struct ChromaState {
  ChromaState() : pitchClass(CHROMA_SIZE / 2 + 1, -1) {
    // Pitch class of every bin from 150 Hz to 2 kHz; lower bins hold the bass,
    // whose walking lines change pitch on every beat and hide the chords.
    for (int k = 1; k <= CHROMA_SIZE / 2; ++k) {
      const double hz = k * CHROMA_RATE / CHROMA_SIZE;
      if (hz < 150.0 || hz > 2000.0) continue;
      const int midi = static_cast<int>(std::lround(69.0 + 12.0 * std::log2(hz / 440.0)));
      pitchClass[static_cast<std::size_t>(k)] = midi % 12;
    }
  }
  RealTransform transform{CHROMA_SIZE};
  std::vector<int> pitchClass;
  std::vector<float> power;
};

// Chroma value k from the halved mix `mono[first ..]` (zeros past `size`).
void chromaValue(ChromaState& state, const float* mono, std::size_t first, std::size_t size,
                 std::size_t k, BeatFeatures& out) {
  state.transform.powers(mono, first, size, state.power);
  Chroma& c = out.chroma[k];
  for (std::size_t i = 0; i < state.pitchClass.size(); ++i)
    if (state.pitchClass[i] >= 0)
      c[static_cast<std::size_t>(state.pitchClass[i])] += std::sqrt(state.power[i]);
}

// Mixes `outputs` samples from frame `frame` on: both channels, every
// DECIMATION frames summed. Plain loops over runs of frames, which the
// compiler runs several frames at a time.
void mixInto(const std::int16_t* left, const std::int16_t* right, std::size_t frame,
             std::size_t outputs, float* to) {
  constexpr float SCALE = 1.0f / (2.0f * DECIMATION * 32768.0f);
  constexpr std::size_t RUN = 4096;
  std::array<std::int32_t, RUN> both;
  for (std::size_t done = 0; done < outputs; done += RUN / DECIMATION) {
    const std::size_t n = std::min(RUN / DECIMATION, outputs - done);
    const std::size_t from = frame + done * DECIMATION;
    for (std::size_t k = 0; k < n * DECIMATION; ++k)
      both[k] = std::int32_t{left[from + k]} + std::int32_t{right[from + k]};
    for (std::size_t i = 0; i < n; ++i) {
      std::int32_t sum = 0;
      for (std::size_t k = 0; k < DECIMATION; ++k) sum += both[DECIMATION * i + k];
      to[done + i] = static_cast<float>(sum) * SCALE;
    }
  }
}

}  // namespace

BeatFeatures computeBeatFeatures(const std::int16_t* left, const std::int16_t* right,
                                 std::size_t frames) {
  BeatFeatures out;
  OnsetState onset;
  ChromaState chroma;
  if (!onset.transform.ready() || !chroma.transform.ready()) return out;
  const std::size_t count = frames / DECIMATION;  // mixed samples
  const std::size_t onsetHop = ONSET_HOP / DECIMATION;
  const std::size_t chromaHop = CHROMA_HOP / CHROMA_DECIMATION;
  const std::size_t onsets = count / onsetHop + 1;
  const std::size_t chromas = count / 2 / chromaHop + 1;
  out.onset.assign(onsets, 0.0f);
  out.bass.assign(onsets, 0.0f);
  out.chroma.assign(chromas, Chroma{});

  // The mix is made a run at a time, each run with enough after it for the
  // windows that start in it: it stays in the nearest cache and never takes
  // memory of the recording's size. Windows past the end read zeros, and
  // values whose windows start at the very end stay 0.
  constexpr std::size_t RUN = 1 << 15;
  constexpr auto REACH = static_cast<std::size_t>(std::max(ONSET_SIZE, 2 * CHROMA_SIZE));
  static_assert(RUN % (ONSET_HOP / DECIMATION) == 0 && RUN % (CHROMA_HOP / DECIMATION) == 0);
  std::vector<float> mixed(RUN + REACH);
  std::vector<float> halved((RUN + REACH) / 2);
  for (std::size_t start = 0; start < count; start += RUN) {
    const std::size_t have = std::min(count, start + RUN + REACH) - start;
    mixInto(left, right, start * DECIMATION, have, mixed.data());
    for (std::size_t k = start / onsetHop; k * onsetHop < start + RUN && k < onsets; ++k)
      onsetValue(onset, mixed.data(), k * onsetHop - start, have, k, out);
    const std::size_t halves = have / 2;
    for (std::size_t i = 0; i < halves; ++i) halved[i] = 0.5f * (mixed[2 * i] + mixed[2 * i + 1]);
    for (std::size_t k = start / 2 / chromaHop; k * chromaHop < (start + RUN) / 2 && k < chromas;
         ++k)
      chromaValue(chroma, halved.data(), k * chromaHop - start / 2, halves, k, out);
  }
  return out;
}

}  // namespace quavrix
