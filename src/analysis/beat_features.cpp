// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_features.h"

#include <fftw3.h>

#include <algorithm>
#include <bit>
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

// Two real frames through one complex transform of a fixed size, in single
// precision: the first frame as the real input, the second as the imaginary
// one. Their spectra come apart by symmetry, A[k] = (Z[k] + conj Z[N - k]) / 2
// and B[k] = (Z[k] - conj Z[N - k]) / 2i, and a complex transform costs about
// a third of the two real ones. Real and imaginary parts lie in arrays of
// their own, so that every step runs over plain arrays. Planning goes through
// the shared planner lock; execution on the plan's own buffers is safe while
// other threads run their plans.
class PairTransform {
 public:
  explicit PairTransform(int size)
      : size_(size),
        in_(fftwf_alloc_real(2 * static_cast<std::size_t>(size))),
        out_(fftwf_alloc_real(2 * static_cast<std::size_t>(size))),
        window_(static_cast<std::size_t>(size)) {
    for (int i = 0; i < size; ++i)
      window_[static_cast<std::size_t>(i)] =
          static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size));
    if (!in_ || !out_) return;
    fftwf_iodim dim{size, 1, 1};
    std::lock_guard<std::mutex> guard(plannerLock());
    plan_ = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, in_, in_ + size, out_, out_ + size,
                                      FFTW_ESTIMATE);
  }
  ~PairTransform() {
    if (plan_) {
      std::lock_guard<std::mutex> guard(plannerLock());
      fftwf_destroy_plan(plan_);
    }
    fftwf_free(in_);
    fftwf_free(out_);
  }
  PairTransform(const PairTransform&) = delete;
  PairTransform& operator=(const PairTransform&) = delete;

  bool ready() const { return plan_ != nullptr; }

  // Powers of bins 0 .. size / 2 of the windowed samples from `first` and
  // from `second` (zeros past `count`; no second frame when `second` is
  // past it).
  void powers(const float* samples, std::size_t first, std::size_t second, std::size_t count,
              std::vector<float>& power, std::vector<float>& secondPower) {
    const std::size_t size = static_cast<std::size_t>(size_);
    const auto fill = [&](std::size_t from, float* __restrict in) {
      const std::size_t have = from < count ? std::min(size, count - from) : 0;
      const float* __restrict x = samples + from;
      const float* __restrict w = window_.data();
      for (std::size_t i = 0; i < have; ++i) in[i] = x[i] * w[i];
      for (std::size_t i = have; i < size; ++i) in[i] = 0.0f;
    };
    fill(first, in_);
    fill(second, in_ + size);
    fftwf_execute(plan_);
    const std::size_t half = size / 2;
    power.resize(half + 1);
    secondPower.resize(half + 1);
    const float* __restrict re = out_;
    const float* __restrict im = out_ + size;
    float* __restrict a = power.data();
    float* __restrict b = secondPower.data();
    // Bins 0 and size / 2 are their own mirrors.
    for (const std::size_t k : {std::size_t{0}, half}) {
      a[k] = re[k] * re[k];
      b[k] = im[k] * im[k];
    }
    // |A|^2 = (|Z[k]|^2 + |Z[m]|^2) / 4 + Re(Z[k] Z[m]) / 2, |B|^2 the same
    // with the second term taken away, m = size - k.
    for (std::size_t k = 1; k < half; ++k) {
      const std::size_t m = size - k;
      const float both = 0.25f * (re[k] * re[k] + im[k] * im[k] + re[m] * re[m] + im[m] * im[m]);
      const float cross = 0.5f * (re[k] * re[m] - im[k] * im[m]);
      a[k] = both + cross;
      b[k] = both - cross;
    }
  }

 private:
  int size_;
  float* in_;
  float* out_;
  fftwf_plan plan_ = nullptr;
  std::vector<float> window_;
};

// ln(x) for x >= 1 to within 3e-5: the exponent, and a polynomial for the
// mantissa's logarithm. The curves are differences of these, far coarser.
float quickLog(float x) {
  const auto bits = std::bit_cast<std::uint32_t>(x);
  const int exponent = static_cast<int>(bits >> 23) - 127;
  // The mantissa in [1, 2), and log2 of it by a least-squares quintic.
  const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u) - 1.0f;
  const float log2m =
      m * (1.44183f + m * (-0.708682f + m * (0.415422f + m * (-0.194423f + m * 0.0458855f))));
  return (static_cast<float>(exponent) + log2m) * 0.69314718f;
}

// The onset transform and what one onset value needs of the one before.
struct OnsetState {
  PairTransform transform{ONSET_SIZE};
  std::vector<float> power;
  std::vector<float> nextPower;
  std::array<float, BANDS> previous{};
};

// Onset value k from the powers of its frame.
void onsetValue(OnsetState& state, const std::vector<float>& powers, std::size_t k,
                BeatFeatures& out) {
  const float* power = powers.data();
  std::array<float, BANDS> band{};
  for (int b = 0; b < BANDS; ++b) {
    // Four running sums, so that the adds of a wide band overlap.
    std::array<float, 4> part{};
    int i = BAND_EDGES[static_cast<std::size_t>(b)];
    const int end = BAND_EDGES[static_cast<std::size_t>(b) + 1];
    for (; i + 4 <= end; i += 4)
      for (int j = 0; j < 4; ++j) part[static_cast<std::size_t>(j)] += power[i + j];
    for (; i < end; ++i) part[0] += power[i];
    band[static_cast<std::size_t>(b)] = (part[0] + part[1]) + (part[2] + part[3]);
  }
  // The logarithms apart, where they run several bands at a time.
  for (float& v : band) v = quickLog(1.0f + static_cast<float>(LOG_GAIN) * v);
  float all = 0.0f;
  float low = 0.0f;
  if (k > 0) {
    for (int b = 0; b < BANDS; ++b) {
      const float rise = std::max(
          0.0f, band[static_cast<std::size_t>(b)] - state.previous[static_cast<std::size_t>(b)]);
      all += rise;
      if (b < BASS_BANDS) low += rise;
    }
  }
  out.onset[k] = all;
  out.bass[k] = low;
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
  PairTransform transform{CHROMA_SIZE};
  std::vector<int> pitchClass;
  std::vector<float> power;
  std::vector<float> nextPower;
};

// Chroma value k from the powers of its frame.
void chromaValue(const ChromaState& state, const std::vector<float>& power, std::size_t k,
                 BeatFeatures& out) {
  Chroma& c = out.chroma[k];
  for (std::size_t i = 0; i < state.pitchClass.size(); ++i)
    if (state.pitchClass[i] >= 0)
      c[static_cast<std::size_t>(state.pitchClass[i])] += std::sqrt(power[i]);
}

// Mixes `outputs` samples from frame `frame` on: both channels, every
// DECIMATION frames summed.
void mixInto(const std::int16_t* left, const std::int16_t* right, std::size_t frame,
             std::size_t outputs, float* to) {
  static_assert(DECIMATION == 2);
  constexpr float SCALE = 1.0f / (2.0f * DECIMATION * 32768.0f);
  const std::int16_t* l = left + frame;
  const std::int16_t* r = right + frame;
  for (std::size_t i = 0; i < outputs; ++i) {
    const int sum = (int{l[2 * i]} + int{l[2 * i + 1]}) + (int{r[2 * i]} + int{r[2 * i + 1]});
    to[i] = static_cast<float>(sum) * SCALE;
  }
}

}  // namespace

struct BeatFeatureStream::State {
  const std::int16_t* left;
  const std::int16_t* right;
  std::size_t count;  // mixed samples of the whole recording
  std::size_t onsets;
  std::size_t chromas;
  OnsetState onset;
  ChromaState chroma;
  BeatFeatures out;
  // The mix from mixed sample `mixedBase` on, up to `mixedEnd`, and the
  // halved mix from `halvedBase` on: only what frames not yet worked out read.
  std::vector<float> mixed;
  std::size_t mixedBase = 0;
  std::size_t mixedEnd = 0;
  std::vector<float> halved;
  std::size_t halvedBase = 0;
  std::size_t nextOnset = 0;
  std::size_t nextChroma = 0;

  static constexpr std::size_t ONSET_STEP = ONSET_HOP / DECIMATION;  // mixed samples
  static constexpr std::size_t CHROMA_STEP = CHROMA_HOP / CHROMA_DECIMATION;  // halved samples

  // Works out the values whose windows lie within what has been mixed, all of
  // them once the mix is complete (windows past the end read zeros). Two
  // frames go through a transform together; a lone frame is paired with zeros.
  void workOut() {
    const bool complete = mixedEnd == count;
    const std::size_t have = mixedEnd - mixedBase;
    const auto onsetReady = [&](std::size_t k) {
      return k < onsets && (complete || k * ONSET_STEP + ONSET_SIZE <= mixedEnd);
    };
    for (std::size_t k = nextOnset; onsetReady(k); k += 2) {
      const bool pair = onsetReady(k + 1);
      onset.transform.powers(mixed.data(), k * ONSET_STEP - mixedBase,
                             pair ? (k + 1) * ONSET_STEP - mixedBase : have, have, onset.power,
                             onset.nextPower);
      onsetValue(onset, onset.power, k, out);
      if (pair) onsetValue(onset, onset.nextPower, k + 1, out);
      nextOnset = k + (pair ? 2 : 1);
    }
    const std::size_t halvedEnd = halvedBase + halved.size();
    const std::size_t halves = halved.size();
    const auto chromaReady = [&](std::size_t k) {
      return k < chromas && (complete || k * CHROMA_STEP + CHROMA_SIZE <= halvedEnd);
    };
    for (std::size_t k = nextChroma; chromaReady(k); k += 2) {
      const bool pair = chromaReady(k + 1);
      chroma.transform.powers(halved.data(), k * CHROMA_STEP - halvedBase,
                              pair ? (k + 1) * CHROMA_STEP - halvedBase : halves, halves,
                              chroma.power, chroma.nextPower);
      chromaValue(chroma, chroma.power, k, out);
      if (pair) chromaValue(chroma, chroma.nextPower, k + 1, out);
      nextChroma = k + (pair ? 2 : 1);
    }
    // Keep what the next windows start at; a halved sample is made of two
    // mixed ones, so an odd one out stays in the mix.
    const std::size_t keepMixed = std::min({nextOnset * ONSET_STEP, 2 * halvedEnd, mixedEnd});
    mixed.erase(mixed.begin(), mixed.begin() + static_cast<long>(keepMixed - mixedBase));
    mixedBase = keepMixed;
    const std::size_t keepHalved = std::min(nextChroma * CHROMA_STEP, halvedEnd);
    halved.erase(halved.begin(), halved.begin() + static_cast<long>(keepHalved - halvedBase));
    halvedBase = keepHalved;
  }

  // Mixes up to mixed sample `end` and works out what that allows.
  void mixTo(std::size_t end) {
    if (end <= mixedEnd) return;
    const std::size_t have = mixed.size();
    mixed.resize(have + (end - mixedEnd));
    mixInto(left, right, mixedEnd * DECIMATION, end - mixedEnd, mixed.data() + have);
    mixedEnd = end;
    const std::size_t halvedEnd = halvedBase + halved.size();
    const std::size_t newHalvedEnd = mixedEnd / 2;
    if (newHalvedEnd > halvedEnd) {
      const std::size_t had = halved.size();
      halved.resize(had + (newHalvedEnd - halvedEnd));
      const float* __restrict pairs = mixed.data() + (2 * halvedEnd - mixedBase);
      float* __restrict to = halved.data() + had;
      for (std::size_t j = 0; j < newHalvedEnd - halvedEnd; ++j)
        to[j] = 0.5f * (pairs[2 * j] + pairs[2 * j + 1]);
    }
    workOut();
  }
};

BeatFeatureStream::BeatFeatureStream(const std::int16_t* left, const std::int16_t* right,
                                     std::size_t frames)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.left = left;
  s.right = right;
  s.count = frames / DECIMATION;
  s.onsets = s.count / State::ONSET_STEP + 1;
  s.chromas = s.count / 2 / State::CHROMA_STEP + 1;
  if (!s.onset.transform.ready() || !s.chroma.transform.ready()) {
    s.count = 0;
    s.onsets = 0;
    s.chromas = 0;
    return;
  }
  s.out.onset.assign(s.onsets, 0.0f);
  s.out.bass.assign(s.onsets, 0.0f);
  s.out.chroma.assign(s.chromas, Chroma{});
}

BeatFeatureStream::~BeatFeatureStream() = default;

void BeatFeatureStream::readTo(std::size_t frame) {
  State& s = *state_;
  // A run at a time, so that the mix stays in the nearest cache.
  constexpr std::size_t RUN = 1 << 14;  // mixed samples
  const std::size_t end = std::min(s.count, frame / DECIMATION);
  while (s.mixedEnd < end) s.mixTo(std::min(end, s.mixedEnd + RUN));
}

BeatFeatures BeatFeatureStream::finish() {
  State& s = *state_;
  readTo(s.count * DECIMATION);
  s.workOut();  // the last windows, which reach past the end
  return std::move(s.out);
}

BeatFeatures computeBeatFeatures(const std::int16_t* left, const std::int16_t* right,
                                 std::size_t frames) {
  BeatFeatureStream stream(left, right, frames);
  return stream.finish();
}

}  // namespace quavrix
