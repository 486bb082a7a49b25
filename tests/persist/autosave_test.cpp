// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/autosave.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "persist/dat_codec.h"
#include "score/note_edit.h"
#include "support/score_fixture.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

TEST(Autosave, NamesFollowTheRecording) {
  EXPECT_EQ(autosavePath("D:\\music\\take1.wav", 0), "D:\\music\\take1-autosave_A.dat");
  EXPECT_EQ(autosavePath("D:\\music\\take1.wav", 1), "D:\\music\\take1-autosave_B.dat");
  EXPECT_EQ(autosavePath("/home/me/take1.wav", 2), "/home/me/take1-autosave_C.dat");
}

TEST(Autosave, RotatesThroughThreeFilesWhileDirty) {
  test::TempDir dir;
  ScoreFixture f(1000);
  NoteStore& n = *f.notes;
  const std::string wav = dir.file("take1.wav");

  EXPECT_EQ(autosaveProject(n, wav), -1);  // nothing changed yet
  EXPECT_FALSE(std::filesystem::exists(dir.file("take1-autosave_A.dat")));

  const char* names[] = {"take1-autosave_A.dat", "take1-autosave_B.dat", "take1-autosave_C.dat",
                         "take1-autosave_A.dat"};
  for (int k = 0; k < 4; ++k) {
    n.lineMap[100 + k] = LINE_BEAT;
    n.autosaveDirty = 1;
    ASSERT_EQ(autosaveProject(n, wav), 0) << k;
    EXPECT_EQ(n.autosaveDirty, 0);
    const std::string path = dir.file(names[k]);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(std::filesystem::file_size(path), scoreFileSize(1000));
  }
  // The fourth overwrote _A with the newest score.
  auto copy = std::make_unique<NoteStore>();
  test::ScriptedPrompter prompter;
  allocateNotes(*copy, 1000 * FRAMES_PER_POSITION, prompter);
  ASSERT_EQ(readScoreFile(*copy, dir.file(names[3])), 0);
  EXPECT_EQ(copy->lineMap[103], LINE_BEAT);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(Autosave, UnwritableFolderIsSkippedSilentlyAndStaysDirty) {
  ScoreFixture f(1000);
  f.notes->autosaveDirty = 1;
  EXPECT_EQ(autosaveProject(*f.notes, "/no/such/folder/take1.wav"), -1);
  EXPECT_EQ(f.notes->autosaveDirty, 1);
  EXPECT_EQ(f.notes->autosaveRotation, 1);
  EXPECT_TRUE(f.prompter.shown.empty());
}

}  // namespace
}  // namespace quavrix
