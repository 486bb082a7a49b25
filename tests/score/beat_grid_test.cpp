// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/beat_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "score/note_edit.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

TEST(BeatGrid, AllocationSizesAndTheLastPosition) {
  test::ScriptedPrompter prompter;
  auto notes = std::make_unique<NoteStore>();
  ASSERT_EQ(allocateNotes(*notes, 1000000, prompter), 1);
  EXPECT_EQ(notes->positions, 31250u);
  EXPECT_EQ(notes->lineMap.size(), 31250u + 32);
  EXPECT_EQ(notes->slots.size(), 31250u + 32);
  EXPECT_EQ(notes->noteOffs.size(), 31250u + 32);
  setLine(*notes, 31250, LINE_BEAT, true);
  EXPECT_EQ(notes->lineMap[31250], 0);
  EXPECT_EQ(notes->gridChanged, 0);
  EXPECT_TRUE(notes->gridHistory.empty());
  setLine(*notes, 31249, LINE_BEAT, true);
  EXPECT_EQ(notes->lineMap[31249], LINE_BEAT);
  EXPECT_EQ(notes->gridChanged, 1);
  EXPECT_EQ(notes->autosaveDirty, 1);
  EXPECT_TRUE(prompter.shown.empty());
}

TEST(BeatGrid, SeedingMakesOneBeatPerRunOfOnsets) {
  ScoreFixture f(64);
  f.notes->lineMap[10] = LINE_BEAT | LINE_START;
  f.notes->startMarker = 10;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> onsets(64, 0.0f);
  const float head[] = {0, 0, 3.5f, 2.0f, 0, 1.0f};
  std::copy(std::begin(head), std::end(head), onsets.begin());
  onsets[20] = nan;
  seedBeats(*f.notes, onsets);
  std::vector<std::uint32_t> beats;
  for (std::uint32_t p = 0; p < 64; ++p) {
    if (f.notes->lineMap[p]) beats.push_back(p);
  }
  EXPECT_EQ(beats, (std::vector<std::uint32_t>{2, 5, 20}));
  EXPECT_EQ(f.notes->lineMap[2], LINE_BEAT);
  EXPECT_EQ(f.notes->startMarker, 0u);
  EXPECT_TRUE(f.notes->gridHistory.empty());
}

TEST(BeatGrid, MeasureInterval) {
  ScoreFixture f;
  f.addLines({1000, 1500, 2100});
  f.notes->lineMap[1200] = LINE_DIVISION;
  EXPECT_FLOAT_EQ(measureInterval(*f.notes, 900, 2200), 550.0f);
  EXPECT_FLOAT_EQ(measureInterval(*f.notes, 900, 2100), 500.0f);  // end excluded
  EXPECT_EQ(measureInterval(*f.notes, 1400, 1600), 0.0f);
  EXPECT_EQ(measureInterval(*f.notes, 2200, 900), 0.0f);
  f.notes->intervalFixed = 1;
  EXPECT_EQ(measureInterval(*f.notes, 900, 2200), 0.0f);
}

TEST(BeatGrid, BeatsInBar) {
  ScoreFixture f;
  f.addLines({1500, 2000, 2500, 3500});
  f.addLines({1000, 3000}, LINE_BEAT | LINE_BAR);
  EXPECT_EQ(beatsInBar(*f.notes, 900, 3100), 4);
  EXPECT_EQ(beatsInBar(*f.notes, 900, 3600), 4);   // beats after the last bar do not count
  EXPECT_EQ(beatsInBar(*f.notes, 1000, 3100), 0);  // start is excluded: one bar line only
  EXPECT_EQ(beatsInBar(*f.notes, 1100, 3100), 0);
  EXPECT_EQ(beatsInBarText(4), "   4");
  EXPECT_EQ(beatsInBarText(0), "Unknown");
}

TEST(BeatGrid, TempoText) {
  NoteStore notes;
  EXPECT_EQ(intervalText(notes), "Unknown");
  notes.beatInterval = 441.0f;
  EXPECT_EQ(intervalText(notes), "187.50");
  notes.intervalFixed = 1;
  EXPECT_EQ(intervalText(notes), "Fixed 187.50");
  notes.beatInterval = -1.0f;
  EXPECT_EQ(intervalText(notes), "Unknown");
}

TEST(BeatGrid, LineIndexHoldsALineOnEveryPosition) {
  ScoreFixture f(5000);
  NoteStore& n = *f.notes;
  std::fill(n.lineMap.begin(), n.lineMap.begin() + 5000, LINE_BEAT);
  n.slots[4990] = makeNote(1, 10, 3);
  n.slots[4991] = makeNote(1, 11, 50);  // past the second-to-last line: keeps its end
  rebuildLineIndex(n);
  EXPECT_EQ(n.lineCount, 5000u);
  EXPECT_EQ(n.lineIndex[4999], 4999u);
  compactNotes(n);
  EXPECT_EQ(n.slots[4990], makeNote(1, 10, 3));
  EXPECT_EQ(n.slots[4991], makeNote(1, 11, 50));
}

TEST(Compaction, DeletedLineLetsTheNoteRunToTheNextLine) {
  ScoreFixture f;
  f.addLines({1000, 1600, 2200, 2800});
  NoteStore& n = *f.notes;
  n.slots[1000] = makeNote(3, 40, 599);
  n.lineMap[1600] = 0;
  rebuildLineIndex(n);
  compactNotes(n);
  EXPECT_EQ(n.slots[1000], makeNote(3, 40, 1199));
  EXPECT_EQ(n.noteOffs[2199], 0x0328);

  // With the last line right after the gap, that line is never used.
  ScoreFixture g;
  g.addLines({1000, 2200});
  g.notes->slots[1000] = makeNote(3, 40, 599);
  compactNotes(*g.notes);
  EXPECT_EQ(g.notes->slots[1000], makeNote(3, 40, 599));
}

TEST(Compaction, PacksLiveNotesAndDropsDeletedAndOrphans) {
  ScoreFixture f;
  f.addLines({1000, 1020, 2000});
  NoteStore& n = *f.notes;
  n.slots[1000] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(makeNote(1, 1, 19)) | NOTE_DELETED);
  n.slots[1001] = makeNote(1, 2, 18);
  n.slots[1002] = makeNote(1, 3, 17);
  n.slots[1010] = makeNote(1, 4, 9);  // orphan: after an empty slot
  compactNotes(n);
  EXPECT_EQ(n.slots[1000], makeNote(1, 2, 19));
  EXPECT_EQ(n.slots[1001], makeNote(1, 3, 18));
  EXPECT_EQ(n.slots[1002], 0);
  EXPECT_EQ(n.slots[1010], 0);
  EXPECT_EQ(n.noteOffs[1019], 0x0102);
  EXPECT_EQ(n.noteOffs[1018], 0x0103);
}

TEST(Compaction, RunsReachingIntoTheNextLineAreNotDuplicated) {
  ScoreFixture f;
  f.addLines({1000, 1005, 2000});
  NoteStore& n = *f.notes;
  for (int k = 0; k < 8; ++k) n.slots[1000 + k] = makeNote(2, 10 + k, 4 - std::min(k, 4));
  compactNotes(n);
  int live = 0;
  for (std::uint32_t p = 990; p < 1040; ++p) live += n.slots[p] != 0;
  EXPECT_EQ(live, 8);
}

TEST(NoteOffs, CollidingEndsStepBackAndDeletedOnesGiveWay) {
  ScoreFixture f;
  NoteStore& n = *f.notes;
  f.addLines({1000, 1600});
  n.slots[1000] = makeNote(1, 10, 599);
  n.slots[1001] = makeNote(1, 11, 598);
  n.slots[1002] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(makeNote(1, 12, 597)) | NOTE_DELETED);
  buildNoteOffs(n);
  EXPECT_EQ(n.noteOffs[1599], 0x010A);
  EXPECT_EQ(n.noteOffs[1598], 0x010B);
  EXPECT_EQ(n.noteOffs[1597], 0x010C | NOTE_OFF_DELETED);
  // A live note-off may take the place of a deleted one.
  EXPECT_TRUE(placeNoteOff(n, 1599, 0x010D));
  EXPECT_EQ(n.noteOffs[1597], 0x010D);
  for (int k = 0; k < 13; ++k) ASSERT_TRUE(placeNoteOff(n, 1599, 0x0120 + k));
  EXPECT_FALSE(placeNoteOff(n, 1599, 0x0140));
}

}  // namespace
}  // namespace quavrix
