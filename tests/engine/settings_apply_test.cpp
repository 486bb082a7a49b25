// The apply step and the settings load at start-up.

#include "engine/settings_apply.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "engine/engine.h"
#include "persist/settings_file.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

// Records what the apply step hands to the sampler and playback side.
class RecordingTarget final : public SettingsSoundTarget {
 public:
  void reloadSoundFont() override { calls.push_back("reload"); }
  void applyPrograms(const SettingValues& v) override {
    calls.push_back("programs " + std::to_string(v.trackProgram[1]));
  }
  void applyLevelsAndTuning(const SettingValues& v) override {
    calls.push_back("levels " + std::to_string(v.tuning));
  }
  void setPlaybackLag(std::int32_t frames) override {
    calls.push_back("lag " + std::to_string(frames));
  }
  void setNoteTimerDue(std::int64_t due) override {
    calls.push_back("timer " + std::to_string(due));
  }
  std::vector<std::string> calls;
};

struct ApplyFixture : ::testing::Test {
  ApplyFixture() {
    EngineOptions options;
    options.programPath = dir.file("quavrix");
    options.prompter = &prompter;
    engine = createEngine(options);
    engine->settings.soundTarget = &target;
    SettingValues& v = engine->settings.values;
    v.trackProgram[1] = 34;
    v.tuning = -30;
    v.cKeyTo = 9;
    v.judgingTolerance = 6;
    v.autoFillTolerance = 12;
    v.midiTiming = 20;
    v.displayMagnification = 7;
  }
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  RecordingTarget target;
  std::unique_ptr<Engine> engine;
};

TEST_F(ApplyFixture, SoundMaskReachesViewBeatEditorAndSampler) {
  const std::uint32_t colours = engine->settings.colourRevision;
  applySettings(*engine, APPLY_SOUND);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"levels -30", "lag 880"}));
  EXPECT_EQ(engine->viewState.names[0], "A");
  EXPECT_EQ(engine->viewState.keyClass[3], KEY_TONIC);
  EXPECT_EQ(engine->viewState.tuningText, "-30");
  EXPECT_FLOAT_EQ(engine->notes.judgingTolerance, 0.06f);
  EXPECT_FLOAT_EQ(engine->notes.autoFillTolerance, 0.12f);
  EXPECT_FLOAT_EQ(engine->viewState.spectrumGain, 7.0f);
  EXPECT_EQ(engine->settings.colourRevision, colours) << "mask 4 leaves the colours alone";
}

TEST_F(ApplyFixture, LagIsSetOnlyForTimingsBelowOneHundred) {
  engine->settings.values.midiTiming = 100;
  applySettings(*engine, APPLY_SOUND);
  engine->settings.values.midiTiming = 99;
  applySettings(*engine, APPLY_SOUND);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"levels -30", "levels -30", "lag 4356"}));
}

TEST_F(ApplyFixture, EachMaskDoesOnlyItsOwnPart) {
  applySettings(*engine, APPLY_SOUNDFONT);
  EXPECT_EQ(target.calls, std::vector<std::string>{"reload"});
  EXPECT_EQ(engine->viewState.names[0], "C");
  target.calls.clear();
  applySettings(*engine, APPLY_PROGRAMS);
  EXPECT_EQ(target.calls, std::vector<std::string>{"programs 34"});
  target.calls.clear();
  const std::uint32_t before = engine->settings.colourRevision;
  applySettings(*engine, APPLY_COLOURS);
  EXPECT_TRUE(target.calls.empty());
  EXPECT_EQ(engine->settings.colourRevision, before + 1);
  EXPECT_EQ(engine->viewState.tuningText, "-  0");
  applySettings(*engine, 3);
  EXPECT_TRUE(target.calls.empty());
}

TEST_F(ApplyFixture, MaskZeroAppliesEverythingInOrder) {
  const std::uint32_t before = engine->settings.colourRevision;
  applySettings(*engine, APPLY_ALL);
  EXPECT_EQ(target.calls,
            (std::vector<std::string>{"reload", "programs 34", "levels -30", "lag 880"}));
  EXPECT_EQ(engine->settings.colourRevision, before + 1);
  EXPECT_EQ(engine->viewState.tuningText, "-30");
}

TEST_F(ApplyFixture, PendingFlagsApplyInMaskOrderAndAreCleared) {
  ApplyFlags& flags = engine->settings.applyFlags;
  EXPECT_FALSE(applyPending(*engine));
  flags.colours = 1;
  flags.programs = 1;
  flags.intervalChanged = 1;
  engine->settings.values.midiInterval = 4;
  EXPECT_TRUE(applyPending(*engine));
  EXPECT_EQ(target.calls, (std::vector<std::string>{"programs 34", "timer -40001"}));
  EXPECT_EQ(flags.colours, 0);
  EXPECT_EQ(flags.programs, 0);
  EXPECT_EQ(flags.intervalChanged, 0);

  // A changed SoundFont applies everything; the byte flags are not looked at.
  target.calls.clear();
  flags.soundFontChanged = 1;
  flags.sound = 1;
  EXPECT_TRUE(applyPending(*engine));
  EXPECT_EQ(target.calls,
            (std::vector<std::string>{"reload", "programs 34", "levels -30", "lag 880"}));
  EXPECT_EQ(flags.soundFontChanged, 0);
  EXPECT_EQ(flags.sound, 0);
}

TEST(SettingsApply, IntervalsOutsideTheDialogRangeCountAsZero) {
  EXPECT_EQ(noteTimerDueTime(0), -1);
  EXPECT_EQ(noteTimerDueTime(12), -120001);
  EXPECT_EQ(noteTimerDueTime(13), -1);
  EXPECT_EQ(noteTimerDueTime(-5), -1);
}

TEST(SettingsApply, WithoutASoundTargetTheViewStillFollows) {
  test::TempDir dir;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  auto engine = createEngine(options);
  engine->settings.values.tuning = 15;
  engine->settings.values.midiTiming = 10;
  applySettings(*engine, APPLY_ALL);
  EXPECT_EQ(engine->viewState.tuningText, "15");
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
  EXPECT_EQ(confirmDiscardProject(*engine), 1);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_FALSE(fileExists(dir.file("take1-autosave.xml")));

  engine->notes.noteHistory.modified = 1;
  prompter.answer(Answer::No);
  EXPECT_EQ(confirmDiscardProject(*engine), 0);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last(), "CLOSE\nWITHOUT SAVING ?");
  ASSERT_TRUE(fileExists(dir.file("take1-autosave.xml")));
  Settings back;
  test::ScriptedPrompter quiet;
  loadSettings(back, dir.file("take1-autosave.xml"), quiet);
  EXPECT_EQ(back.values.tuning, 21);

  prompter.answer(Answer::Yes);
  EXPECT_EQ(confirmDiscardProject(*engine), 1);
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
