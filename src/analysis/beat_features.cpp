// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_features.h"

#include <fftw3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/fft_transform.h"

namespace quavrix {

namespace {

// The loops around the transforms, also built for AVX2 where the processor
// has it. Products and sums are rounded one by one either way (no fused
// multiply-add), so both give the same bits. Not under ThreadSanitizer: the
// clones' resolvers run while the program is being loaded, before the
// sanitizer's runtime is ready.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define QUAVRIX_BEAT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUAVRIX_BEAT_CLONES
#endif

// `size` windowed samples from `x` into `in`, zeros past the first `have`.
QUAVRIX_BEAT_CLONES void windowed(const float* __restrict x, const float* __restrict w,
                                  float* __restrict in, std::size_t have, std::size_t size) {
  for (std::size_t i = 0; i < have; ++i) in[i] = x[i] * w[i];
  for (std::size_t i = have; i < size; ++i) in[i] = 0.0f;
}

// The powers of bins 1 .. size / 2 - 1 of the two real frames whose spectra
// were taken together as the real and imaginary parts of `re`, `im`:
// |A|^2 = (|Z[k]|^2 + |Z[m]|^2) / 4 + Re(Z[k] Z[m]) / 2, |B|^2 the same with
// the second term taken away, m = size - k.
QUAVRIX_BEAT_CLONES void splitPowers(const float* __restrict re, const float* __restrict im,
                                     float* __restrict a, float* __restrict b, std::size_t size) {
  for (std::size_t k = 1; k < size / 2; ++k) {
    const std::size_t m = size - k;
    const float both = 0.25f * (re[k] * re[k] + im[k] * im[k] + re[m] * re[m] + im[m] * im[m]);
    const float cross = 0.5f * (re[k] * re[m] - im[k] * im[m]);
    a[k] = both + cross;
    b[k] = both - cross;
  }
}

// Both channels are mixed and every four frames summed: 11025 Hz keeps most
// of what beats are heard by (attacks up to 5.5 kHz, harmony up to 2 kHz).
// What lies above is kept as one band of its own, read from what the two
// halves of each four frames differ by: soft-edged music is tracked by the
// bright edges of its attacks.
constexpr int DECIMATION = 4;
constexpr int ONSET_SIZE = 1024 / DECIMATION;  // 23 ms, bins of 43 Hz
// The harmony, up to 2 kHz, is read from the mix halved once more (pairs
// summed: what folds down from above 2.8 kHz is weak and far from the
// pitches read).
constexpr int CHROMA_DECIMATION = 2 * DECIMATION;
constexpr double CHROMA_RATE = 44100.0 / CHROMA_DECIMATION;
constexpr int CHROMA_SIZE = 4096 / CHROMA_DECIMATION;  // 93 ms, bins of 10.8 Hz
constexpr int BASS_BANDS = 4;  // the first bands are single bins up to 172 Hz
// A band's energy counts in decibel-like steps from about -70 dB of full scale.
constexpr double LOG_GAIN = 100.0;

// Band edges (bins of the 256-point transform): single bins at the bottom,
// then about a third of an octave each, as the ear groups them.
constexpr std::array<int, 28> BAND_EDGES = {1,  2,  3,  4,  5,  6,   7,   8,  9,  10,
                                            12, 14, 16, 18, 21, 24,  28,  32, 37, 43,
                                            50, 58, 67, 78, 90, 104, 120, 128};
constexpr int SPECTRUM_BANDS = static_cast<int>(BAND_EDGES.size()) - 1;
// Above 5.5 kHz one more band: the bright edge of soft attacks (a piano's
// hammer, a brush).
constexpr int BANDS = SPECTRUM_BANDS + 1;
// That band stands for the four that thirds of an octave would split it
// into; its rise counts three times.
constexpr float HIGH_WEIGHT = 3.0f;

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
  const std::vector<float>& window() const { return window_; }

  // Powers of bins 0 .. size / 2 of the windowed samples from `first` and
  // from `second` (zeros past `count`; no second frame when `second` is
  // past it).
  void powers(const float* samples, std::size_t first, std::size_t second, std::size_t count,
              std::vector<float>& power, std::vector<float>& secondPower) {
    const std::size_t size = static_cast<std::size_t>(size_);
    const auto fill = [&](std::size_t from, float* in) {
      const std::size_t have = from < count ? std::min(size, count - from) : 0;
      windowed(samples + from, window_.data(), in, have, size);
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
    splitPowers(re, im, a, b, size);
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
  std::array<float, 2 * BANDS> bands{};
  std::array<float, BANDS> previous{};
};

// The log band energies of two frames at once, from their powers and their
// energies above 5.5 kHz: the second frame's adds and logarithms run beside
// the first's. The first frame's bands go to `bands[0 .. BANDS)`, the
// second's after them.
QUAVRIX_BEAT_CLONES void logBands(const float* __restrict first, const float* __restrict second,
                                  float firstHigh, float secondHigh,
                                  std::array<float, 2 * BANDS>& bands) {
  for (int b = 0; b < SPECTRUM_BANDS; ++b) {
    // Two running sums each, so that the adds of a wide band overlap.
    float a0 = 0.0f, a1 = 0.0f, b0 = 0.0f, b1 = 0.0f;
    int i = BAND_EDGES[static_cast<std::size_t>(b)];
    const int end = BAND_EDGES[static_cast<std::size_t>(b) + 1];
    for (; i + 2 <= end; i += 2) {
      a0 += first[i];
      a1 += first[i + 1];
      b0 += second[i];
      b1 += second[i + 1];
    }
    if (i < end) {
      a0 += first[i];
      b0 += second[i];
    }
    bands[static_cast<std::size_t>(b)] = a0 + a1;
    bands[static_cast<std::size_t>(BANDS + b)] = b0 + b1;
  }
  bands[SPECTRUM_BANDS] = firstHigh;
  bands[BANDS + SPECTRUM_BANDS] = secondHigh;
  // The logarithms apart, where they run several bands at a time.
  for (float& v : bands) v = quickLog(1.0f + static_cast<float>(LOG_GAIN) * v);
}

// Onset value k from the log band energies of its frame.
void onsetValue(OnsetState& state, const float* band, std::size_t k, BeatFeatures& out) {
  std::array<float, BANDS> rise{};
  if (k > 0)
    for (std::size_t b = 0; b < BANDS; ++b) rise[b] = std::max(0.0f, band[b] - state.previous[b]);
  // Four running sums, so that the adds overlap.
  std::array<float, 4> part{};
  for (std::size_t b = 0; b < SPECTRUM_BANDS; ++b) part[b % 4] += rise[b];
  static_assert(BASS_BANDS == 4);
  out.onset[k] = (part[0] + part[1]) + (part[2] + part[3]) + HIGH_WEIGHT * rise[SPECTRUM_BANDS];
  out.bass[k] = (rise[0] + rise[1]) + (rise[2] + rise[3]);
  std::copy(band, band + BANDS, state.previous.begin());
}

// The energy above 5.5 kHz of the window from `first` of the upper parts
// (zeros past `count`), on the scale of the transform's powers.
QUAVRIX_BEAT_CLONES float highEnergy(const std::vector<float>& window, const float* upper,
                                     std::size_t first, std::size_t count) {
  const std::size_t size = window.size();
  const std::size_t have = first < count ? std::min(size, count - first) : 0;
  const float* __restrict x = upper + first;
  const float* __restrict w = window.data();
  // Eight running sums, so that the adds run several at a time.
  std::array<float, 8> part{};
  std::size_t i = 0;
  for (; i + 8 <= have; i += 8)
    for (std::size_t j = 0; j < 8; ++j) {
      const float v = w[i + j] * x[i + j];
      part[j] += v * v;
    }
  for (; i < have; ++i) part[0] += (w[i] * x[i]) * (w[i] * x[i]);
  float sum = 0.0f;
  for (float v : part) sum += v;
  // Each upper part is the difference of the two halves summed into one
  // mixed sample: a one-sided spectrum of the twice as long window holds
  // half its size times this sum.
  return 0.5f * static_cast<float>(size) * sum;
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
// Mixes `outputs` samples from frame `frame` on: both channels, every
// DECIMATION frames summed into `to`, and what the two halves of those frames
// differ by into `upper` (the content above 5.5 kHz, at full scale 1).
void mixInto(const std::int16_t* left, const std::int16_t* right, std::size_t frame,
             std::size_t outputs, float* __restrict to, float* __restrict upper) {
  static_assert(DECIMATION == 4);
  constexpr float SCALE = 1.0f / (2.0f * DECIMATION * 32768.0f);
  const std::int16_t* l = left + frame;
  const std::int16_t* r = right + frame;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Four outputs from sixteen frames: neighbouring samples summed in pairs
  // by a multiply-add, both channels added, the pairs of each output's two
  // halves split apart. The sums are whole numbers well inside a float's
  // mantissa, so the results are exactly those of the plain loop below.
  const __m128i ones = _mm_set1_epi16(1);
  const __m128 scale = _mm_set1_ps(SCALE);
  const __m128 upperScale = _mm_set1_ps(2.0f * SCALE);
  for (; i + 4 <= outputs; i += 4) {
    const auto pairs = [&](std::size_t at) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(l + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + at));
      return _mm_cvtepi32_ps(_mm_add_epi32(_mm_madd_epi16(a, ones), _mm_madd_epi16(b, ones)));
    };
    const __m128 low = pairs(4 * i);
    const __m128 high = pairs(4 * i + 8);
    const __m128 firsts = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 seconds = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(to + i, _mm_mul_ps(_mm_add_ps(firsts, seconds), scale));
    _mm_storeu_ps(upper + i, _mm_mul_ps(_mm_sub_ps(firsts, seconds), upperScale));
  }
#endif
  for (; i < outputs; ++i) {
    const int first = (int{l[4 * i]} + int{l[4 * i + 1]}) + (int{r[4 * i]} + int{r[4 * i + 1]});
    const int second =
        (int{l[4 * i + 2]} + int{l[4 * i + 3]}) + (int{r[4 * i + 2]} + int{r[4 * i + 3]});
    to[i] = static_cast<float>(first + second) * SCALE;
    upper[i] = static_cast<float>(first - second) * (2.0f * SCALE);
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
  std::vector<float> upper;  // beside `mixed`
  std::size_t mixedBase = 0;
  std::size_t mixedEnd = 0;
  std::vector<float> halved;
  std::size_t halvedBase = 0;
  std::size_t nextOnset = 0;
  std::size_t nextChroma = 0;

  static constexpr std::size_t ONSET_STEP = ONSET_HOP / DECIMATION;           // mixed samples
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
      const auto high = [&](std::size_t frame) {
        return highEnergy(onset.transform.window(), upper.data(), frame * ONSET_STEP - mixedBase,
                          have);
      };
      logBands(onset.power.data(), onset.nextPower.data(), high(k), pair ? high(k + 1) : 0.0f,
               onset.bands);
      onsetValue(onset, onset.bands.data(), k, out);
      if (pair) onsetValue(onset, onset.bands.data() + BANDS, k + 1, out);
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
    // Keep what the next windows start at (a halved sample is made of two
    // mixed ones, so an odd one out stays in the mix), dropping the rest
    // once there is enough of it to be worth moving what is kept.
    constexpr std::size_t DROP = 1 << 13;
    const std::size_t keepMixed = std::min({nextOnset * ONSET_STEP, 2 * halvedEnd, mixedEnd});
    if (keepMixed - mixedBase >= DROP) {
      mixed.erase(mixed.begin(), mixed.begin() + static_cast<long>(keepMixed - mixedBase));
      upper.erase(upper.begin(), upper.begin() + static_cast<long>(keepMixed - mixedBase));
      mixedBase = keepMixed;
    }
    const std::size_t keepHalved = std::min(nextChroma * CHROMA_STEP, halvedEnd);
    if (keepHalved - halvedBase >= DROP) {
      halved.erase(halved.begin(), halved.begin() + static_cast<long>(keepHalved - halvedBase));
      halvedBase = keepHalved;
    }
  }

  // Mixes up to mixed sample `end` and works out what that allows.
  void mixTo(std::size_t end) {
    if (end <= mixedEnd) return;
    const std::size_t have = mixed.size();
    mixed.resize(have + (end - mixedEnd));
    upper.resize(mixed.size());
    mixInto(left, right, mixedEnd * DECIMATION, end - mixedEnd, mixed.data() + have,
            upper.data() + have);
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
