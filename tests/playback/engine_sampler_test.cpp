// The sampler inside the engine: the settings apply step reaches it through
// the engine's settings target, from the SoundFont to programs and tuning.

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/settings_apply.h"
#include "persist/settings_file.h"
#include "support/scripted_prompter.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

TEST(EngineSampler, ApplyingTheSettingsLoadsTheBankAndDrivesTheSampler) {
  test::TempDir dir;
  test::Sf2Sample s;
  s.name = "s";
  s.points = test::sinePoints(440.0, 44100.0, 44100);
  ASSERT_TRUE(test::writeSf2File(dir.file("quavrix.sf2"), test::singleSampleFont(s)));
  Settings defaults;
  defaults.values.soundFontFile = "quavrix.sf2";
  defaults.values.trackProgram[4] = 1;
  defaults.values.tickProgram = 1;
  defaults.values.tickNote = 42;
  defaults.values.level[4 + LEVEL_TRACK_OFFSET] = 1.0f;
  defaults.values.tuning = 25;
  ASSERT_EQ(saveSettings(defaults, dir.file("default_settings.xml")), 0);

  test::ScriptedPrompter prompter;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.prompter = &prompter;
  const auto engine = createEngine(options);
  ASSERT_EQ(engine->settings.loaded, 1);
  ASSERT_NE(engine->settings.soundTarget, nullptr);
  EXPECT_EQ(engine->sampler.bank, nullptr);  // nothing is loaded before a project opens

  applySettings(*engine, APPLY_ALL);
  ASSERT_NE(engine->sampler.bank, nullptr);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.last();
  EXPECT_EQ(engine->paths.soundFont, "quavrix.sf2");
  EXPECT_EQ(engine->sampler.trackPrograms[4], 1);
  EXPECT_EQ(engine->sampler.tickNote, 42);
  EXPECT_FLOAT_EQ(engine->sampler.trackVelocities[4], 1.0f);
  EXPECT_FLOAT_EQ(SamplerChannel(engine->sampler, 0)->tuning, 0.25f);
  EXPECT_EQ(samplerTrackNoteOn(engine->sampler, 4, 69), 1);

  // A SoundFont that is gone: the bank is given up and the person is told.
  engine->settings.values.soundFontFile = dir.file("gone.sf2");
  applySettings(*engine, APPLY_SOUNDFONT);
  EXPECT_EQ(engine->sampler.bank, nullptr);
  EXPECT_EQ(prompter.last(),
            "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.");
  engine->settings.values.soundFontFile = "quavrix.sf2";
  applySettings(*engine, APPLY_SOUNDFONT);
  EXPECT_NE(engine->sampler.bank, nullptr);
}

}  // namespace
}  // namespace quavrix
