// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a five-minute recording: the WAV read with its spectrogram, then onset
// detection. Reported per minute of audio; the spectrum alone is timed apart
// so that its share of the open can be read off.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <sndfile.h>
#include <unistd.h>

#include "analysis/frequency_peaks.h"
#include "analysis/onsets.h"
#include "analysis/recording.h"
#include "analysis/wav_reader.h"

namespace {

constexpr int RATE = 44100;
constexpr int MINUTES = 5;
constexpr int FRAMES = MINUTES * 60 * RATE;

// A band at 112 BPM: a kick and a hi-hat, a bass note per beat, a three-note
// chord per bar and a melody on the off-beats, each a decaying tone with
// harmonics, panned apart, over a little noise.
void synthesise(std::vector<float>& left, std::vector<float>& right) {
  left.assign(FRAMES, 0.0f);
  right.assign(FRAMES, 0.0f);
  const double beat = 60.0 / 112.0;
  const int roots[] = {45, 41, 48, 43};            // A, F, C, G
  const int melody[] = {0, 4, 7, 12, 7, 4, 2, 5};  // semitones above the root + 12
  auto hz = [](int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); };
  auto tone = [&](double start, double freq, double seconds, double amplitude, double pan) {
    const auto first = static_cast<std::size_t>(start * RATE);
    const auto length = static_cast<std::size_t>(seconds * RATE);
    const double step = 2.0 * std::numbers::pi * freq / RATE;
    for (std::size_t i = 0; i < length && first + i < left.size(); ++i) {
      const double t = static_cast<double>(i) / RATE;
      const double env = std::min(1.0, t / 0.005) * std::exp(-t * 3.0 / seconds);
      const double w = step * static_cast<double>(i);
      const double s =
          amplitude * env * (std::sin(w) + 0.4 * std::sin(2 * w) + 0.2 * std::sin(3 * w));
      left[first + i] += static_cast<float>(s * (1.0 - pan));
      right[first + i] += static_cast<float>(s * (1.0 + pan));
    }
  };
  std::mt19937 random(1);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  auto hit = [&](double start, double seconds, double amplitude, double pitch) {
    const auto first = static_cast<std::size_t>(start * RATE);
    const auto length = static_cast<std::size_t>(seconds * RATE);
    for (std::size_t i = 0; i < length && first + i < left.size(); ++i) {
      const double t = static_cast<double>(i) / RATE;
      const double env = amplitude * std::exp(-t * 6.0 / seconds);
      const double body = pitch > 0 ? std::sin(2.0 * std::numbers::pi * pitch * t) : noise(random);
      left[first + i] += static_cast<float>(env * body);
      right[first + i] += static_cast<float>(env * body);
    }
  };

  const int beats = static_cast<int>(FRAMES / RATE / beat);
  for (int b = 0; b < beats; ++b) {
    const double at = b * beat;
    const int root = roots[(b / 4) % 4];
    hit(at, 0.15, 0.35, 55.0);
    hit(at + beat / 2, 0.05, 0.08, 0.0);
    tone(at, hz(root - 12), beat, 0.18, -0.3);
    if (b % 4 == 0) {
      for (int third : {0, 4, 7}) tone(at, hz(root + third), 4 * beat, 0.06, 0.2);
    }
    tone(at + beat / 2, hz(root + 12 + melody[b % 8]), beat / 2, 0.1, 0.4);
  }
  for (std::size_t i = 0; i < left.size(); ++i) {
    left[i] += 0.003f * noise(random);
    right[i] += 0.003f * noise(random);
  }
}

bool writeWav(const std::string& path) {
  std::vector<float> left;
  std::vector<float> right;
  synthesise(left, right);
  std::vector<char> bytes;
  bytes.reserve(44 + static_cast<std::size_t>(FRAMES) * 4);
  auto put = [&](std::uint32_t v, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto text = [&](const char* s) { bytes.insert(bytes.end(), s, s + 4); };
  text("RIFF");
  put(36 + FRAMES * 4u, 4);
  text("WAVE");
  text("fmt ");
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(RATE, 4);
  put(RATE * 4, 4);
  put(4, 2);
  put(16, 2);
  text("data");
  put(FRAMES * 4u, 4);
  for (std::size_t f = 0; f < left.size(); ++f) {
    for (float v : {left[f], right[f]}) {
      const double s = std::lround(std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767.0);
      put(static_cast<std::uint16_t>(static_cast<std::int16_t>(s)), 2);
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The recording lives in its own temporary folder for the run of the program.
class BenchRecording {
 public:
  BenchRecording() {
    folder_ = std::filesystem::temp_directory_path() /
              ("quavrix-open-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "five-minutes.wav").string();
    ok_ = writeWav(path_);
    flacPath_ = (folder_ / "five-minutes.flac").string();
    flacOk_ = ok_ && transcode(path_, flacPath_, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  }
  ~BenchRecording() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  const std::string& path() const { return path_; }
  bool ok() const { return ok_; }
  // The same audio as a FLAC file, for the decoder's open.
  const std::string& flacPath() const { return flacPath_; }
  bool flacOk() const { return flacOk_; }

 private:
  static bool transcode(const std::string& from, const std::string& to, int format) {
    SF_INFO in{};
    SNDFILE* source = sf_open(from.c_str(), SFM_READ, &in);
    if (!source) return false;
    SF_INFO out = in;
    out.format = format;
    SNDFILE* target = sf_open(to.c_str(), SFM_WRITE, &out);
    bool ok = target != nullptr;
    std::vector<short> block(2 * 65536);
    for (sf_count_t n; ok && (n = sf_readf_short(source, block.data(), 65536)) > 0;)
      ok = sf_writef_short(target, block.data(), n) == n;
    sf_close(source);
    if (target) ok = sf_close(target) == 0 && ok;
    return ok;
  }

  std::filesystem::path folder_;
  std::string path_;
  bool ok_ = false;
  std::string flacPath_;
  bool flacOk_ = false;
};

const BenchRecording& benchRecording() {
  static const BenchRecording recording;
  return recording;
}

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void reportPerMinute(benchmark::State& state, double totalMs) {
  state.counters["ms_per_audio_minute"] =
      totalMs / static_cast<double>(state.iterations()) / MINUTES;
}

// Times `open` on a fresh Recording of the benchmark file per iteration;
// freeing the buffers afterwards is not part of opening.
template <class Open>
void timeFreshOpens(benchmark::State& state, Open open, bool flac = false) {
  const BenchRecording& file = benchRecording();
  if (!(flac ? file.flacOk() : file.ok())) {
    state.SkipWithError("cannot write the recording");
    return;
  }
  double totalMs = 0.0;
  for (auto _ : state) {
    quavrix::Recording recording;
    recording.path = flac ? file.flacPath() : file.path();
    const auto start = std::chrono::steady_clock::now();
    if (!open(recording)) {
      state.SkipWithError("cannot read the recording");
      return;
    }
    totalMs += msSince(start);
    benchmark::DoNotOptimize(recording.left.data());
    state.PauseTiming();
    recording = quavrix::Recording{};
    state.ResumeTiming();
  }
  reportPerMinute(state, totalMs);
}

void BM_OpenRecording(benchmark::State& state) {
  timeFreshOpens(state, [](quavrix::Recording& recording) {
    if (quavrix::readRecording(recording) != 0) return false;
    quavrix::detectOnsets(recording);
    return true;
  });
}
BENCHMARK(BM_OpenRecording)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The same five minutes as FLAC: decoded, then the same analyses.
void BM_OpenFlacRecording(benchmark::State& state) {
  timeFreshOpens(
      state,
      [](quavrix::Recording& recording) {
        if (quavrix::readRecording(recording) != 0) return false;
        quavrix::detectOnsets(recording);
        return true;
      },
      true);
}
BENCHMARK(BM_OpenFlacRecording)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The parts of the open, one by one: reading the samples, the spectrogram (on
// both cores and on one) and onset detection.
void BM_ReadSamples(benchmark::State& state) {
  timeFreshOpens(state, [](quavrix::Recording& recording) {
    return quavrix::readRecordingSamples(recording) == 0;
  });
}
BENCHMARK(BM_ReadSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Spectrum(benchmark::State& state) {
  const BenchRecording& file = benchRecording();
  quavrix::Recording recording;
  recording.path = file.path();
  if (!file.ok() || quavrix::readRecordingSamples(recording) != 0) {
    state.SkipWithError("cannot read the recording");
    return;
  }
  const int threads = static_cast<int>(state.range(0));
  double totalMs = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    quavrix::analyseRecording(recording, threads);
    totalMs += msSince(start);
    benchmark::DoNotOptimize(recording.spectrumA.height.data());
  }
  reportPerMinute(state, totalMs);
}
BENCHMARK(BM_Spectrum)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Onsets(benchmark::State& state) {
  const BenchRecording& file = benchRecording();
  quavrix::Recording recording;
  recording.path = file.path();
  if (!file.ok() || quavrix::readRecordingSamples(recording) != 0) {
    state.SkipWithError("cannot read the recording");
    return;
  }
  double totalMs = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    quavrix::detectOnsets(recording);
    totalMs += msSince(start);
    benchmark::DoNotOptimize(recording.onsetMarks.data());
  }
  reportPerMinute(state, totalMs);
}
BENCHMARK(BM_Onsets)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
