// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/beat_editor/beat_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "score/beat_grid.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::EditorFixture;

std::vector<std::uint32_t> linesWith(const NoteStore& notes, std::uint8_t bits) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t p = 0; p < notes.positions; ++p) {
    if ((notes.lineMap[p] & bits) == bits) out.push_back(p);
  }
  return out;
}

using Lines = std::vector<std::uint32_t>;

class BarPage : public ::testing::Test {
 protected:
  BarPage() {
    f.addLines({1500, 2000, 2500, 3500, 4000, 4500, 5000, 5500, 6000, 6500, 7000});
    f.addLines({1000, 3000}, LINE_BEAT | LINE_BAR);
    showPage(f.ctx, EditorPage::Bar);
  }
  EditorFixture f;
};

TEST_F(BarPage, ExtendMarksEveryFourthBeatAfterTheLastBar) {
  barCommand(f.ctx, CMD_BAR_EXTEND, 1, 900, 3100);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR), (Lines{1000, 3000, 5000, 7000}));
  EXPECT_EQ(f.notes->editor.barCommand, CMD_NONE);
  EXPECT_TRUE(f.prompter.shown.empty());
  barCommand(f.ctx, CMD_UNDO, 1, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR), (Lines{1000, 3000}));
}

TEST_F(BarPage, ExtendWithoutTwoBarsShowsItsMessage) {
  const auto before = f.notes->lineMap;
  barCommand(f.ctx, CMD_BAR_EXTEND, 1, 1100, 3100);
  EXPECT_EQ(f.prompter.last(), "EXTEND\n ERROR : BEATS in BAR is Unknown or 1.");
  EXPECT_EQ(f.prompter.shown.back().icon, Icon::Error);
  EXPECT_EQ(f.notes->lineMap, before);
}

TEST_F(BarPage, BarLineMarksFirstAndLastBeatAndStaysTheMode) {
  barCommand(f.ctx, CMD_BAR_LINE, 1, 3400, 4600);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR), (Lines{1000, 3000, 3500, 4500}));
  EXPECT_EQ(f.beatsInBarText, "   2");
  // The next selection applies the same command.
  selectRange(f.ctx, EditorPage::Bar, 5900, 6100);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR), (Lines{1000, 3000, 3500, 4500, 6000}));
  // Delete is a mode too; with no selection end nothing happens yet.
  barCommand(f.ctx, CMD_BAR_DELETE, 1, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR).size(), 5u);
  selectRange(f.ctx, EditorPage::Bar, 3400, 6100);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR), (Lines{1000, 3000}));
}

TEST_F(BarPage, StartEndAndReset) {
  barCommand(f.ctx, CMD_BAR_START, 1, 1400, 2600);
  EXPECT_EQ(f.prompter.last(), "BAR START\n Err : BAR Line が見つかりませんでした。");
  barCommand(f.ctx, CMD_BAR_END, 1, 1400, 2600);
  EXPECT_EQ(f.prompter.last(), "BAR END\n Err : BAR Line が見つかりませんでした。");
  EXPECT_EQ(f.notes->startMarker + f.notes->endMarker, 0u);

  barCommand(f.ctx, CMD_BAR_START, 1, 900, 1100);
  EXPECT_EQ(f.notes->startMarker, 1000u);
  EXPECT_TRUE(f.notes->lineMap[1000] & LINE_START);
  barCommand(f.ctx, CMD_BAR_END, 1, 2900, 3100);
  EXPECT_EQ(f.notes->endMarker, 3000u);
  // A START after the END is not taken.
  f.notes->lineMap[5000] |= LINE_BAR;
  barCommand(f.ctx, CMD_BAR_START, 1, 4900, 5100);
  EXPECT_EQ(f.notes->startMarker, 1000u);

  barCommand(f.ctx, CMD_BAR_RESET, 1, 1, 1);
  EXPECT_FALSE(f.notes->lineMap[1000] & LINE_START);
  EXPECT_FALSE(f.notes->lineMap[3000] & LINE_END);
  EXPECT_EQ(f.notes->startMarker, 0u);
  EXPECT_EQ(f.notes->endMarker, 0u);
  barCommand(f.ctx, CMD_BAR_START, 1, 4900, 5100);
  EXPECT_EQ(f.notes->startMarker, 5000u);
}

TEST_F(BarPage, SaveToMidiKeepsTheModeAndTheLines) {
  barCommand(f.ctx, CMD_BAR_DELETE, 1, 0, 0);
  barCommand(f.ctx, CMD_BAR_SAVE_MIDI, 1, 900, 3100);
  EXPECT_EQ(f.notes->editor.barCommand, CMD_BAR_DELETE);
  EXPECT_EQ(linesWith(*f.notes, LINE_BAR).size(), 2u);
}

class BeatPage : public ::testing::Test {
 protected:
  BeatPage() { openEditor(f.ctx); }
  void press(int command, std::uint32_t s, std::uint32_t e) {
    beatCommand(f.ctx, command, 1, s, e, 900, 39000);
  }
  EditorFixture f;
};

TEST_F(BeatPage, AppendAfterCarriesTheIntervalIntoTheRange) {
  f.addLines({1000, 1500, 2000});
  f.notes->beatInterval = 500.0f;
  press(CMD_APPEND, 1000, 3600);  // no option chosen yet: nothing
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT).size(), 3u);
  setAppendOption(*f.notes, CMD_APPEND_AFTER);
  press(CMD_APPEND, 1000, 3600);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000, 2500, 3000, 3500}));
  EXPECT_EQ(f.notes->editor.beatCommand, CMD_APPEND_AFTER);
  EXPECT_EQ(f.tempoText, "165.38");
  press(CMD_UNDO, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000}));
}

TEST_F(BeatPage, AppendBeforeAndFree) {
  f.addLines({1200, 1700});
  f.notes->beatInterval = 500.0f;
  press(CMD_APPEND_BEFORE, 100, 2000);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{200, 700, 1200, 1700}));
  f.notes->lineMap[3000] = LINE_DIVISION;
  press(CMD_APPEND_FREE, 3000, 3000);
  EXPECT_EQ(f.notes->lineMap[3000], LINE_BEAT);
}

TEST_F(BeatPage, AutoFillDividesGapsBetweenLockedBeats) {
  f.addLines({1000, 2480, 3180}, LINE_BEAT | LINE_LOCK);
  f.addLines({1700});
  f.notes->beatInterval = 500.0f;
  f.notes->autoFillTolerance = 0.10f;
  press(CMD_AUTOFILL, 900, 3200);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1493, 1986, 2480, 3180}));
  // The second gap (700: n = 1, ratio 1.4) is refused after the first was filled.
  EXPECT_EQ(f.prompter.last(),
            " AUTOFILL\nThe GAP is too large. \n can not fill with this interval value.");
  // Two undo groups per pair: the new beats, then the removal.
  press(CMD_UNDO, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 2480, 3180}));
  press(CMD_UNDO, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1700, 2480, 3180}));
}

TEST_F(BeatPage, FixTogglesOnlyAboveTheShortestInterval) {
  f.notes->beatInterval = 442.9f;
  press(CMD_FIX, 0, 0);
  EXPECT_EQ(f.notes->intervalFixed, 0);
  f.notes->beatInterval = 443.0f;
  press(CMD_FIX, 0, 0);
  EXPECT_EQ(f.notes->intervalFixed, 1);
  EXPECT_EQ(f.tempoText, "Fixed 186.65");
  EXPECT_FLOAT_EQ(f.strobe->strobeInterval, 443.0f);
  EXPECT_EQ(f.strobe->tempoText, "186.65");
  // Fixed: a selection no longer measures.
  f.addLines({1000, 1500});
  selectRange(f.ctx, EditorPage::Beat, 900, 1600);
  EXPECT_FLOAT_EQ(f.notes->beatInterval, 443.0f);
  press(CMD_FIX, 0, 0);
  EXPECT_EQ(f.notes->intervalFixed, 0);
  selectRange(f.ctx, EditorPage::Beat, 900, 1600);
  EXPECT_FLOAT_EQ(f.notes->beatInterval, 500.0f);
}

TEST_F(BeatPage, LocksDeleteAndUnlockWhole) {
  f.addLines({1000, 1500, 2000, 2500});
  press(CMD_LOCK_BOTH_ENDS, 900, 2100);
  EXPECT_EQ(linesWith(*f.notes, LINE_LOCK), (Lines{1000, 2000}));
  press(CMD_BEAT_DELETE, 900, 2600);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 2000}));
  press(CMD_LOCK_ALL, 900, 2600);
  press(CMD_UNLOCK, 1900, 2600);
  EXPECT_EQ(linesWith(*f.notes, LINE_LOCK), (Lines{1000}));
  press(CMD_UNLOCK_WHOLE, 0, 0);
  EXPECT_TRUE(linesWith(*f.notes, LINE_LOCK).empty());
}

TEST_F(BeatPage, LockingMoreThan1023BeatsIsRefused) {
  for (std::uint32_t k = 0; k < 1024; ++k) f.notes->lineMap[1000 + 20 * k] = LINE_BEAT;
  press(CMD_LOCK_ALL, 900, 1000 + 20 * 1024);
  EXPECT_EQ(f.prompter.last(), " Too many BEATS ");
  EXPECT_TRUE(linesWith(*f.notes, LINE_LOCK).empty());
  press(CMD_LOCK_ALL, 900, 1000 + 20 * 1023);
  EXPECT_EQ(linesWith(*f.notes, LINE_LOCK).size(), 1023u);
}

TEST_F(BeatPage, MovesCarryNotesAndStopAtTheRange) {
  f.addLines({1000, 1600, 2200});
  f.notes->slots[1000] = makeNote(2, 30, 599);
  press(CMD_MOVE_DOWN_4, 990, 1100);
  EXPECT_EQ(f.notes->lineMap[1004], LINE_BEAT);
  EXPECT_EQ(f.notes->lineMap[1000], 0);
  EXPECT_EQ(f.notes->slots[1004], makeNote(2, 30, 599));  // keeps its length
  EXPECT_EQ(f.notes->slots[1000], 0);
  EXPECT_TRUE(f.prompter.shown.empty());
  // The last line is 3 positions from the end of the range.
  press(CMD_MOVE_DOWN_4, 990, 1007);
  EXPECT_EQ(f.prompter.last(), " MOVE\nPlease, expand the scope of range.");
  EXPECT_EQ(f.notes->lineMap[1004], LINE_BEAT);
  // Moves are not recorded: Undo undoes what came before (nothing here).
  EXPECT_TRUE(f.notes->gridHistory.empty());

  press(CMD_MOVE_TOP, 950, 1100);
  EXPECT_EQ(f.notes->lineMap[951], LINE_BEAT);
  EXPECT_EQ(f.notes->slots[951], makeNote(2, 30, 599));
}

TEST_F(BeatPage, HelpPagesFilterCommands) {
  f.addLines({1000, 1500});
  press(CMD_APPEND_HELP, 0, 0);
  EXPECT_EQ(f.notes->editor.helpPage, CMD_APPEND_HELP);
  press(CMD_BEAT_DELETE, 900, 1600);  // not offered on the Append help page
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT).size(), 2u);
  press(CMD_APPEND_FREE, 700, 700);
  EXPECT_EQ(f.notes->lineMap[700], LINE_BEAT);
  press(CMD_APPEND_HELP, 0, 0);
  EXPECT_EQ(f.notes->editor.helpPage, 0);
  EXPECT_TRUE(helpPageAccepts(CMD_EXTEND_HELP, CMD_EXTEND));
  EXPECT_FALSE(helpPageAccepts(CMD_EXTEND_HELP, CMD_UNDO));
  EXPECT_TRUE(helpPageAccepts(CMD_AUTOFILL_HELP, CMD_FIX));
}

class BeatExtend : public BeatPage {
 protected:
  BeatExtend() { f.notes->judgingTolerance = 0.05f; }
};

TEST_F(BeatExtend, ReplacesBeatsUpToTheNextLockedBeat) {
  f.addLines({1000, 1500, 2600});
  f.addLines({2000, 3510}, LINE_BEAT | LINE_LOCK);
  press(CMD_EXTEND, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000, 2503, 3006, 3510}));
  EXPECT_TRUE(f.prompter.shown.empty());
  EXPECT_EQ(f.notes->editor.beatCommand, CMD_NONE);  // runs once
  press(CMD_UNDO, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000, 2600, 3510}));
}

TEST_F(BeatExtend, NewBeatsSnapToBeatsCloseBy) {
  f.addLines({1000, 1500, 2510});
  f.addLines({2000, 3510}, LINE_BEAT | LINE_LOCK);
  press(CMD_EXTEND, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000, 2510, 3006, 3510}));
}

TEST_F(BeatExtend, Messages) {
  f.addLines({1000, 1500});
  f.addLines({2000, 3510}, LINE_BEAT | LINE_LOCK);
  press(CMD_EXTEND, 0, 0);
  EXPECT_EQ(f.prompter.last(), " EXTEND\nERROR : 終了用 locked beat が見つかりません。.");

  EditorFixture g;
  g.addLines({1500});
  g.addLines({1000, 2000}, LINE_BEAT | LINE_LOCK);
  beatCommand(g.ctx, CMD_EXTEND, 1, 0, 0, 900, 3000);
  EXPECT_EQ(g.prompter.last(),
            " EXTEND\nERROR : 開始用 locked beat の前に、beat または、locked beat が必要です.");

  EditorFixture h;
  h.addLines({1000, 1500});
  h.addLines({2000}, LINE_BEAT | LINE_LOCK);
  beatCommand(h.ctx, CMD_EXTEND, 1, 0, 0, 900, 3000);
  EXPECT_EQ(h.prompter.last(),
            " EXTEND\nERROR : 開始と終了のため locked beat が,２つ以上必要です.");

  EditorFixture fast;
  fast.addLines({1000, 1400});
  fast.addLines({1800, 3000}, LINE_BEAT | LINE_LOCK);
  fast.addLines({2500});
  beatCommand(fast.ctx, CMD_EXTEND, 1, 0, 0, 900, 4000);
  EXPECT_EQ(fast.prompter.last(), " EXTEND\nERROR : The interval is too fast.");

  EditorFixture slow;
  slow.addLines({1000, 4000});
  slow.addLines({2800, 5000}, LINE_BEAT | LINE_LOCK);
  beatCommand(slow.ctx, CMD_EXTEND, 1, 0, 0, 900, 6000);
  EXPECT_EQ(slow.prompter.last(), " EXTEND\nERROR : The interval is too slow.");
}

TEST_F(BeatExtend, UnevenFillStepAsksAndNoChangesNothing) {
  // Reference 500; the end beat 1300 later gives three steps of 433.
  f.addLines({1000, 1500, 2600});
  f.addLines({2000, 3300}, LINE_BEAT | LINE_LOCK);
  const auto before = f.notes->lineMap;
  f.prompter.answer(Answer::No);
  press(CMD_EXTEND, 0, 0);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text,
            " EXTEND\nWarnning : 追加・変更の誤差が許容値を超えています。続行しますか？\n "
            "許容値は Settings の interval JUDGE で変更できます。");
  EXPECT_EQ(f.prompter.shown[0].buttons, Buttons::YesNo);
  EXPECT_EQ(f.notes->lineMap, before);
  f.prompter.answer(Answer::Yes);
  press(CMD_EXTEND, 0, 0);
  EXPECT_EQ(linesWith(*f.notes, LINE_BEAT), (Lines{1000, 1500, 2000, 2433, 2866, 3300}));
}

TEST_F(BeatExtend, UnevenReferenceAsksAndNoChangesNothing) {
  f.addLines({1000, 1400, 2600});
  f.addLines({2000, 3510}, LINE_BEAT | LINE_LOCK);
  const auto before = f.notes->lineMap;
  f.prompter.answer(Answer::No);
  press(CMD_EXTEND, 0, 0);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text,
            " EXTEND\nWarnning : 開始時の reference の誤差が許容値を超えています。続行しますか？ "
            "許容値は Settings の interval JUDGE で変更できます。");
  EXPECT_EQ(f.prompter.shown[0].icon, Icon::Question);
  EXPECT_EQ(f.prompter.shown[0].buttons, Buttons::YesNo);
  EXPECT_EQ(f.notes->lineMap, before);
}

class DivisionPage : public ::testing::Test {
 protected:
  DivisionPage() { showPage(f.ctx, EditorPage::Division); }
  EditorFixture f;
};

TEST_F(DivisionPage, AppendDividesEachBeatInterval) {
  f.addLines({1000, 1500, 2000});
  divisionCommand(f.ctx, CMD_DIVISION_APPEND, 1, 900, 1600);
  EXPECT_EQ(linesWith(*f.notes, LINE_DIVISION), (Lines{1125, 1250, 1375}));
  EXPECT_EQ(f.grid->columnCount, 7u);  // the view sees them at once
  // Delete clears the divisions between the first and the last beat.
  divisionCommand(f.ctx, CMD_DIVISION_DELETE, 1, 900, 1600);
  EXPECT_TRUE(linesWith(*f.notes, LINE_DIVISION).empty());
}

TEST_F(DivisionPage, TooFastAndTooFewBeats) {
  f.addLines({1000, 1040});
  divisionCommand(f.ctx, CMD_DIVISION_APPEND, 1, 900, 1100);
  EXPECT_EQ(f.prompter.last(), "APPEND DIVISIONS\nToo FAST, Please slow down.");
  EXPECT_TRUE(linesWith(*f.notes, LINE_DIVISION).empty());
  divisionCommand(f.ctx, CMD_DIVISION_DELETE, 1, 1010, 1100);
  EXPECT_EQ(f.prompter.last(), "DELETE divisions\nAt least, 2 BEAT lines are needed.");
  divisionCommand(f.ctx, CMD_DIVISION_EXTEND, 1, 1010, 1100);
  EXPECT_EQ(f.prompter.last(), "EXTEND divisions\nAt least, 2 BEAT lines are needed.");
}

TEST_F(DivisionPage, ExtendRunsToTheNextLockedBeatWithTheChosenDivisor) {
  f.addLines({1000, 1300, 1600, 1900});
  f.addLines({2200}, LINE_BEAT | LINE_LOCK);
  f.addLines({2500});
  divisionCommand(f.ctx, 165, 1, 0, 0);  // divisor 3
  EXPECT_EQ(f.notes->divisor, 3);
  EXPECT_EQ(f.divisorText, "3");
  divisionCommand(f.ctx, CMD_DIVISION_EXTEND, 1, 900, 1350);
  EXPECT_EQ(linesWith(*f.notes, LINE_DIVISION), (Lines{1400, 1500, 1700, 1800, 2000, 2100}));
  f.notes->divisor = 25;
  divisionCommand(f.ctx, CMD_DIVISION_EXTEND, 1, 900, 1350);
  EXPECT_EQ(f.prompter.last(), "EXTEND divisions\n Divisor is unknown.");
}

TEST_F(DivisionPage, ClosingRunsTheOrphanCheckOnlyFromThisPage) {
  f.addLines({1000, 1600, 2200});
  f.notes->slots[1000] = makeNote(1, 20, 599);
  f.notes->slots[1600] = makeNote(1, 21, 599);
  f.notes->gridHistory.groupStart = 1;
  setLine(*f.notes, 1600, 0, true);
  rebuildLineIndex(*f.notes);
  divisionCommand(f.ctx, 181, 1, 0, 0);  // orphans move forward
  EXPECT_EQ(f.notes->forward, 1);

  showPage(f.ctx, EditorPage::Beat);
  closeEditor(f.ctx);
  EXPECT_EQ(f.notes->gridChanged, 1);
  EXPECT_EQ(f.notes->slots[1001], 0);

  openEditor(f.ctx);
  showPage(f.ctx, EditorPage::Division);
  f.prompter.answer(Answer::Yes);
  closeEditor(f.ctx);
  EXPECT_EQ(f.notes->gridChanged, 0);
  EXPECT_EQ(f.notes->slots[1001], makeNote(1, 21, 1198));
  EXPECT_TRUE(noteDeleted(f.notes->slots[1600]));
  EXPECT_EQ(f.notes->noteOffs[2199], 0x0115);
}

}  // namespace
}  // namespace quavrix
