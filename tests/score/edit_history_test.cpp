// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/edit_history.h"

#include <gtest/gtest.h>

#include "score/beat_grid.h"
#include "score/note_edit.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

TEST(GridHistory, OneOperationIsUndoneAndRedoneAsAGroup) {
  ScoreFixture f;
  NoteStore& n = *f.notes;
  n.gridHistory.groupStart = 1;
  for (std::uint32_t p : {1000u, 1500u, 2000u, 2500u, 3000u}) setLine(n, p, LINE_BEAT, true);
  ASSERT_EQ(n.gridHistory.count, 5);
  EXPECT_EQ(n.gridHistory.entries[0].oldByte, 0);
  EXPECT_EQ(n.gridHistory.entries[0].newByte, LINE_BEAT);
  for (int k = 1; k < 5; ++k) {
    EXPECT_EQ(n.gridHistory.entries[k].oldByte, LINE_GROUP_MARK) << k;
    EXPECT_EQ(n.gridHistory.entries[k].newByte, LINE_GROUP_MARK | LINE_BEAT) << k;
  }
  EXPECT_EQ(n.gridHistory.modified, 1);
  // A second operation of its own.
  n.gridHistory.groupStart = 1;
  setLine(n, 1000, LINE_BEAT | LINE_LOCK, true);

  undoGrid(n);
  EXPECT_EQ(n.lineMap[1000], LINE_BEAT);
  undoGrid(n);
  for (std::uint32_t p : {1000u, 1500u, 2000u, 2500u, 3000u}) EXPECT_EQ(n.lineMap[p], 0) << p;
  EXPECT_EQ(n.lineCount, 0u);
  EXPECT_TRUE(n.gridHistory.empty());
  undoGrid(n);  // nothing left: nothing happens
  EXPECT_EQ(n.gridHistory.count, 0);

  redoGrid(n);
  for (std::uint32_t p : {1000u, 1500u, 2000u, 2500u, 3000u}) {
    EXPECT_EQ(n.lineMap[p], LINE_BEAT) << p;
  }
  EXPECT_EQ(n.lineCount, 5u);
  redoGrid(n);
  EXPECT_EQ(n.lineMap[1000], LINE_BEAT | LINE_LOCK);
  EXPECT_FALSE(n.gridHistory.canRedo());

  // A new change drops what could still be redone.
  undoGrid(n);
  n.gridHistory.groupStart = 1;
  setLine(n, 4000, LINE_BEAT, true);
  EXPECT_FALSE(n.gridHistory.canRedo());
  redoGrid(n);
  EXPECT_EQ(n.lineMap[1000], LINE_BEAT);
}

TEST(GridHistory, UndoRestoresTheMarkerPositions) {
  ScoreFixture f;
  NoteStore& n = *f.notes;
  n.lineMap[2000] = LINE_BEAT | LINE_BAR;
  n.gridHistory.groupStart = 1;
  setLine(n, 2000, LINE_BEAT | LINE_BAR | LINE_START, true);
  n.startMarker = 2000;
  undoGrid(n);
  EXPECT_EQ(n.startMarker, 0u);
  redoGrid(n);
  EXPECT_EQ(n.startMarker, 2000u);
}

TEST(GridHistory, TrimKeepsTheMostRecentEntriesInOrder) {
  ScoreFixture f(10000);
  NoteStore& n = *f.notes;
  constexpr int WRITES = 2100;
  for (int k = 0; k < WRITES; ++k) {
    n.gridHistory.groupStart = 1;
    setLine(n, 5000 + k, LINE_BEAT, true);
  }
  // 2042 writes fill the history up to its trim point; it keeps 1024 of them.
  EXPECT_EQ(n.gridHistory.count, 1024 + (WRITES - 2042));
  int undos = 0;
  while (!n.gridHistory.empty()) {
    undoGrid(n);
    ++undos;
  }
  EXPECT_EQ(undos, 1024 + (WRITES - 2042));
  for (int k = 0; k < WRITES; ++k) {
    EXPECT_EQ(n.lineMap[5000 + k], k < WRITES - undos ? LINE_BEAT : 0) << k;
  }
  while (n.gridHistory.canRedo()) redoGrid(n);
  for (int k = 0; k < WRITES; ++k) ASSERT_EQ(n.lineMap[5000 + k], LINE_BEAT) << k;
}

TEST(NoteHistory, UndoAndRedoOfADeletionAreExact) {
  ScoreFixture f;
  f.addLines({1000, 1201});
  LastNote last;
  ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 2, last, f.at(12, 1000), f.at(12, 1000)), 1);
  ASSERT_EQ(f.notes->slots[1000], makeNote(2, 12, 200));
  ASSERT_EQ(deleteNote(*f.notes, 2, 12, 1000), 1);
  f.notes->autosaveDirty = 0;
  undoNote(*f.notes, *f.grid);
  EXPECT_EQ(f.notes->slots[1000], makeNote(2, 12, 200));
  EXPECT_EQ(f.notes->autosaveDirty, 1);
  EXPECT_EQ(f.grid->cell(2, 11, 0), CELL_START);
  f.notes->autosaveDirty = 0;
  redoNote(*f.notes, *f.grid);
  EXPECT_TRUE(noteDeleted(f.notes->slots[1000]));
  EXPECT_EQ(f.notes->autosaveDirty, 1);
  undoNote(*f.notes, *f.grid);
  undoNote(*f.notes, *f.grid);
  EXPECT_EQ(f.notes->slots[1000], 0);
  EXPECT_TRUE(f.notes->noteHistory.empty());
}

TEST(NoteHistory, NotesPlacedAsAGroupAreUndoneAndRedoneTogether) {
  ScoreFixture f;
  f.addLines({1000, 1201, 1400});
  LastNote last;
  ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 1, last, f.at(5, 1000), f.at(5, 1000)), 1);
  beginNoteGroup(*f.notes);
  for (const int key : {10, 12, 14})
    ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 2, last, f.at(key, 1201), f.at(key, 1201)),
              1);
  endNoteGroup(*f.notes);
  ASSERT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 3, last, f.at(7, 1000), f.at(7, 1000)), 1);
  const auto live = [&] {
    int n = 0;
    for (const std::int32_t w : f.notes->slots) n += w != 0 && !noteDeleted(w) ? 1 : 0;
    return n;
  };
  ASSERT_EQ(live(), 5);
  undoNote(*f.notes, *f.grid);  // the single note after the group
  EXPECT_EQ(live(), 4);
  undoNote(*f.notes, *f.grid);  // the whole group
  EXPECT_EQ(live(), 1);
  redoNote(*f.notes, *f.grid);
  EXPECT_EQ(live(), 4);
  redoNote(*f.notes, *f.grid);
  EXPECT_EQ(live(), 5);
  undoNote(*f.notes, *f.grid);
  undoNote(*f.notes, *f.grid);
  undoNote(*f.notes, *f.grid);  // the note before the group, on its own
  EXPECT_EQ(live(), 0);
}

TEST(NoteHistory, UndoAfterCompactionFollowsTheMovedNotes) {
  ScoreFixture f;
  f.addLines({1000, 1600});
  NoteStore& n = *f.notes;
  // As loaded from an autosave: a deleted note ahead of a live one, unrecorded.
  n.slots[1000] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(makeNote(1, 5, 599)) | NOTE_DELETED);
  n.slots[1001] = makeNote(1, 6, 598);
  n.slots[1002] = makeNote(1, 7, 597);
  ASSERT_EQ(deleteNote(n, 1, 6, 1000), 1);

  compactNotes(n);  // as at playback start: the unrecorded deleted note goes
  EXPECT_TRUE(noteDeleted(n.slots[1000]));
  EXPECT_EQ(noteKey(n.slots[1000]), 6);
  EXPECT_EQ(n.slots[1001], makeNote(1, 7, 598));
  EXPECT_EQ(n.slots[1002], 0);

  undoNote(n, *f.grid);
  // The note is back, one slot earlier, still ending where it ended.
  EXPECT_EQ(n.slots[1000], makeNote(1, 6, 599));
  EXPECT_EQ(n.slots[1001], makeNote(1, 7, 598));
}

TEST(NoteHistory, UndoNeverOverwritesANoteThatCompactionDroppedItsEntryFor) {
  ScoreFixture f;
  f.addLines({1000, 1600, 2200});
  NoteStore& n = *f.notes;
  LastNote last;
  ASSERT_EQ(appendNote(n, *f.grid, f.prompter, 1, last, f.at(30, 1600), f.at(30, 1600)), 1);
  // The line goes (unrecorded here); its note becomes an orphan that compaction drops.
  n.lineMap[1600] = 0;
  rebuildLineIndex(n);
  compactNotes(n);
  EXPECT_EQ(n.slots[1600], 0);
  // A later line on the same position gets a note of its own.
  n.lineMap[1600] = LINE_BEAT;
  rebuildLineIndex(n);
  n.slots[1600] = makeNote(2, 40, 100);
  undoNote(n, *f.grid);
  EXPECT_EQ(n.slots[1600], makeNote(2, 40, 100));
}

TEST(NoteHistory, LineMoveCarriesUndoAlong) {
  ScoreFixture f;
  f.addLines({1000, 1600});
  NoteStore& n = *f.notes;
  LastNote last;
  ASSERT_EQ(appendNote(n, *f.grid, f.prompter, 1, last, f.at(30, 1000), f.at(30, 1000)), 1);
  ASSERT_TRUE(moveLine(n, 1000, 1013));
  EXPECT_EQ(n.slots[1013], makeNote(1, 30, 599));
  undoNote(n, *f.grid);
  EXPECT_EQ(n.slots[1013], 0);
  EXPECT_EQ(n.slots[1000], 0);
}

}  // namespace
}  // namespace quavrix
