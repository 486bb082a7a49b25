// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/recording_mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quavrix {
namespace {

struct Fixture {
  Fixture() { buildMixState(mix, &switches); }
  ChannelSwitches switches;
  MixState mix;
  std::vector<float> out = std::vector<float>(2 * MIX_BLOCK_FRAMES);
};

using Samples = std::vector<std::int16_t>;

// A recording of `frames` entries per channel with left = a ramp, right = noise-like,
// and what a reader makes of a sample.
struct Signal {
  explicit Signal(std::size_t frames) : left(frames), right(frames) {
    for (std::size_t i = 0; i < frames; ++i) {
      left[i] = static_cast<std::int16_t>((i % 1000) * 32);
      right[i] = static_cast<std::int16_t>(std::sin(static_cast<float>(i) * 0.37f) * 16000.0f);
    }
  }
  MixInput at(std::int64_t position, bool started, bool last) const {
    return {left.data(), right.data(), left.size(), position, started, last};
  }
  float l(std::size_t i) const { return left[i] / 32768.0f; }
  float r(std::size_t i) const { return right[i] / 32768.0f; }
  Samples left, right;
};

Samples toSamples(const std::vector<float>& v) {
  Samples out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::lround(std::clamp(v[i], -1.0f, 1.0f) * 32767.0f));
  return out;
}

TEST(MixState, JitterTableAndCurves) {
  Fixture f;
  const std::int16_t first[] = {-403, 403, 263, -263, -326, 326};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f.mix.jitter[i], first[i]) << i;
  for (int i = 0; i < 128; i += 2) {
    EXPECT_EQ(f.mix.jitter[i], -f.mix.jitter[i + 1]);
    EXPECT_GE(f.mix.jitter[i], -444);
    EXPECT_LT(f.mix.jitter[i], 444);
  }
  EXPECT_FLOAT_EQ(f.mix.fadeOut[0], 1.0f);
  EXPECT_NEAR(f.mix.fadeOut[1024], 0.5f, 1e-6);
  EXPECT_NEAR(f.mix.fadeIn[1024], 0.5f, 1e-6);
  EXPECT_FLOAT_EQ(f.mix.endCurve[0], 1.0f);
  EXPECT_EQ(f.mix.beginCurve[0], 0.0f);
  EXPECT_NEAR(f.mix.beginCurve[2047], 1.0 / 3.0, 1e-3);
  EXPECT_FLOAT_EQ(f.mix.singleBlockCurve[1000], 2 * f.mix.beginCurve[1000]);
  EXPECT_EQ(f.mix.searchFilter.status, FIR_OK);
}

TEST(MixState, NormalSpeedCopiesTheRecordingInsideAPass) {
  Fixture f;
  const Signal s(40000);
  EXPECT_EQ(mixBlock(f.mix, s.at(10000, true, false), f.out.data()), 0);
  for (int i = 0; i < MIX_BLOCK_FRAMES; ++i) {
    ASSERT_EQ(f.out[2 * i], s.l(12048 + i)) << i;
    ASSERT_EQ(f.out[2 * i + 1], s.r(12048 + i)) << i;
  }
  // The first block of a pass rises from silence to about a third.
  mixBlock(f.mix, s.at(10000, false, false), f.out.data());
  EXPECT_EQ(f.out[0], 0.0f);
  EXPECT_NEAR(f.out[2 * 2047 + 1], s.r(12048 + 2047) * f.mix.beginCurve[2047], 1e-7);
  // The last block fades out along the end curve; a single-block pass uses twice the begin curve.
  mixBlock(f.mix, s.at(10000, true, true), f.out.data());
  EXPECT_FLOAT_EQ(f.out[2 * 500], s.l(12548) * f.mix.endCurve[500]);
  mixBlock(f.mix, s.at(10000, false, true), f.out.data());
  EXPECT_FLOAT_EQ(f.out[2 * 500], s.l(12548) * f.mix.singleBlockCurve[500]);
}

TEST(MixState, ChannelSwitches) {
  Fixture f;
  const Signal s(40000);
  const auto check = [&](auto expectLeft, auto expectRight) {
    mixBlock(f.mix, s.at(10000, true, false), f.out.data());
    for (int i = 0; i < MIX_BLOCK_FRAMES; i += 97) {
      const float l = s.l(12048 + i), r = s.r(12048 + i);
      ASSERT_FLOAT_EQ(f.out[2 * i], expectLeft(l, r)) << i;
      ASSERT_FLOAT_EQ(f.out[2 * i + 1], expectRight(l, r)) << i;
    }
  };
  f.switches.mono = 1;
  check([](float l, float r) { return 0.7f * l + 0.7f * r; },
        [](float l, float r) { return 0.7f * l + 0.7f * r; });
  f.switches.rightOn = 0;
  f.switches.rightInverted = 1;
  check([](float l, float r) { return l - r; }, [](float l, float r) { return l - r; });
  f.switches.mono = 0;
  check([](float l, float) { return l; }, [](float, float r) { return -r; });
  f.switches.leftOn = 0;
  f.switches.rightInverted = 0;
  check([](float, float) { return 0.0f; }, [](float, float) { return 0.0f; });
}

TEST(MixState, JitterRunsThroughTheTableAndOnce128) {
  Fixture f;
  f.mix.step = 1024;
  const Signal s(60000);
  mixBlock(f.mix, s.at(20000, true, false), f.out.data());
  EXPECT_EQ(f.mix.jitterIndex, 1);  // the first slowed block uses entry 1 (403)
  for (int b = 1; b < 128; ++b) mixBlock(f.mix, s.at(20000, true, false), f.out.data());
  EXPECT_EQ(f.mix.jitterIndex, 128);
  mixBlock(f.mix, s.at(20000, true, false), f.out.data());
  EXPECT_EQ(f.mix.jitterIndex, 0);
}

// Power of one frequency in a stretch of the left output channel.
double powerAt(const std::vector<float>& stereo, std::size_t from, std::size_t count, double hz) {
  double re = 0, im = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double w = 2 * M_PI * hz * static_cast<double>(i) / 44100.0;
    re += stereo[2 * (from + i)] * std::cos(w);
    im += stereo[2 * (from + i)] * std::sin(w);
  }
  return re * re + im * im;
}

TEST(MixState, HalfSpeedKeepsThePitchAndDoublesTheLength) {
  Fixture f;
  f.mix.step = 1024;
  // Lead-in, one second of 440 Hz, two seconds of silence.
  std::vector<float> tone(8192 + 3 * 44100 + 10000, 0.0f);
  for (int i = 0; i < 44100; ++i)
    tone[8192 + i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440.0 * i / 44100.0));
  const Samples samples = toSamples(tone);
  std::vector<float> heard;
  std::int64_t position = 8192 - MIX_BLOCK_FRAMES;
  bool started = false;
  std::vector<float> block(2 * MIX_BLOCK_FRAMES);
  while (position + 8192 <= static_cast<std::int64_t>(tone.size())) {
    const MixInput in{samples.data(), samples.data(), samples.size(), position, started, false};
    const int correction = mixBlock(f.mix, in, block.data());
    heard.insert(heard.end(), block.begin(), block.end());
    position += correction + f.mix.step;
    started = true;
  }
  // Where does the tone end in the output? About two seconds in.
  std::size_t last = 0;
  for (std::size_t i = 0; i < heard.size() / 2; ++i)
    if (std::fabs(heard[2 * i]) > 0.05f) last = i;
  EXPECT_NEAR(static_cast<double>(last), 2 * 44100.0, 3 * MIX_BLOCK_FRAMES);
  // The pitch stays: 440 Hz dominates its neighbours and the octaves.
  const std::size_t from = 20000, count = 44100;
  const double p440 = powerAt(heard, from, count, 440);
  for (const double other : {220.0, 415.0, 466.0, 880.0})
    EXPECT_GT(p440, 20 * powerAt(heard, from, count, other)) << other;
}

// Plays `seconds` of the recording from the end of the lead-in through the
// mixer, as the player does; returns the left output and the blocks played.
struct Played {
  std::vector<float> left;
  int blocks = 0;
  std::int64_t advance = 0;  // recording frames the position moved
};
Played play(MixState& mix, const Samples& l, const Samples& r, double seconds) {
  Played out;
  std::vector<float> block(2 * MIX_BLOCK_FRAMES);
  const std::int64_t from = 8192;
  std::int64_t position = from;
  const std::int64_t until = from + static_cast<std::int64_t>(seconds * 44100);
  while (position < until) {
    const MixInput in{l.data(), r.data(), l.size(), position, out.blocks > 0, false};
    position += mixBlock(mix, in, block.data()) + mix.step;
    for (int i = 0; i < MIX_BLOCK_FRAMES; ++i) out.left.push_back(block[2 * i]);
    ++out.blocks;
  }
  out.advance = position - from;
  return out;
}

TEST(MixState, SlowedSpeedsKeepTheirRateWhateverTheChannelsHold) {
  const std::size_t frames = 8192 + 12 * 44100;
  Samples tone440(frames), tone660(frames), noiseL(frames), noiseR(frames);
  std::uint32_t seed = 7;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::int16_t>(seed >> 16);
  };
  for (std::size_t i = 0; i < frames; ++i) {
    tone440[i] = static_cast<std::int16_t>(13000 * std::sin(2 * M_PI * 440.0 * i / 44100.0));
    tone660[i] = static_cast<std::int16_t>(13000 * std::sin(2 * M_PI * 660.0 * i / 44100.0));
    noiseL[i] = noise();
    noiseR[i] = noise();
  }
  struct Content {
    const char* name;
    const Samples& left;
    const Samples& right;
  };
  const Content contents[] = {{"440 | 660", tone440, tone660},
                              {"stereo noise", noiseL, noiseR},
                              {"440 | 440", tone440, tone440}};
  for (const Content& c : contents) {
    for (const int step : {1024, 512, 256}) {
      Fixture f;
      f.mix.step = step;
      const Played p = play(f.mix, c.left, c.right, 10.0);
      const double rate = static_cast<double>(p.advance) / (static_cast<double>(p.blocks) * step);
      EXPECT_NEAR(rate, 1.0, 0.01) << c.name << " at step " << step;
      if (&c.left == &tone440 && step == 512) {
        // The pitch stays: count the rising zero crossings of the left output.
        int rising = 0;
        for (std::size_t i = 1; i < p.left.size(); ++i)
          rising += p.left[i - 1] < 0.0f && p.left[i] >= 0.0f;
        const double hz = rising * 44100.0 / static_cast<double>(p.left.size());
        EXPECT_NEAR(hz, 440.0, 4.4) << c.name;
      }
    }
  }
}

TEST(MixState, ReadsOutsideTheRecordingAreSilence) {
  Fixture f;
  const Signal s(9000);
  for (int step : {2048, 1024, 256}) {
    f.mix.step = step;
    // A pass that starts before the buffers, and one that runs past their end.
    mixBlock(f.mix, s.at(-5000, true, false), f.out.data());
    mixBlock(f.mix, s.at(-5000, false, false), f.out.data());
    mixBlock(f.mix, s.at(8000, true, false), f.out.data());
    if (step == 2048) {
      EXPECT_EQ(f.out[0], 0.0f);
      EXPECT_EQ(f.out[2 * 2047], 0.0f);
    }
  }
  // No recording at all: silence, at any speed.
  const MixInput nothing{};
  for (int step : {2048, 512}) {
    f.mix.step = step;
    mixBlock(f.mix, nothing, f.out.data());
    for (const float v : f.out) ASSERT_EQ(v, 0.0f);
  }
}

}  // namespace
}  // namespace quavrix
