// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/sampler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "support/sf2_signal.h"
#include "support/sf2_writer.h"

namespace quavrix {
namespace {

using test::gen;
using test::range;
using test::Sf2Description;
using test::Sf2Sample;

constexpr int RATE = 44100;

// A sine sample that loops over whole periods: 441 Hz repeats every 100 points.
Sf2Sample loopedSine(std::size_t points = 4410, double frequency = 441.0) {
  Sf2Sample s;
  s.name = "sine";
  s.points = test::sinePoints(frequency, RATE, points);
  s.loopStart = 1000;
  s.loopEnd = 2000;
  return s;
}

class Rig {
 public:
  explicit Rig(const Sf2Description& d) {
    const auto bytes = test::buildSf2(d);
    samplerInstallBank(sampler, loadSoundFontMemory(bytes.data(), bytes.size()));
  }
  std::vector<float> render(int frames) {
    std::vector<float> out(2 * static_cast<std::size_t>(frames));
    samplerRender(sampler, out.data(), frames);
    return out;
  }
  SoundFontBank& bank() { return *sampler.bank; }
  std::vector<const SynthVoice*> voicesOn(int key) {
    std::vector<const SynthVoice*> found;
    for (const SynthVoice& v : bank().voices)
      if (!v.isFree() && v.playingKey == key) found.push_back(&v);
    return found;
  }

  Sampler sampler;
};

Sf2Description loopingFont(int sampleModes = 1, std::vector<test::Sf2Gen> extra = {}) {
  extra.push_back(gen(test::SF_SAMPLE_MODES, sampleModes));
  return test::singleSampleFont(loopedSine(), extra);
}

// Index of the first frame of `out` whose left sample is not 0.
std::size_t firstSound(const std::vector<float>& out) {
  std::size_t f = 0;
  while (2 * f < out.size() && out[2 * f] == 0.0f) ++f;
  return f;
}

TEST(SamplerSchedule, CallsTakeEffectAtTheirOwnFrame) {
  Rig rig(loopingFont());
  std::vector<float> out(2 * 1024);
  // Device frames 5000 .. 6023: a note due at 5300, one past already, and a
  // release of everything at 5700.
  ASSERT_TRUE(samplerSchedule(rig.sampler, {5300, 0, 60, 1.0f}));
  ASSERT_TRUE(samplerSchedule(rig.sampler, {5700, ALL_NOTES_OFF, 0, 0.0f}));
  ASSERT_TRUE(samplerSchedule(rig.sampler, {7000, 0, 62, 1.0f}));
  samplerRenderFrom(rig.sampler, out.data(), 1024, 5000);
  const std::size_t start = firstSound(out);
  EXPECT_GE(start, 300u);
  EXPECT_LT(start, 300u + 64u);  // the first envelope block after the call starts at 0
  ASSERT_EQ(rig.voicesOn(60).size(), 1u);
  EXPECT_TRUE(rig.voicesOn(60)[0]->releasing());
  EXPECT_TRUE(rig.voicesOn(62).empty());  // not due yet
  // A call whose frame has passed is carried out at the next block's start.
  samplerRenderFrom(rig.sampler, out.data(), 1024, 8000);
  EXPECT_EQ(rig.voicesOn(62).size(), 1u);
  // Cleared calls never sound.
  ASSERT_TRUE(samplerSchedule(rig.sampler, {9100, 0, 64, 1.0f}));
  samplerClearSchedule(rig.sampler);
  samplerRenderFrom(rig.sampler, out.data(), 1024, 9024);
  EXPECT_TRUE(rig.voicesOn(64).empty());
}

TEST(SamplerNotes, VelocityZeroActsAsNoteOff) {
  Rig rig(loopingFont());
  ASSERT_EQ(samplerNoteOn(rig.sampler, 0, 60, 1.0f), 1);
  rig.render(256);
  EXPECT_FALSE(rig.voicesOn(60).at(0)->releasing());
  EXPECT_EQ(samplerNoteOn(rig.sampler, 0, 60, 0.0f), 0);
  ASSERT_EQ(rig.voicesOn(60).size(), 1u);
  EXPECT_TRUE(rig.voicesOn(60)[0]->releasing());
  rig.render(RATE / 50);  // the default release is 0.01 s
  EXPECT_EQ(samplerActiveVoices(rig.sampler), 0);
}

TEST(SamplerNotes, NoteOffReleasesOnlyTheEarliestNoteOn) {
  Rig rig(loopingFont());
  samplerNoteOn(rig.sampler, 0, 64, 1.0f);
  rig.render(100);
  samplerNoteOn(rig.sampler, 0, 64, 1.0f);
  auto voices = rig.voicesOn(64);
  ASSERT_EQ(voices.size(), 2u);
  const SynthVoice* first = voices[0]->playIndex < voices[1]->playIndex ? voices[0] : voices[1];
  const SynthVoice* second = first == voices[0] ? voices[1] : voices[0];
  samplerNoteOff(rig.sampler, 0, 64);
  EXPECT_TRUE(first->releasing());
  EXPECT_FALSE(second->releasing());
  samplerNoteOff(rig.sampler, 0, 64);
  EXPECT_TRUE(second->releasing());
}

TEST(SamplerNotes, ExclusiveGroupEndsTheEarlierNoteWithinTenMilliseconds) {
  Rig rig(loopingFont(1, {gen(test::SF_EXCLUSIVE_CLASS, 1), gen(test::SF_RELEASE_VOL_ENV, 1200)}));
  samplerNoteOn(rig.sampler, 0, 42, 1.0f);
  rig.render(1000);
  samplerNoteOn(rig.sampler, 0, 46, 1.0f);
  ASSERT_EQ(rig.voicesOn(42).size(), 1u);
  EXPECT_TRUE(rig.voicesOn(42)[0]->releasing());
  EXPECT_FALSE(rig.voicesOn(46).at(0)->releasing());
  rig.render(RATE / 100);
  EXPECT_TRUE(rig.voicesOn(42).empty());
  EXPECT_EQ(rig.voicesOn(46).size(), 1u);
}

TEST(SamplerNotes, LoopUntilReleaseLoopsWhileHeldThenPlaysOut) {
  // A long release, so that only the end of the sample can end the voice.
  Rig held(loopingFont(3, {gen(test::SF_RELEASE_VOL_ENV, 2400)}));
  samplerNoteOn(held.sampler, 0, 60, 1.0f);
  const auto sustained = held.render(RATE);  // far longer than the 4410-point sample
  EXPECT_EQ(samplerActiveVoices(held.sampler), 1);
  EXPECT_GT(test::rmsLeft(sustained, RATE - 4410, 4410), 0.1);
  samplerNoteOff(held.sampler, 0, 60);
  const auto tail = held.render(4410);
  EXPECT_GT(test::rmsLeft(tail, 0, 1000), 0.1);
  EXPECT_EQ(samplerActiveVoices(held.sampler), 0);

  // Continuous looping goes on through the release.
  Rig continuous(loopingFont(1, {gen(test::SF_RELEASE_VOL_ENV, 2400)}));
  samplerNoteOn(continuous.sampler, 0, 60, 1.0f);
  continuous.render(RATE);
  samplerNoteOff(continuous.sampler, 0, 60);
  continuous.render(4410);
  EXPECT_EQ(samplerActiveVoices(continuous.sampler), 1);

  // Without loop mode the sample simply ends.
  Rig once(loopingFont(0));
  samplerNoteOn(once.sampler, 0, 60, 1.0f);
  once.render(4410 + 64);
  EXPECT_EQ(samplerActiveVoices(once.sampler), 0);
}

TEST(SamplerPitch, SineAtRootKey69PlayedAtKey81SoundsAt880Hz) {
  Sf2Sample s;
  s.name = "a440";
  s.points = test::sinePoints(440.0, RATE, 2 * RATE);
  s.rootKey = 69;
  Rig rig(test::singleSampleFont(s));
  const std::vector<double> candidates = {220.0, 440.0, 660.0, 830.6, 880.0, 932.3, 1760.0};

  samplerNoteOn(rig.sampler, 0, 81, 1.0f);
  const auto octave = rig.render(RATE / 2);
  EXPECT_EQ(test::strongestTone(octave, 2048, 16384, candidates), 880.0);
  EXPECT_GT(test::toneLeft(octave, 2048, 16384, 880.0), 0.1);
  samplerAllNotesOff(rig.sampler);
  rig.render(RATE / 10);

  samplerNoteOn(rig.sampler, 0, 69, 1.0f);
  EXPECT_EQ(test::strongestTone(rig.render(RATE / 2), 2048, 16384, candidates), 440.0);
  samplerAllNotesOff(rig.sampler);
  rig.render(RATE / 10);

  // A tuning of +100 cents raises every note by a semitone.
  samplerSetTuning(rig.sampler, 100);
  samplerNoteOn(rig.sampler, 0, 69, 1.0f);
  EXPECT_EQ(test::strongestTone(rig.render(RATE / 2), 2048, 16384, {440.0, 466.16, 493.88}),
            466.16);
}

TEST(SamplerPitch, AbsurdSampleRateAndTuningEndTheNoteInsteadOfOverflowing) {
  // 4.3 GHz sample data played 20 octaves up: billions of points per frame.
  Sf2Sample s = loopedSine();
  s.rate = 0xFFFFFFFF;
  s.rootKey = 0;
  for (const int modes : {0, 1}) {
    Rig rig(test::singleSampleFont(s, {gen(51, 120), gen(test::SF_SAMPLE_MODES, modes)}));
    samplerNoteOn(rig.sampler, 0, 127, 1.0f);
    for (const float x : rig.render(256)) ASSERT_TRUE(std::isfinite(x));
    EXPECT_TRUE(rig.voicesOn(127).empty() || modes == 1) << modes;
  }
}

TEST(SamplerFilter, TheZonesResonanceIsHeardAtTheCutoff) {
  // 1 kHz sine through a low-pass at 1 kHz, once flat and once with 20 dB of resonance.
  const int cutoff = static_cast<int>(std::lround(1200.0 * std::log2(1000.0 / 8.176)));
  auto levelWithQ = [&](int q) {
    Sf2Sample s;
    s.name = "k";
    s.points = test::sinePoints(1000.0, RATE, RATE, 0.25);
    s.rootKey = 60;
    Rig rig(
        test::singleSampleFont(s, {gen(test::SF_FILTER_FC, cutoff), gen(test::SF_FILTER_Q, q)}));
    samplerNoteOn(rig.sampler, 0, 60, 1.0f);
    return test::toneLeft(rig.render(RATE / 4), 4096, 4096, 1000.0);
  };
  const double flat = levelWithQ(0);
  const double resonant = levelWithQ(200);
  EXPECT_GT(flat, 0.0);
  EXPECT_NEAR(resonant / flat, 10.0, 1.0);
}

TEST(SamplerSettings, LevelCurve) {
  EXPECT_NEAR(levelCurve(0.67f), 0.4474f, 5e-5f);
  EXPECT_FLOAT_EQ(levelCurve(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(levelCurve(1.5f), 1.0f);
  EXPECT_FLOAT_EQ(levelCurve(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(levelCurve(-0.2f), 0.0f);  // a damaged level is silence, not full volume
  EXPECT_LT(levelCurve(0.5f), levelCurve(0.6f));

  SettingValues values;
  values.level[LEVEL_TICK] = 1.0f;
  values.level[3 + LEVEL_TRACK_OFFSET] = 0.5f;
  Sampler sampler;
  sampler.settings = &values;
  updateTrackVelocities(sampler);
  EXPECT_FLOAT_EQ(sampler.tickVelocity, 1.0f);
  EXPECT_NEAR(sampler.trackVelocities[1], 0.4474f, 5e-5f);
  EXPECT_FLOAT_EQ(sampler.trackVelocities[3], levelCurve(0.5f));
}

TEST(SamplerSettings, ProgramsAndMutesDecideWhichTracksSound) {
  Sf2Description d = loopingFont();
  d.presets.push_back({"second", 1, 0, d.presets[0].zones});
  Rig rig(d);
  SettingValues values;
  values.trackProgram[1] = 0;  // no instrument: preset index -1
  values.trackProgram[2] = 2;  // the second preset in sorted order
  values.trackProgram[3] = 1;
  values.tickProgram = 1;
  values.tickNote = 37;
  rig.sampler.settings = &values;
  samplerApplyPrograms(rig.sampler);
  updateTrackVelocities(rig.sampler);
  EXPECT_EQ(rig.sampler.tickNote, 37);

  EXPECT_EQ(samplerTrackNoteOn(rig.sampler, 1, 60), 0);
  EXPECT_EQ(test::rmsLeft(rig.render(1024), 0, 1024), 0.0);
  ASSERT_EQ(samplerTrackNoteOn(rig.sampler, 2, 61), 1);
  EXPECT_EQ(rig.voicesOn(61).at(0)->playingPreset, 1);
  EXPECT_GT(test::rmsLeft(rig.render(1024), 0, 1024), 0.01);

  values.runtimeWords[3 + MUTE_TRACK_OFFSET] = 1;
  updateMutes(rig.sampler);
  EXPECT_EQ(samplerTrackNoteOn(rig.sampler, 3, 62), 0);
  EXPECT_EQ(samplerTrackNoteOn(rig.sampler, 2, 62), 1);
  values.runtimeWords[MUTE_ALL_TRACKS] = 1;
  updateMutes(rig.sampler);
  EXPECT_EQ(samplerTrackNoteOn(rig.sampler, 2, 63), 0);
  // The tick has its own switch.
  EXPECT_EQ(samplerTick(rig.sampler), 1);
  EXPECT_EQ(samplerTick(rig.sampler), 1);
  EXPECT_EQ(rig.voicesOn(37).size(), 2u);  // the earlier tick is releasing
  values.runtimeWords[MUTE_TICK] = 1;
  updateMutes(rig.sampler);
  EXPECT_EQ(samplerTick(rig.sampler), 0);
  // Note-offs still reach muted tracks, so nothing hangs.
  samplerTrackNoteOff(rig.sampler, 2, 61);
  EXPECT_TRUE(rig.voicesOn(61).at(0)->releasing());
}

TEST(SamplerPool, AFullPoolTakesOverTheQuietestReleasingVoiceElseTheOldest) {
  Rig rig(loopingFont(1, {gen(test::SF_RELEASE_VOL_ENV, 3600)}));
  for (int i = 0; i < VOICE_CAPACITY; ++i)
    samplerNoteOn(rig.sampler, 0, i % 128, i == 10 ? 0.05f : 1.0f);
  rig.render(64);
  ASSERT_EQ(samplerActiveVoices(rig.sampler), VOICE_CAPACITY);

  // Nothing releasing yet: the oldest note (key 0, started first) gives way.
  samplerNoteOn(rig.sampler, 0, 0, 1.0f);
  EXPECT_EQ(samplerActiveVoices(rig.sampler), VOICE_CAPACITY);
  auto keyZero = rig.voicesOn(0);
  ASSERT_EQ(keyZero.size(), 2u);  // the second key-0 note and the new one
  for (const SynthVoice* v : keyZero) EXPECT_NE(v->playIndex, 0u);

  // Two voices releasing: the quieter one gives way, the louder keeps sounding.
  samplerNoteOff(rig.sampler, 0, 10);  // velocity 0.05
  samplerNoteOff(rig.sampler, 0, 20);  // velocity 1.0
  rig.render(64);
  samplerNoteOn(rig.sampler, 0, 100, 1.0f);
  EXPECT_EQ(rig.voicesOn(10).size(), 1u);  // only the second, held key-10 note is left
  EXPECT_FALSE(rig.voicesOn(10)[0]->releasing());
  EXPECT_EQ(rig.voicesOn(20).size(), 2u);
}

TEST(SamplerPool, AllNotesOffAndQuickEnd) {
  Rig rig(loopingFont(1, {gen(test::SF_RELEASE_VOL_ENV, 1200)}));
  for (int key = 50; key < 60; ++key) samplerNoteOn(rig.sampler, 0, key, 1.0f);
  samplerAllNotesOff(rig.sampler);
  for (const SynthVoice& v : rig.bank().voices) {
    EXPECT_TRUE(v.isFree() || v.releasing());
  }
  rig.render(RATE / 10);
  EXPECT_EQ(samplerActiveVoices(rig.sampler), 10);  // a two-second release
  samplerEndQuickAll(rig.sampler);
  rig.render(RATE / 100);
  EXPECT_EQ(samplerActiveVoices(rig.sampler), 0);
}

TEST(SamplerBank, RemovingTheBankSilencesAndPausesTheSampler) {
  Sf2Description d = loopingFont();
  d.presets.push_back({"kit", 0, 128, d.presets[0].zones});
  Rig rig(d);
  EXPECT_EQ(rig.sampler.paused.load(), 0);
  SynthChannel* drums = SamplerChannel(rig.sampler, PERCUSSION_CHANNEL);
  ASSERT_NE(drums, nullptr);
  EXPECT_EQ(drums->presetIndex, 1);
  EXPECT_EQ(drums->bank, 128);
  EXPECT_EQ(rig.bank().channels.count, 10);

  samplerNoteOn(rig.sampler, 0, 60, 1.0f);
  const auto old = samplerRemoveBank(rig.sampler, std::chrono::milliseconds(0));
  ASSERT_NE(old, nullptr);
  for (const SynthVoice& v : old->voices) {
    EXPECT_TRUE(v.isFree() || v.releasing());
  }
  EXPECT_EQ(rig.sampler.paused.load(), 1);
  EXPECT_EQ(samplerNoteOn(rig.sampler, 0, 60, 1.0f), 0);
  EXPECT_EQ(test::rmsLeft(rig.render(512), 0, 512), 0.0);
  EXPECT_EQ(SamplerChannel(rig.sampler, 0), nullptr);
}

TEST(SamplerThreads, NotesAndRenderingFromTwoThreads) {
  Rig rig(loopingFont(3));
  std::atomic<bool> stop{false};
  std::thread renderer([&] {
    std::vector<float> block(2 * 1024);
    while (!stop.load()) samplerRender(rig.sampler, block.data(), 1024);
  });
  for (int i = 0; i < 1500; ++i) {
    samplerNoteOn(rig.sampler, 0, 30 + i % 60, 0.8f);
    if (i % 3 == 0) samplerNoteOff(rig.sampler, 0, 30 + (i / 3) % 60);
    if (i % 500 == 0) samplerAllNotesOff(rig.sampler);
  }
  stop.store(true);
  renderer.join();
  EXPECT_LE(samplerActiveVoices(rig.sampler), VOICE_CAPACITY);
}

}  // namespace
}  // namespace quavrix
