// SPDX-License-Identifier: GPL-3.0-or-later
// An installed program: its shipped files in <prefix>/share/quavrix/, which
// the person may not write, and the person's own files in their
// configuration folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/paths.h"
#include "engine/project.h"
#include "engine/project_open.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "support/engine/project_fixture.h"

namespace quavrix {
namespace {

namespace fs = std::filesystem;

class InstalledProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(share);
    fs::create_directories(f.dir.file("usr/bin"));
    for (const char* name : {"default_settings.xml", "quavrix.sf2"})
      fs::rename(f.dir.file(name), share + name);
    before = installed();
  }

  // A new start of the program, as after quitting.
  std::unique_ptr<Engine> start(const std::string& config) {
    EngineOptions options;
    options.programPath = f.dir.file("usr/bin/quavrix");
    options.configFolder = config;
    options.prompter = &f.prompter;
    options.files = &f.files;
    options.console = &f.console;
    options.audioDevice = "null";
    auto engine = createEngine(options);
    engine->soundFontSettle = std::chrono::milliseconds(0);
    return engine;
  }

  std::set<std::string> installed() const {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(f.dir.file("usr")))
      names.insert(entry.path().string());
    return names;
  }

  // Opens the recording, adds a note and saves it under a new project name.
  void saveProject(Engine& engine, const std::string& dat) {
    ASSERT_EQ(openRecording(engine, f.wav), 1) << f.prompter.last();
    ASSERT_TRUE(f.addNote(&engine));
    f.files.reply(dat);
    f.prompter.clear();
    ASSERT_EQ(saveProjectDataAs(engine), 0) << f.prompter.last();
  }

  test::ProjectFixture f;
  const std::string share = f.dir.file("usr/share/quavrix/");
  const std::string config = f.dir.file("home/.config/quavrix/");
  std::set<std::string> before;
};

TEST_F(InstalledProgram, ASavedProjectIsTheRecentOneAfterARestartAndTheInstallStaysAsShipped) {
  auto engine = start(config);
  EXPECT_EQ(engine->paths.dataFolder, share);
  const std::string dat = f.dir.file("song-take.dat");
  saveProject(*engine, dat);
  EXPECT_EQ(f.prompter.last(), SAVE_AS_DONE);
  EXPECT_EQ(engine->paths.soundFont, "quavrix.sf2");  // found in share/quavrix/
  engine.reset();

  auto again = start(config);
  RecentProject recent;
  ASSERT_TRUE(checkRecentProject(*again, recent)) << f.prompter.last();
  EXPECT_EQ(recent.wav, f.wav);
  EXPECT_EQ(recent.dat, dat);
  EXPECT_TRUE(fileExists(config + "recent_files.txt"));
  EXPECT_EQ(installed(), before);
}

TEST_F(InstalledProgram, AListThatCannotBeWrittenIsReportedOnceAndTheProjectCountsAsSaved) {
  // A plain file where the folder would go: not even the superuser can write there.
  std::ofstream(f.dir.file("home")) << "not a folder";
  auto engine = start(config);
  saveProject(*engine, f.dir.file("song-a.dat"));
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text.rfind(RECENT_LIST_NOT_WRITTEN, 0), 0u);
  EXPECT_EQ(f.prompter.last(), SAVE_AS_DONE);
  EXPECT_FALSE(hasUnsavedChanges(*engine));
  EXPECT_TRUE(fileExists(f.dir.file("song-a.dat")));

  ASSERT_TRUE(f.addNote(engine.get()));
  f.files.reply(f.dir.file("song-b.dat"));
  f.prompter.clear();
  ASSERT_EQ(saveProjectDataAs(*engine), 0);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.last(), SAVE_AS_DONE);
  EXPECT_FALSE(hasUnsavedChanges(*engine));
}

TEST_F(InstalledProgram, StartUpSettingsSavedByThePersonWinOverTheShippedOnes) {
  auto engine = start(config);
  const int shipped = engine->settings.values.tuning;
  engine->settings.values.tuning = shipped + 7;
  ASSERT_EQ(saveDefaultSettings(engine->settings), 0);
  EXPECT_TRUE(fileExists(config + "default_settings.xml"));
  EXPECT_EQ(installed(), before);

  EXPECT_EQ(start(config)->settings.values.tuning, shipped + 7);
  EXPECT_EQ(start(f.dir.file("other/"))->settings.values.tuning, shipped);
}

}  // namespace
}  // namespace quavrix
