// SPDX-License-Identifier: GPL-3.0-or-later
// The apply step and the settings load at start-up.

#include "engine/settings_apply.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "engine/engine.h"
#include "engine/project.h"
#include "persist/settings_file.h"
#include "support/scripted_prompter.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

// An engine beside a one-preset SoundFont named by its default settings.
struct ApplyFixture : ::testing::Test {
  ApplyFixture() {
    test::Sf2Sample s;
    s.name = "s";
    s.points = test::sinePoints(440.0, 44100.0, 44100);
    EXPECT_TRUE(test::writeSf2File(dir.file("quavrix.sf2"), test::singleSampleFont(s)));
    Settings defaults;
    defaults.values.soundFontFile = "quavrix.sf2";
    EXPECT_EQ(saveSettings(defaults, dir.file("default_settings.xml")), 0);
    EngineOptions options;
    options.programPath = dir.file("quavrix");
    options.prompter = &prompter;
    engine = createEngine(options);
    engine->soundFontSettle = std::chrono::milliseconds(0);
    SettingValues& v = engine->settings.values;
    v.trackProgram[1] = 1;
    v.level[1 + LEVEL_TRACK_OFFSET] = 1.0f;
    v.tuning = -30;
    v.cKeyTo = 9;
    v.judgingTolerance = 6;
    v.autoFillTolerance = 12;
    v.midiTiming = 20;
    v.displayMagnification = 7;
  }
  float tuning() {
    const SynthChannel* channel = SamplerChannel(engine->sampler, 0);
    return channel ? channel->tuning : -99.0f;
  }
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  std::unique_ptr<Engine> engine;
};

TEST_F(ApplyFixture, MaskZeroReachesSamplerPlayerViewAndBeatEditor) {
  EXPECT_EQ(engine->sampler.bank, nullptr) << "nothing is loaded before the first apply";
  const std::uint32_t colours = engine->settings.colourRevision;
  applySettings(*engine, APPLY_ALL);
  ASSERT_NE(engine->sampler.bank, nullptr);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.last();
  EXPECT_EQ(engine->paths.soundFont, "quavrix.sf2");
  EXPECT_EQ(engine->sampler.trackPrograms[1], 1);
  EXPECT_FLOAT_EQ(engine->sampler.trackVelocities[1], 1.0f);
  EXPECT_FLOAT_EQ(tuning(), -0.3f);
  EXPECT_EQ(engine->playback.lag.load(), 880);
  EXPECT_EQ(samplerTrackNoteOn(engine->sampler, 1, 69), 1);
  EXPECT_EQ(engine->viewState.names[0], "A");
  EXPECT_EQ(engine->viewState.keyClass[3], KEY_TONIC);
  EXPECT_EQ(engine->viewState.tuningText, "-30");
  EXPECT_FLOAT_EQ(engine->notes.judgingTolerance, 0.06f);
  EXPECT_FLOAT_EQ(engine->notes.autoFillTolerance, 0.12f);
  EXPECT_FLOAT_EQ(engine->viewState.spectrumGain, 7.0f);
  EXPECT_EQ(engine->settings.colourRevision, colours + 1);
}

TEST_F(ApplyFixture, EachMaskDoesOnlyItsOwnPart) {
  applySettings(*engine, APPLY_SOUNDFONT);
  ASSERT_NE(engine->sampler.bank, nullptr);
  EXPECT_EQ(engine->sampler.trackPrograms[1], 0);
  EXPECT_EQ(engine->viewState.names[0], "C");

  applySettings(*engine, APPLY_PROGRAMS);
  EXPECT_EQ(engine->sampler.trackPrograms[1], 1);
  EXPECT_FLOAT_EQ(engine->sampler.trackVelocities[1], 0.0f);
  EXPECT_EQ(engine->playback.lag.load(), 0);

  const std::uint32_t before = engine->settings.colourRevision;
  applySettings(*engine, APPLY_SOUND);
  EXPECT_FLOAT_EQ(engine->sampler.trackVelocities[1], 1.0f);
  EXPECT_FLOAT_EQ(tuning(), -0.3f);
  EXPECT_EQ(engine->playback.lag.load(), 880);
  EXPECT_EQ(engine->settings.colourRevision, before) << "mask 4 leaves the colours alone";

  applySettings(*engine, APPLY_COLOURS);
  EXPECT_EQ(engine->settings.colourRevision, before + 1);
  engine->settings.values.tuning = 40;
  applySettings(*engine, 3);
  EXPECT_FLOAT_EQ(tuning(), -0.3f) << "an unknown mask does nothing";
}

TEST_F(ApplyFixture, LagIsSetOnlyForTimingsBelowOneHundred) {
  engine->settings.values.midiTiming = 100;
  applySettings(*engine, APPLY_SOUND);
  EXPECT_EQ(engine->playback.lag.load(), 0);
  engine->settings.values.midiTiming = 99;
  applySettings(*engine, APPLY_SOUND);
  EXPECT_EQ(engine->playback.lag.load(), 4356);
}

TEST_F(ApplyFixture, PendingFlagsApplyInMaskOrderAndAreCleared) {
  ApplyFlags& flags = engine->settings.applyFlags;
  EXPECT_FALSE(applyPendingSettings(*engine).any);
  const std::uint32_t colours = engine->settings.colourRevision;
  flags.colours = 1;
  flags.programs = 1;
  flags.intervalChanged = 1;
  engine->settings.values.midiInterval = 7;
  const PendingApplied applied = applyPendingSettings(*engine);
  EXPECT_TRUE(applied.any);
  EXPECT_TRUE(applied.reopen) << "changed instruments reopen the dialog";
  EXPECT_EQ(engine->sampler.trackPrograms[1], 1);
  EXPECT_EQ(engine->playback.noteTimerMs.load(), 7);
  EXPECT_EQ(engine->settings.colourRevision, colours + 1);
  EXPECT_EQ(engine->playback.lag.load(), 0) << "the sound group was not asked for";
  EXPECT_EQ(flags.colours, 0);
  EXPECT_EQ(flags.programs, 0);
  EXPECT_EQ(flags.intervalChanged, 0);

  // A changed SoundFont applies everything; the byte flags are not looked at.
  flags.soundFontChanged = 1;
  EXPECT_TRUE(applyPendingSettings(*engine).reopen);
  EXPECT_NE(engine->sampler.bank, nullptr);
  EXPECT_EQ(engine->playback.lag.load(), 880);
  EXPECT_EQ(flags.soundFontChanged, 0);

  flags.sound = 1;
  EXPECT_FALSE(applyPendingSettings(*engine).reopen) << "levels alone do not reopen";
}

TEST_F(ApplyFixture, AMissingSoundFontIsGivenUpAndReported) {
  applySettings(*engine, APPLY_ALL);
  engine->settings.values.soundFontFile = dir.file("gone.sf2");
  applySettings(*engine, APPLY_SOUNDFONT);
  EXPECT_EQ(engine->sampler.bank, nullptr);
  EXPECT_EQ(prompter.last(),
            "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.");
  engine->settings.values.soundFontFile = "quavrix.sf2";
  applySettings(*engine, APPLY_SOUNDFONT);
  EXPECT_NE(engine->sampler.bank, nullptr);
}

TEST(SettingsApply, IntervalsOutsideTheDialogRangeCountAsZero) {
  EXPECT_EQ(noteTimerMilliseconds(0), 0);
  EXPECT_EQ(noteTimerMilliseconds(12), 12);
  EXPECT_EQ(noteTimerMilliseconds(13), 0);
  EXPECT_EQ(noteTimerMilliseconds(-5), 0);
}

TEST(SettingsStartUp, DefaultFileBesideTheProgramIsLoaded) {
  test::TempDir dir;
  std::filesystem::copy_file(std::string(QUAVRIX_SOURCE_DIR) + "/data/default_settings.xml",
                             dir.file("default_settings.xml"));
  test::ScriptedPrompter prompter;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.prompter = &prompter;
  const auto engine = createEngine(options);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.last();
  EXPECT_EQ(engine->settings.loaded, 1);
  EXPECT_EQ(engine->settings.defaultPath, dir.file("default_settings.xml"));
  EXPECT_EQ(engine->settings.currentPath, "");
  EXPECT_EQ(engine->settings.hasUserFile, 0);
  EXPECT_EQ(engine->settings.values.soundFontFile, "quavrix.sf2");
  EXPECT_EQ(engine->viewState.values, &engine->settings.values);
}

TEST(SettingsStartUp, KeySettingShapesTheKeyTables) {
  test::TempDir dir;
  Settings settings;
  settings.values.cKeyTo = 9;
  ASSERT_EQ(saveSettings(settings, dir.file("default_settings.xml")), 0);
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  const auto engine = createEngine(options);
  EXPECT_EQ(engine->viewState.names[0], "A");
  EXPECT_EQ(engine->viewState.keyClass[3], KEY_TONIC);
}

TEST(SettingsStartUp, MissingDefaultFileLeavesBuiltInValues) {
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.prompter = &prompter;
  const auto engine = createEngine(options);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last(), " Xml Doc : Can not READ SETTING XML \n Terminate this application. ");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Error);
  EXPECT_EQ(engine->settings.loaded, 0);
  EXPECT_EQ(engine->settings.values, SettingValues());
  EXPECT_EQ(engine->viewState.names[0], "C");
}

}  // namespace
}  // namespace quavrix

namespace quavrix {
namespace {

TEST(SettingsAutosave, CloseCheckWritesTheSettingsAutosaveBeforeAsking) {
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.prompter = &prompter;
  const auto engine = createEngine(options);
  engine->paths.wav = dir.file("take1.wav");
  engine->settings.values.tuning = 21;
  prompter.clear();

  // Nothing changed since the last save: no question, no file.
  EXPECT_EQ(closeCheck(*engine), 1);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_FALSE(fileExists(dir.file("take1-autosave.xml")));

  engine->notes.noteHistory.modified = 1;
  prompter.answer(Answer::No);
  EXPECT_EQ(closeCheck(*engine), 0);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last(), "CLOSE\nWITHOUT SAVING ?");
  ASSERT_TRUE(fileExists(dir.file("take1-autosave.xml")));
  Settings back;
  test::ScriptedPrompter quiet;
  loadSettings(back, dir.file("take1-autosave.xml"), quiet);
  EXPECT_EQ(back.values.tuning, 21);

  prompter.answer(Answer::Yes);
  EXPECT_EQ(closeCheck(*engine), 1);
}

TEST(SettingsAutosave, AutosavePointWritesSettingsEvenWhenNotesAreClean) {
  test::TempDir dir;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  const auto engine = createEngine(options);
  engine->paths.wav = dir.file("song.wav");
  EXPECT_EQ(autosaveSettingsAndNotes(*engine), -1) << "clean notes are not written";
  EXPECT_TRUE(fileExists(dir.file("song-autosave.xml")));
}

}  // namespace
}  // namespace quavrix
