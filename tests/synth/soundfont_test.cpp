// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/soundfont.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <cmath>

#include "support/sf2_writer.h"
#include "support/temp_dir.h"
#include "synth/sf2_reader.h"

namespace quavrix {
namespace {

using test::gen;
using test::range;
using test::Sf2Description;
using test::Sf2Sample;

Sf2Sample plainSample(std::size_t points = 1000) {
  Sf2Sample s;
  s.name = "s";
  s.points = test::sinePoints(440.0, 44100.0, points);
  return s;
}

std::unique_ptr<SoundFontBank> load(const Sf2Description& d) {
  const auto bytes = test::buildSf2(d);
  return loadSoundFontMemory(bytes.data(), bytes.size());
}

TEST(SoundFontLoader, EveryRequiredChunkIsNeeded) {
  const Sf2Description good = test::singleSampleFont(plainSample());
  ASSERT_NE(load(good), nullptr);
  // The modulator lists are never used, yet a bank without them is refused.
  for (const char* id :
       {"imod", "pmod", "phdr", "pbag", "pgen", "inst", "ibag", "igen", "shdr", "smpl"}) {
    Sf2Description broken = good;
    broken.omit = {id};
    EXPECT_EQ(load(broken), nullptr) << id;
  }
}

TEST(SoundFontLoader, PresetsAreSortedByBankProgramThenFilePosition) {
  Sf2Description d = test::singleSampleFont(plainSample());
  const auto zone = d.presets[0].zones;
  d.presets = {{"drums", 0, 128, zone},
               {"five", 5, 0, zone},
               {"zero", 0, 0, zone},
               {"five again", 5, 0, zone}};
  const auto bank = load(d);
  ASSERT_NE(bank, nullptr);
  ASSERT_EQ(bank->presetCount(), 4);
  EXPECT_EQ(bank->presets[0].name, "zero");
  EXPECT_EQ(bank->presets[1].name, "five");
  EXPECT_EQ(bank->presets[2].name, "five again");
  EXPECT_EQ(bank->presets[3].name, "drums");
  EXPECT_EQ(bank->presets[3].bank, 128);
  EXPECT_EQ(findPreset(*bank, 128, 0), 3);
  EXPECT_EQ(dialogPresetNames(*bank),
            (std::vector<std::string>{"zero", "five", "five again", "drums"}));
  EXPECT_EQ(findPreset(*bank, 0, 5), 1);
  EXPECT_EQ(findPreset(*bank, 0, 6), -1);
}

TEST(SoundFontLoader, TheDialogIsOfferedAtMost510Presets) {
  Sf2Description d = test::singleSampleFont(plainSample(10));
  const auto zone = d.presets[0].zones;
  d.presets.clear();
  for (int i = 0; i < 520; ++i) {
    // Formatted, not concatenated: GCC 12 at -O3 warns about "p" + to_string.
    char name[8];
    std::snprintf(name, sizeof name, "p%d", i);
    d.presets.push_back({name, i % 128, i / 128, zone});
  }
  const auto bank = load(d);
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(bank->presetCount(), 520);
  const auto names = dialogPresetNames(*bank);
  ASSERT_EQ(names.size(), 510u);
  EXPECT_EQ(names.front(), "p0");
  EXPECT_EQ(names.back(), "p509");
}

TEST(SoundFontLoader, PresetKeyRangeNarrowsInstrumentZones) {
  Sf2Description d;
  d.samples = {plainSample()};
  d.instruments = {
      {"inst",
       {{{range(test::SF_KEY_RANGE, 0, 127)}, 0}, {{range(test::SF_KEY_RANGE, 80, 90)}, 0}}}};
  d.presets = {{"p", 0, 0, {{{range(test::SF_KEY_RANGE, 60, 72)}, 0}}}};
  const auto bank = load(d);
  ASSERT_NE(bank, nullptr);
  ASSERT_EQ(bank->presets[0].regions.size(), 1u);
  EXPECT_EQ(bank->presets[0].regions[0].lowKey, 60);
  EXPECT_EQ(bank->presets[0].regions[0].highKey, 72);
}

TEST(SoundFontLoader, SampleHeaderEndZeroTakesTheWholeSampleData) {
  Sf2Sample s = plainSample(500);
  s.headerEnd = 0;
  const auto bank = load(test::singleSampleFont(s));
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(bank->presets[0].regions[0].end, bank->sampleCount);
  // 500 points and the 46 silent ones the format puts after every sample.
  EXPECT_EQ(bank->sampleCount, 546u);
}

TEST(SoundFontLoader, SamplesAreConvertedToFloatOnce) {
  Sf2Sample s;
  s.name = "s";
  s.points = {0, 32767, -32767, -32768, 16384};
  const auto bank = load(test::singleSampleFont(s));
  ASSERT_NE(bank, nullptr);
  EXPECT_FLOAT_EQ(bank->samples[1], 1.0f);
  EXPECT_FLOAT_EQ(bank->samples[2], -1.0f);
  EXPECT_FLOAT_EQ(bank->samples[3], -32768.0f / 32767.0f);
  EXPECT_FLOAT_EQ(bank->samples[4], 16384.0f / 32767.0f);
}

TEST(SoundFontLoader, ResolvesGeneratorsHeaderAndPresetOffsets) {
  Sf2Sample s = plainSample(1000);
  s.rootKey = 57;
  s.correction = -7;
  s.rate = 22050;
  s.loopStart = 100;
  s.loopEnd = 900;
  const auto bank = load(test::singleSampleFont(
      s,
      {gen(test::SF_ATTENUATION, 60), gen(test::SF_PAN, -250), gen(test::SF_FILTER_Q, 100),
       gen(test::SF_FILTER_FC, 9000), gen(test::SF_ATTACK_VOL_ENV, 1200),
       gen(37, 100) /* volume sustain, cB */, gen(29, 250) /* mod sustain, 0.1% */,
       gen(test::SF_SAMPLE_MODES, 3), gen(test::SF_EXCLUSIVE_CLASS, 2), gen(52, 20),
       gen(0, 10) /* start offset */},
      {gen(test::SF_ATTENUATION, 40), gen(51, 2) /* coarse tune */}));
  ASSERT_NE(bank, nullptr);
  const BankRegion& r = bank->presets[0].regions.at(0);
  EXPECT_EQ(r.rootKey, 57);
  EXPECT_EQ(r.tune, 13);  // 20 cents - 7 cents correction
  EXPECT_EQ(r.transpose, 2);
  EXPECT_EQ(r.sampleRate, 22050u);
  EXPECT_NEAR(r.attenuation, 10.0f, 1e-4);  // 6 dB instrument + 4 dB preset
  EXPECT_NEAR(r.pan, -0.25f, 1e-6);
  EXPECT_EQ(r.filterQ, 100);  // the zone's own resonance is kept
  EXPECT_EQ(r.filterCutoff, 9000);
  EXPECT_NEAR(r.volumeEnvelope[ENV_ATTACK], 2.0f, 1e-5);
  EXPECT_EQ(r.volumeEnvelope[ENV_DELAY], 0.0f);  // -12000 timecents is none
  EXPECT_NEAR(r.volumeEnvelope[ENV_SUSTAIN], std::pow(10.0, -10.0 * 0.05), 1e-6);
  EXPECT_NEAR(r.modulationEnvelope[ENV_SUSTAIN], 0.75f, 1e-6);
  EXPECT_EQ(r.loopMode, LOOP_UNTIL_RELEASE);
  EXPECT_EQ(r.exclusiveGroup, 2u);
  EXPECT_EQ(r.offset, 10u);
  EXPECT_EQ(r.loopStart, 100u);
  EXPECT_EQ(r.loopEnd, 899u);  // the last looped point
  EXPECT_EQ(r.end, 1001u);
}

TEST(SoundFontLoader, GlobalZonesApplyToTheZonesAfterThem) {
  Sf2Description d;
  d.samples = {plainSample()};
  d.instruments = {{"inst",
                    {{{gen(test::SF_ROOT_KEY, 72), gen(test::SF_ATTENUATION, 30)}, -1},
                     {{range(test::SF_KEY_RANGE, 0, 59)}, 0},
                     {{range(test::SF_KEY_RANGE, 60, 127), gen(test::SF_ROOT_KEY, 48)}, 0}}}};
  d.presets = {{"p", 0, 0, {{{gen(test::SF_ATTENUATION, 20)}, -1}, {{}, 0}}}};
  const auto bank = load(d);
  ASSERT_NE(bank, nullptr);
  const auto& regions = bank->presets[0].regions;
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].rootKey, 72);
  EXPECT_EQ(regions[1].rootKey, 48);
  EXPECT_NEAR(regions[0].attenuation, 5.0f, 1e-4);
  EXPECT_NEAR(regions[1].attenuation, 5.0f, 1e-4);
}

TEST(SoundFontLoader, DamagedIndicesAndLoopsStayInsideTheSampleData) {
  Sf2Description d;
  Sf2Sample s = plainSample(100);
  s.loopStart = 50;
  s.loopEnd = 5000;  // past the data
  d.samples = {s};
  d.instruments = {{"inst",
                    {{{gen(test::SF_SAMPLE_MODES, 1)}, 0},
                     {{}, 7},                              // no such sample
                     {{gen(4, 300), gen(12, 200)}, 0}}}};  // offsets far past the end
  d.presets = {{"p", 0, 0, {{{}, 0}, {{}, 9}}}};           // instrument 9 does not exist
  const auto bank = load(d);
  ASSERT_NE(bank, nullptr);
  const auto& regions = bank->presets[0].regions;
  ASSERT_EQ(regions.size(), 2u);
  for (const BankRegion& r : regions) {
    EXPECT_LE(r.end, bank->sampleCount);
    EXPECT_LE(r.offset, r.end);
    EXPECT_LT(r.loopEnd, bank->sampleCount + 1);
  }
  EXPECT_EQ(regions[0].loopStart, 0u);  // an impossible loop does not loop
  EXPECT_EQ(regions[0].loopEnd, 0u);
}

TEST(SoundFontLoader, RefusesWhatIsNotASoundFont) {
  const auto good = test::buildSf2(test::singleSampleFont(plainSample()));
  auto bytes = good;
  bytes[8] = 'X';  // form type
  EXPECT_EQ(loadSoundFontMemory(bytes.data(), bytes.size()), nullptr);
  bytes = good;
  bytes[0] = 'R';
  bytes[1] = 'I';
  bytes[2] = 'F';
  bytes[3] = 'X';
  EXPECT_EQ(loadSoundFontMemory(bytes.data(), bytes.size()), nullptr);
  // Cut anywhere, the bank is refused rather than half read.
  for (std::size_t cut : {std::size_t{0}, std::size_t{11}, good.size() / 2, good.size() - 1})
    EXPECT_EQ(loadSoundFontMemory(good.data(), cut), nullptr) << cut;
}

TEST(SoundFontLoader, ReadsFilesAndSaysWhyOthersCannotBeRead) {
  test::TempDir dir;
  const std::string path = dir.file("bank.sf2");
  ASSERT_TRUE(test::writeSf2File(path, test::singleSampleFont(plainSample())));
  const auto bank = loadSoundFontFile(path);
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(bank->presetCount(), 1);
  EXPECT_EQ(bank->voiceCount(), VOICE_CAPACITY);
  auto paths = test::unreadablePaths(dir);
  paths.push_back({dir.file("missing.sf2"), "No such file or directory"});
  for (const auto& [unreadable, why] : paths) {
    std::string reason;
    EXPECT_EQ(loadSoundFontFile(unreadable, &reason), nullptr) << unreadable;
    EXPECT_EQ(reason, why) << unreadable;
  }
}

TEST(SoundFontLoader, LoadsTheShippedGeneralMidiBank) {
  const std::string path = std::string(QUAVRIX_BIN_DIR) + "/quavrix.sf2";
  FileSource probe(path);
  if (!probe.isOpen()) GTEST_SKIP() << "no default SoundFont at " << path;
  const auto bank = loadSoundFontFile(path);
  ASSERT_NE(bank, nullptr);
  EXPECT_GE(bank->presetCount(), 128);
  EXPECT_GE(findPreset(*bank, 128, 0), 0);
  EXPECT_EQ(dialogPresetNames(*bank).size(),
            std::min<std::size_t>(bank->presets.size(), DIALOG_PRESET_LIMIT));
  for (const BankPreset& p : bank->presets) {
    for (const BankRegion& r : p.regions) {
      ASSERT_LE(r.end, bank->sampleCount) << p.name;
      ASSERT_LE(r.offset, r.end) << p.name;
    }
  }
}

}  // namespace
}  // namespace quavrix
