// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/note_edit.h"

#include <gtest/gtest.h>

#include <sstream>

#include "score/beat_grid.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

std::int32_t deletedWord(std::int32_t word) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | NOTE_DELETED);
}

class NoteEdit : public ::testing::Test {
 protected:
  NoteEdit() { f.addLines({1000, 1600, 2200}); }
  int append(int track, int key, std::uint32_t from, std::uint32_t to) {
    return appendNote(*f.notes, *f.grid, f.prompter, track, last, f.at(key, from), f.at(key, to));
  }
  ScoreFixture f;
  LastNote last;
};

TEST_F(NoteEdit, AppendWritesWordAndNoteOff) {
  EXPECT_EQ(append(3, 40, 1000, 1600), 1);
  EXPECT_EQ(static_cast<std::uint32_t>(f.notes->slots[1000]), 0x032804AFu);
  EXPECT_EQ(f.notes->noteOffs[2199], 0x0328);
  EXPECT_EQ(f.notes->autosaveDirty, 1);
  EXPECT_EQ(last.track, 3);
  EXPECT_EQ(last.key, 40);
  EXPECT_EQ(last.line, 1000u);
  // The cells show the note from its start column through the next one.
  EXPECT_EQ(f.grid->cell(3, 39, 0), CELL_START);
  EXPECT_EQ(f.grid->cell(3, 39, 1), CELL_HOLD);
  EXPECT_EQ(f.grid->cell(3, 39, 2), 0);

  // Dragged upwards the note is the same: the lower column starts it.
  EXPECT_EQ(append(3, 41, 1600, 1000), 1);
  EXPECT_EQ(f.notes->slots[1001], makeNote(3, 41, 1198));
  EXPECT_EQ(f.notes->noteOffs[2198], 0x0329);
  EXPECT_EQ(f.notes->noteOffs[2199], 0x0328);
}

TEST_F(NoteEdit, AppendRefusesDuplicatesOverlapsAndMissingEndLine) {
  ASSERT_EQ(append(3, 40, 1000, 1000), 1);
  const auto before = f.notes->slots;
  EXPECT_EQ(append(3, 40, 1000, 1000), 0);  // the same note again
  EXPECT_EQ(append(3, 40, 1600, 1000), 0);  // overlaps it
  EXPECT_EQ(f.notes->slots, before);
  EXPECT_EQ(append(2, 40, 1000, 1000), 1);  // another track may share the key

  // No line after the last column: nothing appended, but remembered.
  EXPECT_EQ(append(3, 50, 2200, 2200), 0);
  EXPECT_EQ(f.notes->slots[2200], 0);
  EXPECT_EQ(last.line, 2200u);
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST_F(NoteEdit, SeventeenthNoteOnALineShowsAppendMessage) {
  for (int k = 1; k <= 16; ++k) ASSERT_EQ(append(1, k, 1600, 1600), 1) << k;
  const auto before = f.notes->slots;
  EXPECT_EQ(append(1, 17, 1600, 1600), 0);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.last(),
            "APPEND\n Too much notes on a BEAT or a DIVISION. \n Can not append note any more.");
  EXPECT_EQ(f.prompter.shown[0].icon, Icon::Question);
  EXPECT_EQ(f.notes->slots, before);
}

TEST(NoteEditLong, NoteLongerThanSixteenBitsIsRefused) {
  ScoreFixture f(80000);
  f.addLines({1000, 1001, 66537});
  f.show(900, 66600);
  LastNote last;
  // 66537 - 1 - 1000 = 65536 positions: one too many for the duration.
  EXPECT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 1, last, f.at(30, 1000), f.at(30, 1001)), 0);
  EXPECT_EQ(f.notes->slots[1000], 0);
  EXPECT_EQ(f.notes->noteHistory.count, 0);
  EXPECT_TRUE(f.prompter.shown.empty());
  // From the next line it is exactly the longest note there is.
  EXPECT_EQ(appendNote(*f.notes, *f.grid, f.prompter, 1, last, f.at(30, 1001), f.at(30, 1001)), 1);
  EXPECT_EQ(f.notes->slots[1001], makeNote(1, 30, 65535));
}

TEST_F(NoteEdit, DeleteMarksWordAndNoteOff) {
  ASSERT_EQ(append(3, 40, 1000, 1600), 1);
  ASSERT_EQ(append(3, 41, 1000, 1600), 1);
  EXPECT_EQ(deleteNote(*f.notes, 3, 41, 1000), 1);
  EXPECT_EQ(f.notes->slots[1001], deletedWord(makeNote(3, 41, 1198)));
  EXPECT_EQ(f.notes->noteOffs[2198], 0x0329 | NOTE_OFF_DELETED);
  EXPECT_EQ(f.notes->noteOffs[2199], 0x0328);
  EXPECT_EQ(f.notes->slots[1000], makeNote(3, 40, 1199));
  // Deleting again finds nothing: a deleted word never matches.
  EXPECT_EQ(deleteNote(*f.notes, 3, 41, 1000), 0);
}

TEST_F(NoteEdit, DeleteAtPointWalksBackToTheStartColumn) {
  ASSERT_EQ(append(5, 60, 1000, 1600), 1);
  // Right-click on the second column of the note.
  EXPECT_EQ(deleteNoteAt(*f.notes, *f.grid, 5, last, f.at(60, 1600)), 1);
  EXPECT_TRUE(noteDeleted(f.notes->slots[1000]));
  EXPECT_EQ(f.grid->cell(5, 59, 0), 0);
  // Another track's note under the point is not touched.
  ASSERT_EQ(append(4, 61, 1000, 1000), 1);
  EXPECT_EQ(deleteNoteAt(*f.notes, *f.grid, 5, last, f.at(61, 1000)), 0);
}

TEST_F(NoteEdit, OrphanForwardMovesToEarlierLine) {
  f.notes->slots[1000] = makeNote(3, 40, 599);
  f.notes->slots[1600] = makeNote(3, 50, 599);
  f.notes->lineMap[1600] = 0;
  rebuildLineIndex(*f.notes);
  f.notes->ask = 0;
  setOrphanPolicy(*f.notes, 181);
  EXPECT_EQ(checkOrphans(*f.notes, f.prompter), 1);
  EXPECT_EQ(f.notes->slots[1001], makeNote(3, 50, 2199 - 1001));
  EXPECT_EQ(f.notes->slots[1600], deletedWord(makeNote(3, 50, 599)));
  EXPECT_EQ(f.notes->slots[1000], makeNote(3, 40, 599));
  EXPECT_TRUE(f.prompter.shown.empty());

  // Both changes undo: the copy goes, the orphan comes back.
  undoNote(*f.notes, *f.grid);
  undoNote(*f.notes, *f.grid);
  EXPECT_EQ(f.notes->slots[1600], makeNote(3, 50, 599));
  EXPECT_EQ(f.notes->slots[1001], 0);
}

TEST_F(NoteEdit, OrphanNeighborSplitsAtTheMiddleAndDropsAfterLastLine) {
  // Lines 1000 and 2200 remain; orphans at 1100 (first half), 2000 (second
  // half), and after the last line at 2300 (first half of the rest of the
  // recording) and 39000 (second half).
  f.notes->lineMap[1600] = 0;
  rebuildLineIndex(*f.notes);
  f.notes->slots[1100] = makeNote(1, 10, 5);
  f.notes->slots[2000] = makeNote(1, 11, 5);
  f.notes->slots[2300] = makeNote(1, 12, 7);
  f.notes->slots[39000] = makeNote(1, 13, 5);
  setOrphanPolicy(*f.notes, 182);
  f.prompter.answer(Answer::Yes);
  EXPECT_EQ(checkOrphans(*f.notes, f.prompter), 4);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text, " Some notes will be deleted. Are you sure ? ");
  EXPECT_EQ(f.prompter.shown[0].buttons, Buttons::YesNo);
  EXPECT_EQ(f.notes->slots[1000], makeNote(1, 10, 1199));
  EXPECT_EQ(f.notes->slots[2200], makeNote(1, 11, 5));  // last line: keeps its length
  EXPECT_EQ(f.notes->slots[2201], makeNote(1, 12, 7));
  EXPECT_EQ(f.notes->slots[2202], 0);
  for (std::uint32_t p : {1100u, 2000u, 2300u, 39000u}) {
    EXPECT_TRUE(noteDeleted(f.notes->slots[p])) << p;
  }
}

TEST_F(NoteEdit, OrphanDiscardDeletesAndNoAnswerChangesNothing) {
  f.notes->lineMap[1600] = 0;
  rebuildLineIndex(*f.notes);
  f.notes->slots[1000] = makeNote(2, 30, 599);
  f.notes->slots[1600] = makeNote(2, 31, 599);
  const auto before = f.notes->slots;

  f.prompter.answer(Answer::No);
  EXPECT_EQ(checkOrphans(*f.notes, f.prompter), 0);
  EXPECT_EQ(f.notes->slots, before);
  ASSERT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[1].text, "  You can use Undo boutton.");
  EXPECT_EQ(f.prompter.shown[1].icon, Icon::Information);

  f.prompter.answer(Answer::Yes);
  EXPECT_EQ(checkOrphans(*f.notes, f.prompter), 1);
  EXPECT_TRUE(noteDeleted(f.notes->slots[1600]));
  EXPECT_EQ(f.notes->slots[1001], 0);
}

TEST_F(NoteEdit, MoveOntoFullLineShowsMessage) {
  for (int k = 0; k < 16; ++k) f.notes->slots[1000 + k] = makeNote(1, k + 1, 10);
  moveNoteToLine(*f.notes, f.prompter, 1000, makeNote(1, 70, 10));
  EXPECT_EQ(f.prompter.last(), " Too much notes, Can not append notes!");
  EXPECT_EQ(f.prompter.shown.back().icon, Icon::Question);
  // Already there: nothing happens and nothing is said.
  f.prompter.clear();
  moveNoteToLine(*f.notes, f.prompter, 1000, makeNote(1, 3, 99));
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_EQ(f.notes->slots[1002], makeNote(1, 3, 10));
}

TEST_F(NoteEdit, MoveOntoLastLineNeverWraps) {
  for (int k = 0; k < 3; ++k) f.notes->slots[2200 + k] = makeNote(1, k + 1, 10);
  moveNoteToLine(*f.notes, f.prompter, 2200, makeNote(1, 9, 40));
  EXPECT_EQ(f.notes->slots[2203], makeNote(1, 9, 40));
}

TEST_F(NoteEdit, CommitCompactsOnlyWhenAsked) {
  ASSERT_EQ(append(3, 40, 1000, 1000), 1);
  ASSERT_EQ(append(3, 41, 1000, 1000), 1);
  ASSERT_EQ(deleteNote(*f.notes, 3, 40, 1000), 1);
  std::ostringstream console;

  commitNotes(*f.notes, false, &console);
  EXPECT_TRUE(noteDeleted(f.notes->slots[1000]));
  EXPECT_EQ(console.str().rfind("\n------------------------- After", 0), 0u);

  commitNotes(*f.notes, true, &console);
  EXPECT_EQ(f.notes->slots[1000], makeNote(3, 41, 599));
  EXPECT_EQ(f.notes->slots[1001], 0);
  EXPECT_EQ(f.notes->noteOffs[1599], 0x0329);
  EXPECT_TRUE(f.notes->noteHistory.empty());
  EXPECT_FALSE(f.notes->noteHistory.canRedo());
  // Committing is not saving: the close check must still ask.
  EXPECT_EQ(f.notes->noteHistory.modified, 1);
}

TEST_F(NoteEdit, DumpEventsListsNotesAndNoteOffs) {
  ASSERT_EQ(append(3, 40, 1000, 1600), 1);
  ASSERT_EQ(append(3, 41, 1000, 1600), 1);
  deleteNote(*f.notes, 3, 41, 1000);
  std::ostringstream out;
  dumpEvents(*f.notes, out, false);
  EXPECT_EQ(out.str(),
            "\n------------------------- Before ---------------------------------------------\n"
            "ON       Idx:    1000 - Prg:   3 Key:  40     -Dur  1199     To    2199\n"
            "ON -DEL  Idx:    1001 - Prg:   3 Key:  41     -Dur  1198     To    2199\n"
            "OFF-DEL  Idx:    2198 - Prg:   3 Key:  41\n"
            "OFF      Idx:    2199 - Prg:   3 Key:  40\n");
}

}  // namespace
}  // namespace quavrix
