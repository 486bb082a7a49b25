// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/soundfont_select.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/scripted_prompter.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using std::chrono::milliseconds;

class Selection : public ::testing::Test {
 protected:
  void SetUp() override {
    test::Sf2Sample s;
    s.name = "s";
    s.points = test::sinePoints(440.0, 44100.0, 4000);
    s.loopStart = 100;
    s.loopEnd = 3000;
    font = test::singleSampleFont(s, {test::gen(test::SF_SAMPLE_MODES, 1)});
    ASSERT_TRUE(test::writeSf2File(dir.file("quavrix.sf2"), font));
    settings.loaded = 1;
    host.settings = &settings;
    host.loadedPath = &loadedPath;
    host.dataFolder = dir.path().string() + "/";
    host.prompter = &prompter;
    host.files = &files;
    host.settle = milliseconds(0);
  }

  test::TempDir dir;
  test::Sf2Description font;
  Settings settings;
  std::string loadedPath;
  test::ScriptedPrompter prompter;
  test::ScriptedFileChooser files;
  SoundFontHost host;
  Sampler sampler;
};

TEST_F(Selection, TheDefaultNameAlwaysComesFromTheProgramFolder) {
  settings.values.soundFontFile = "C:\\elsewhere\\quavrix.sf2";
  EXPECT_EQ(selectSoundFont(sampler, host), 0);
  ASSERT_NE(sampler.bank, nullptr);
  EXPECT_EQ(sampler.paused.load(), 0);
  EXPECT_EQ(settings.values.soundFontFile, "quavrix.sf2");
  EXPECT_EQ(loadedPath, "quavrix.sf2");
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(files.requests.empty());

  // Asking again for the bank already loaded changes nothing.
  const SoundFontBank* first = sampler.bank.get();
  EXPECT_EQ(selectSoundFont(sampler, host), 0);
  EXPECT_EQ(sampler.bank.get(), first);
}

TEST_F(Selection, ANameWithoutSf2OpensTheFileDialog) {
  const std::string other = dir.file("other.sf2");
  ASSERT_TRUE(test::writeSf2File(other, font));
  settings.values.soundFontFile = "my bank";
  files.reply(other);
  EXPECT_EQ(selectSoundFont(sampler, host), 0);
  ASSERT_EQ(files.requests.size(), 1u);
  EXPECT_FALSE(files.requests[0].save);
  EXPECT_EQ(files.requests[0].defaultExtension, "sf2");
  EXPECT_EQ(files.requests[0].initialName, "*.sf2");
  EXPECT_NE(sampler.bank, nullptr);
  EXPECT_EQ(settings.values.soundFontFile, other);
  EXPECT_EQ(loadedPath, other);

  // An empty name is no bank either, even before anything was loaded.
  Sampler fresh;
  std::string freshPath;
  host.loadedPath = &freshPath;
  settings.values.soundFontFile.clear();
  files.reply(other);
  EXPECT_EQ(selectSoundFont(fresh, host), 0);
  EXPECT_EQ(files.requests.size(), 2u);
}

TEST_F(Selection, MissingOrCancelledChoicesLeaveNoBankAndSaySo) {
  settings.values.soundFontFile = dir.file("gone.sf2");
  files.reply(dir.file("also-gone.sf2"));
  EXPECT_EQ(selectSoundFont(sampler, host), -1);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "FATAL ERROR\nCan not found soundfont");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Information);
  EXPECT_EQ(sampler.bank, nullptr);

  prompter.clear();
  EXPECT_EQ(selectSoundFont(sampler, host), -1);  // the dialog is cancelled
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Error);
  EXPECT_EQ(sampler.paused.load(), 1);
}

TEST_F(Selection, ABrokenFileIsReportedAndTriedAgainNextTime) {
  const std::string broken = dir.file("broken.sf2");
  std::ofstream(broken) << "RIFF not really";
  settings.values.soundFontFile = broken;
  EXPECT_EQ(selectSoundFont(sampler, host), -1);
  EXPECT_EQ(prompter.last(),
            "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.");
  EXPECT_TRUE(loadedPath.empty());
  ASSERT_TRUE(test::writeSf2File(broken, font));
  EXPECT_EQ(selectSoundFont(sampler, host), 0);
  EXPECT_EQ(loadedPath, broken);
}

TEST_F(Selection, NothingHappensBeforeSettingsWereRead) {
  settings.loaded = 0;
  settings.values.soundFontFile = "quavrix.sf2";
  EXPECT_EQ(selectSoundFont(sampler, host), -1);
  EXPECT_EQ(sampler.bank, nullptr);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(files.requests.empty());
}

TEST_F(Selection, ReloadEndsTheOldVoicesAndKeepsTheTuning) {
  settings.values.soundFontFile = "quavrix.sf2";
  settings.values.tuning = 50;
  ASSERT_EQ(selectSoundFont(sampler, host), 0);
  samplerNoteOn(sampler, 0, 60, 1.0f);
  ASSERT_EQ(samplerActiveVoices(sampler), 1);

  const std::string other = dir.file("second.sf2");
  ASSERT_TRUE(test::writeSf2File(other, font));
  settings.values.soundFontFile = other;
  EXPECT_EQ(selectSoundFont(sampler, host), 0);
  EXPECT_EQ(samplerActiveVoices(sampler), 0);  // a fresh pool
  SynthChannel* channel = SamplerChannel(sampler, 0);
  ASSERT_NE(channel, nullptr);
  EXPECT_FLOAT_EQ(channel->tuning, 0.5f);  // the tuning survives the reload
}

}  // namespace
}  // namespace quavrix
