// SPDX-License-Identifier: GPL-3.0-or-later
// The recording mixer against the real-time budget of one block, and a
// slowed-down render of a 60-second recording at x2 by our mixer and by
// SoundTouch (tempo 0.5) on the same input, in the same run.

#include <SoundTouch.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "playback/recording_mixer.h"

namespace {

using namespace quavrix;

// A 60-second stereo recording with the lead-in: chords with a beat, so the
// similarity search has something to find.
const std::vector<std::int16_t>& recordingChannel(int channel) {
  static const auto make = [](int ch) {
    std::vector<std::int16_t> v(8192 + 60 * 44100 + 16384, 0);
    for (std::size_t i = 0; i < 60 * 44100; ++i) {
      const double t = static_cast<double>(i) / 44100.0;
      const double beat = std::exp(-std::fmod(t, 0.5) * 8.0);
      v[8192 + i] =
          static_cast<std::int16_t>(32767.0 * (0.2 * std::sin(2 * M_PI * (220.0 + ch * 110.0) * t) +
                                               0.15 * std::sin(2 * M_PI * 329.6 * t) * beat +
                                               0.1 * std::sin(2 * M_PI * 523.3 * t)));
    }
    return v;
  };
  static const std::vector<std::int16_t> left = make(0), right = make(1);
  return channel == 0 ? left : right;
}

// One block at the given step; the budget of a block is 2048 / 44100 s = 46.4 ms.
void BM_MixBlock(benchmark::State& state) {
  ChannelSwitches switches;
  MixState mix;
  buildMixState(mix, &switches);
  mix.step = static_cast<int>(state.range(0));
  const auto& l = recordingChannel(0);
  const auto& r = recordingChannel(1);
  std::vector<float> out(2 * MIX_BLOCK_FRAMES);
  std::int64_t position = 8192;
  for (auto _ : state) {
    const MixInput in{l.data(), r.data(), l.size(), position, true, false};
    position += mixBlock(mix, in, out.data()) + mix.step;
    if (position + 8192 > static_cast<std::int64_t>(l.size())) position = 8192;
    benchmark::DoNotOptimize(out.data());
  }
  const double budget = static_cast<double>(MIX_BLOCK_FRAMES) / 44100.0;
  // Per cent of one core that real-time playback at this step needs.
  state.counters["pct_of_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * budget / 100.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixBlock)->Arg(2048)->Arg(1024)->Arg(512)->Arg(256)->Unit(benchmark::kMicrosecond);

// The whole 60 s recording slowed to x2 by our mixer (about 120 s of output).
void BM_SlowDownOurs(benchmark::State& state) {
  const auto& l = recordingChannel(0);
  const auto& r = recordingChannel(1);
  std::vector<float> out(2 * MIX_BLOCK_FRAMES);
  for (auto _ : state) {
    ChannelSwitches switches;
    MixState mix;
    buildMixState(mix, &switches);
    mix.step = 1024;
    std::int64_t position = 8192 - MIX_BLOCK_FRAMES;
    bool started = false;
    while (position + 8192 <= static_cast<std::int64_t>(l.size())) {
      const MixInput in{l.data(), r.data(), l.size(), position, started, false};
      position += mixBlock(mix, in, out.data()) + mix.step;
      started = true;
      benchmark::DoNotOptimize(out.data());
    }
  }
}
BENCHMARK(BM_SlowDownOurs)->Unit(benchmark::kMillisecond);

// The same slow-down by SoundTouch, tempo 0.5, fed in blocks of 2048 frames.
void BM_SlowDownSoundTouch(benchmark::State& state) {
  const auto& l = recordingChannel(0);
  const auto& r = recordingChannel(1);
  std::vector<float> in(2 * 2048), out(2 * 8192);
  for (auto _ : state) {
    soundtouch::SoundTouch st;
    st.setSampleRate(44100);
    st.setChannels(2);
    st.setTempo(0.5);
    for (std::size_t at = 8192; at + 2048 <= 8192 + 60 * 44100; at += 2048) {
      for (int i = 0; i < 2048; ++i) {
        in[2 * i] = l[at + i] / 32768.0f;
        in[2 * i + 1] = r[at + i] / 32768.0f;
      }
      st.putSamples(in.data(), 2048);
      while (st.receiveSamples(out.data(), 8192) > 0) benchmark::DoNotOptimize(out.data());
    }
    st.flush();
    while (st.receiveSamples(out.data(), 8192) > 0) benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_SlowDownSoundTouch)->Unit(benchmark::kMillisecond);

}  // namespace
