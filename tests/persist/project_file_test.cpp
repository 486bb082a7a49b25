// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/project_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "score/beat_grid.h"
#include "score/note_edit.h"
#include "support/score_fixture.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<NoteStore> scoreOfFrames(std::uint32_t frames) {
  auto notes = std::make_unique<NoteStore>();
  test::ScriptedPrompter prompter;
  allocateNotes(*notes, frames, prompter);
  return notes;
}

TEST(ProjectFile, EvenCountHasNoPadByte) {
  test::TempDir dir;
  auto notes = scoreOfFrames(1000000);
  notes->lineMap[1000] = LINE_BEAT;
  notes->slots[1000] = makeNote(3, 40, 1199);
  test::ScriptedPrompter prompter;
  ASSERT_EQ(writeProject(*notes, dir.file("p.dat"), prompter), 0);
  const auto bytes = readBytes(dir.file("p.dat"));
  ASSERT_EQ(bytes.size(), 156254u);
  EXPECT_EQ(bytes[0], 0x12);  // 31250 = 0x7A12
  EXPECT_EQ(bytes[1], 0x7A);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[3], 0);
  EXPECT_EQ(bytes[4 + 1000], LINE_BEAT);
  const std::size_t at = 4 + 31250 + 4000;
  EXPECT_EQ(bytes[at], 0xAF);
  EXPECT_EQ(bytes[at + 1], 0x04);
  EXPECT_EQ(bytes[at + 2], 0x28);
  EXPECT_EQ(bytes[at + 3], 0x03);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("p.dat.tmp")));
}

TEST(ProjectFile, OddCountIsPaddedWithASpace) {
  test::TempDir dir;
  auto notes = scoreOfFrames(1000032);
  ASSERT_EQ(notes->positions, 31251u);
  notes->slots[1000] = makeNote(3, 40, 1199);
  test::ScriptedPrompter prompter;
  ASSERT_EQ(writeProject(*notes, dir.file("p.dat"), prompter), 0);
  const auto bytes = readBytes(dir.file("p.dat"));
  ASSERT_EQ(bytes.size(), 156260u);
  EXPECT_EQ(bytes[31255], 0x20);
  const std::size_t at = 4 + 31251 + 1 + 4000;
  EXPECT_EQ(bytes[at], 0xAF);
  EXPECT_EQ(bytes[at + 3], 0x03);
}

TEST(ProjectFile, RoundTripRestoresMapSlotsNoteOffsAndMarkers) {
  test::TempDir dir;
  ScoreFixture f(12001);
  f.addLines({1000, 1600, 2200, 9000});
  f.notes->lineMap[2000] = LINE_BEAT | LINE_BAR | LINE_START;
  f.notes->lineMap[9000] = LINE_BEAT | LINE_BAR | LINE_END;
  f.refresh();
  LastNote last;
  ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 3, last, f.at(40, 1000), f.at(40, 1600)), 1);
  ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 3, last, f.at(41, 1000), f.at(41, 1600)), 1);
  ASSERT_EQ(deleteNote(*f.notes, 3, 41, 1000), 1);
  buildNoteOffs(*f.notes);
  ASSERT_EQ(writeProject(*f.notes, dir.file("p.dat"), f.prompter), 0);

  ScoreFixture g(12001);
  g.notes->startMarker = 77;
  g.notes->lineMap[5000] = LINE_BEAT;  // replaced by the file
  ASSERT_EQ(readProject(*g.notes, dir.file("p.dat")), 0);
  buildNoteOffs(*g.notes);
  EXPECT_EQ(g.notes->lineMap, f.notes->lineMap);
  EXPECT_EQ(g.notes->slots, f.notes->slots);
  EXPECT_EQ(g.notes->noteOffs, f.notes->noteOffs);
  EXPECT_EQ(g.notes->startMarker, 2000u);
  EXPECT_EQ(g.notes->endMarker, 9000u);
}

TEST(ProjectFile, ForeignOrShortFilesAreRefusedAndChangeNothing) {
  test::TempDir dir;
  auto small = scoreOfFrames(320 * 32);
  small->lineMap[100] = LINE_BEAT;
  test::ScriptedPrompter prompter;
  ASSERT_EQ(writeProject(*small, dir.file("small.dat"), prompter), 0);

  auto notes = scoreOfFrames(400 * 32);
  notes->lineMap[50] = LINE_BEAT | LINE_END;
  notes->endMarker = 50;
  const auto map = notes->lineMap;
  EXPECT_EQ(readProject(*notes, dir.file("small.dat")), -1);  // another recording's length
  EXPECT_EQ(readProject(*notes, dir.file("missing.dat")), -1);

  auto same = scoreOfFrames(400 * 32);
  same->lineMap[100] = LINE_BEAT;
  ASSERT_EQ(writeProject(*same, dir.file("full.dat"), prompter), 0);
  auto bytes = readBytes(dir.file("full.dat"));
  bytes.resize(bytes.size() - 1);
  writeBytes(dir.file("short.dat"), bytes);
  EXPECT_EQ(readProject(*notes, dir.file("short.dat")), -1);
  EXPECT_EQ(notes->lineMap, map);
  EXPECT_EQ(notes->endMarker, 50u);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(readProject(*notes, dir.file("full.dat")), 0);
  EXPECT_EQ(notes->lineMap[100], LINE_BEAT);
  EXPECT_EQ(notes->endMarker, 0u);
}

TEST(ProjectFile, FilesThatCannotBeReadGiveTheReason) {
  test::TempDir dir;
  auto notes = scoreOfFrames(400 * 32);
  for (auto [path, why] : test::unreadablePaths(dir)) {
    if (why == "Is a directory") why = "it is a folder";
    std::string reason;
    EXPECT_EQ(readProject(*notes, path, &reason), -1) << path;
    EXPECT_EQ(reason, why) << path;
  }
}

TEST(ProjectFile, FailedSaveShowsTheMessageAndKeepsTheOldFile) {
  test::TempDir dir;
  auto notes = scoreOfFrames(400 * 32);
  test::ScriptedPrompter prompter;
  EXPECT_EQ(writeProject(*notes, dir.file("no/such/folder/p.dat"), prompter), -1);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "SAVE Dat\n ERROR : .dat fopen");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Error);

  // A folder standing where the file should go: the rename fails, nothing is lost.
  std::filesystem::create_directory(dir.file("taken.dat"));
  std::filesystem::create_directory(dir.file("taken.dat/keep"));
  EXPECT_EQ(writeProject(*notes, dir.file("taken.dat"), prompter), -1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.dat/keep")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("taken.dat.tmp")));
}

TEST(RecentList, HoldsTwoLines) {
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  const std::string list = dir.file("recent_files.txt");
  ASSERT_EQ(writeRecentList(list, "/m/take1.wav", "/m/take1.dat", prompter), 0);
  const auto bytes = readBytes(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "/m/take1.wav\n/m/take1.dat\n");
  std::string wav, dat;
  ASSERT_TRUE(readRecentList(list, wav, dat));
  EXPECT_EQ(wav, "/m/take1.wav");
  EXPECT_EQ(dat, "/m/take1.dat");

  EXPECT_EQ(writeRecentList(dir.file("no/such/recent_files.txt"), "a", "b", prompter), -1);
  EXPECT_EQ(prompter.last(), "SAVE Dat\n ERROR : recent_files.txt fopen");
  EXPECT_EQ(prompter.shown.back().icon, Icon::Error);
}

}  // namespace
}  // namespace quavrix
