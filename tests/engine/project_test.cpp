// SPDX-License-Identifier: GPL-3.0-or-later
// The project commands as a musician meets them: opening, loading, saving and
// quitting keep what is open and unsaved unless the person lets it go.

#include "engine/project.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/paths.h"
#include "engine/project_open.h"
#include "engine/transport.h"
#include "persist/project_file.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "support/engine/project_fixture.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

class Project : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.open()) << f.prompter.last(); }
  Engine& e() { return *f.engine; }
  test::ProjectFixture f;
};

TEST_F(Project, AFailedOrCancelledOpenLeavesTheOpenProjectWithItsEdits) {
  ASSERT_TRUE(f.addNote());
  const std::int32_t note = e().notes.slots[nextLine(e().notes, 0, LINE_BEAT)];
  const std::string bad = f.dir.file("bad.wav");
  std::ofstream(bad) << "not a recording";

  struct Case {
    const char* name;
    Answer closeAnswer;
    bool cancelDialog;
    std::string path;
  };
  for (const Case& c : {Case{"dialog cancelled", Answer::Yes, true, ""},
                        Case{"close check refused", Answer::No, false, ""},
                        Case{"unreadable file", Answer::Yes, false, bad}}) {
    f.prompter.clear();
    f.prompter.answer(c.closeAnswer);
    if (c.cancelDialog) f.files.reply(std::nullopt);
    EXPECT_EQ(openRecording(e(), c.path), 0) << c.name;
    EXPECT_EQ(e().paths.wav, f.wav) << c.name;
    EXPECT_EQ(e().busy, 0) << c.name;
    EXPECT_EQ(e().title, f.wav) << c.name;
    EXPECT_TRUE(hasUnsavedChanges(e())) << c.name;
    EXPECT_EQ(e().notes.slots[nextLine(e().notes, 0, LINE_BEAT)], note) << c.name;
    EXPECT_EQ(e().playback.left, e().recording.left.data()) << c.name;
  }
  EXPECT_EQ(f.prompter.last(), WAV_OPEN_FAILED);

  // A snippet too short to analyse says so on a line of its own.
  const std::string snippet = f.dir.file("snippet.wav");
  ASSERT_TRUE(
      test::WavBuilder().format(2).data(std::vector<std::int16_t>(2 * 4000)).write(snippet));
  EXPECT_EQ(openRecording(e(), snippet), 0);
  EXPECT_EQ(f.prompter.last(),
            std::string(WAV_OPEN_FAILED) + "\n recording shorter than 8192 frames");
}

TEST_F(Project, SaveWithoutAProjectFileAsksForANameThatHoldsTheRecordingsName) {
  ASSERT_TRUE(f.addNote());
  f.files.reply(f.dir.file("take2.dat"));
  EXPECT_EQ(saveProjectData(e()), -1);
  ASSERT_EQ(f.files.requests.size(), 1u);
  EXPECT_TRUE(f.files.requests[0].save);
  // The recording's name in its folder, ready to confirm.
  EXPECT_EQ(f.files.requests[0].initialName, "song.dat");
  EXPECT_EQ(f.files.requests[0].folder + "song.wav", f.wav);
  EXPECT_EQ(f.files.requests[0].filterLabel, "quavrix data (*.dat)");
  EXPECT_EQ(f.prompter.last(), SAVE_AS_NAME_REFUSED);
  EXPECT_TRUE(hasUnsavedChanges(e()));

  const std::string dat = f.dir.file("song-take2.dat");
  f.files.reply(dat);
  EXPECT_EQ(saveProjectData(e()), 0);
  EXPECT_EQ(f.prompter.last(), SAVE_AS_DONE);
  EXPECT_FALSE(hasUnsavedChanges(e()));
  EXPECT_EQ(e().title, dat);
  EXPECT_TRUE(fileExists(dat));
  EXPECT_TRUE(fileExists(f.dir.file("song-take2.xml")));
  std::string wav, listed;
  ASSERT_TRUE(readRecentList(e().paths.recentList, wav, listed));
  EXPECT_EQ(listed, dat);

  // With a project file, Save asks and writes there.
  ASSERT_TRUE(f.addNote());
  f.prompter.answer(Answer::No);
  EXPECT_EQ(saveProjectData(e()), -1);
  EXPECT_TRUE(hasUnsavedChanges(e()));
  f.prompter.answer(Answer::Yes);
  EXPECT_EQ(saveProjectData(e()), 0);
  EXPECT_EQ(f.prompter.shown[f.prompter.shown.size() - 2].text, SAVE_QUESTION);
  EXPECT_EQ(f.prompter.last(), SAVE_DONE);
  EXPECT_FALSE(hasUnsavedChanges(e()));
}

TEST_F(Project, AFailedLoadSaysWhyAndKeepsTheProjectFile) {
  const std::string dat = f.dir.file("song-a.dat");
  f.files.reply(dat);
  ASSERT_EQ(saveProjectDataAs(e()), 0);
  const std::string other = f.dir.file("song-other.dat");
  std::ofstream(other) << "short";

  f.files.reply(other);
  loadProjectData(e());
  EXPECT_NE(f.prompter.last().find(other), std::string::npos) << f.prompter.last();
  EXPECT_NE(f.prompter.last().find("another length"), std::string::npos) << f.prompter.last();
  EXPECT_EQ(e().paths.dat, dat);
  EXPECT_EQ(e().paths.projectSettings, f.dir.file("song-a.xml"));
  EXPECT_EQ(e().title, dat);

  f.files.reply(f.dir.file("song-missing.dat"));
  loadProjectData(e());
  EXPECT_NE(f.prompter.last().find("No such file"), std::string::npos) << f.prompter.last();
  EXPECT_EQ(e().paths.dat, dat);

  f.files.reply(dat);
  loadProjectData(e());
  EXPECT_EQ(e().title, dat);
  EXPECT_FALSE(hasUnsavedChanges(e()));
}

TEST_F(Project, NewAndLoadAskBeforeDroppingEdits) {
  ASSERT_TRUE(f.addNote());
  const std::uint32_t first = nextLine(e().notes, 0, LINE_BEAT);
  f.prompter.answer(Answer::No);
  newProjectData(e());
  EXPECT_NE(e().notes.slots[first], 0);
  EXPECT_EQ(f.prompter.last(), CLOSE_QUESTION);

  f.prompter.answer(Answer::No);
  loadProjectData(e());
  EXPECT_TRUE(f.files.requests.empty()) << "no dialog after No";

  f.prompter.answer(Answer::Yes);
  newProjectData(e());
  EXPECT_EQ(e().notes.slots[first], 0);
  EXPECT_EQ(e().title, NEW_DATA_TITLE);
  EXPECT_TRUE(e().paths.dat.empty());
  EXPECT_FALSE(hasUnsavedChanges(e()));
}

TEST_F(Project, TheCloseCheckAutosavesBeforeAskingAndReportsAFailedAutosave) {
  f.prompter.clear();
  EXPECT_EQ(closeCheck(e()), 1);
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_FALSE(fileExists(f.dir.file("song-autosave_A.dat")));

  ASSERT_TRUE(f.addNote());
  f.prompter.answer(Answer::No);
  EXPECT_EQ(closeCheck(e()), 0);
  EXPECT_EQ(f.prompter.last(), CLOSE_QUESTION);
  EXPECT_EQ(f.prompter.shown.back().icon, Icon::Information);
  EXPECT_TRUE(fileExists(f.dir.file("song-autosave_A.dat")));
  EXPECT_TRUE(fileExists(f.dir.file("song-autosave.xml")));

  // The recording's folder went away: the person hears of it before the question.
  ASSERT_TRUE(f.addNote());
  e().paths.wav = f.dir.file("gone/song.wav");
  f.prompter.clear();
  f.prompter.answer(Answer::Yes);
  EXPECT_EQ(closeCheck(e()), 1);
  ASSERT_EQ(f.prompter.shown.size(), 3u);
  EXPECT_EQ(f.prompter.shown[0].text.rfind("AUTOSAVE\n", 0), 0u);
  EXPECT_NE(f.prompter.shown[1].text.find("song-autosave_B.dat"), std::string::npos);
  EXPECT_EQ(f.prompter.shown[2].text, CLOSE_QUESTION);
}

TEST_F(Project, OpenRecentSaysWhichFileIsMissing) {
  const std::string dat = f.dir.file("song-r.dat");
  f.files.reply(dat);
  ASSERT_EQ(saveProjectDataAs(e()), 0);
  const std::string list = e().paths.recentList;
  const auto writeList = [&](const std::string& w, const std::string& d) {
    std::ofstream(list) << w << "\n" << d << "\n";
  };
  struct Case {
    std::string wav, dat;
    const char* message;
  };
  for (const Case& c :
       {Case{f.wav, f.dir.file("song-gone.dat"),
             "FILE OPEN\n Can not find recently saved .dat file "},
        Case{f.dir.file("gone.wav"), dat, "FILE OPEN\n Can not find recently saved .wav file "}}) {
    writeList(c.wav, c.dat);
    openRecentProject(e());
    EXPECT_EQ(f.prompter.last(), c.message);
  }
  std::filesystem::remove(list);
  openRecentProject(e());
  EXPECT_EQ(f.prompter.last(), "FILE OPEN\n Can not find recently saved .txt file ");

  writeList(f.wav, dat);
  f.prompter.clear();
  openRecentProject(e());
  EXPECT_TRUE(f.prompter.shown.empty()) << f.prompter.last();
  EXPECT_EQ(e().title, dat);
  EXPECT_EQ(e().paths.dat, dat);
}

TEST_F(Project, SaveWhilePlayingCompactsTheNotesAndPlaysOn) {
  f.files.reply(f.dir.file("song-p.dat"));
  ASSERT_EQ(saveProjectDataAs(e()), 0);
  ASSERT_TRUE(f.addNote());
  togglePlay(e());
  ASSERT_TRUE(isPlaying(e().playback));
  f.prompter.answer(Answer::Yes);
  EXPECT_EQ(saveProjectData(e()), 0);
  EXPECT_TRUE(isPlaying(e().playback));
  EXPECT_TRUE(e().notes.noteHistory.empty()) << "the commit clears the note history";
  stopPlaying(e());
}

}  // namespace
}  // namespace quavrix
