// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/strobe.h"

#include <gtest/gtest.h>

#include <vector>

#include "score/beat_grid.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::EditorFixture;
using Lines = std::vector<std::uint32_t>;

Lines train(const StrobeState& strobe) {
  return Lines(strobe.strobeList.begin(), strobe.strobeList.begin() + strobe.strobeCount);
}

class Strobe : public ::testing::Test {
 protected:
  Strobe() {
    f.addLines({10200, 11000, 13000});
    f.show(10000, 14000);
  }
  void command(int c) { strobeCommand(*f.strobe, *f.notes, *f.grid, f.prompter, c); }
  EditorFixture f;
};

TEST_F(Strobe, TrainStartsOnTheFirstBeatOfTheWindow) {
  EXPECT_EQ(f.strobe->listCapacity, 2048);
  EXPECT_EQ(f.strobe->tempoText, "   100");
  command(STROBE_START);
  EXPECT_EQ(train(*f.strobe), (Lines{10200, 11026, 11853, 12680, 13507}));
  EXPECT_EQ(f.strobe->strobeMap[11026], STROBE_BEAT);
  EXPECT_EQ(f.strobe->tempoText, "100.00");
  command(STROBE_END_MINUS_ONE);
  EXPECT_EQ(train(*f.strobe), (Lines{10200, 11026, 11853, 12680}));
  EXPECT_EQ(f.strobe->strobeMap[13507], 0);
  command(STROBE_CLEAR);
  EXPECT_EQ(f.strobe->strobeCount, 0);
  EXPECT_EQ(f.strobe->mode, StrobeMode::Off);
  EXPECT_EQ(f.strobe->strobeMap[11026], 0);
}

TEST_F(Strobe, RateBarsScaleTheIntervalWithinItsLimits) {
  command(STROBE_START);
  // The full half height below the centre on the x20 bar: 10 % slower per event.
  strobeRate(*f.strobe, *f.notes, *f.grid, f.prompter, STROBE_RATE_X20, 766.0f, 525.5f, 240.5f);
  EXPECT_NEAR(f.strobe->strobeInterval, 826.875f * 1.1f, 0.01f);
  strobeRate(*f.strobe, *f.notes, *f.grid, f.prompter, STROBE_RATE_X1, 285.0f, 525.5f, 240.5f);
  EXPECT_NEAR(f.strobe->strobeInterval, 826.875f * 1.1f * 0.995f, 0.01f);
  for (int k = 0; k < 40; ++k) {
    strobeRate(*f.strobe, *f.notes, *f.grid, f.prompter, STROBE_RATE_X20, 766.0f, 525.5f, 240.5f);
  }
  EXPECT_FLOAT_EQ(f.strobe->strobeInterval, MAX_INTERVAL);
  for (int k = 0; k < 40; ++k) {
    strobeRate(*f.strobe, *f.notes, *f.grid, f.prompter, STROBE_RATE_X20, 285.0f, 525.5f, 240.5f);
  }
  EXPECT_FLOAT_EQ(f.strobe->strobeInterval, MIN_INTERVAL);
  EXPECT_EQ(f.strobe->tempoText, "187.00");
}

TEST_F(Strobe, ConvertWritesTheTrainAsOneUndoGroup) {
  f.notes->lineMap[10500] = LINE_DIVISION;
  f.notes->lineMap[12000] = LINE_BEAT | LINE_LOCK;
  f.notes->lineMap[12680] = LINE_BEAT | LINE_BAR;
  f.notes->lineMap[13600] = LINE_BEAT | LINE_BAR | LINE_END;
  f.notes->endMarker = 13600;
  f.refresh();
  const auto before = f.notes->lineMap;
  command(STROBE_CONVERT);  // mode off: nothing
  EXPECT_EQ(f.notes->lineMap, before);
  command(STROBE_START);
  command(STROBE_CONVERT);
  Lines lines;
  for (std::uint32_t p = 10000; p < 14000; ++p) {
    if (f.notes->lineMap[p]) lines.push_back(p);
  }
  EXPECT_EQ(lines, (Lines{10200, 11026, 11853, 12000, 12680, 13507}));
  EXPECT_EQ(f.notes->lineMap[12680], LINE_BEAT | LINE_BAR);  // hit by the train: kept as it was
  EXPECT_EQ(f.notes->endMarker, 0u);
  EXPECT_EQ(f.strobe->mode, StrobeMode::Start);
  EXPECT_EQ(f.grid->columnPositions[1], 11026u);
  undoGrid(*f.notes);
  EXPECT_EQ(f.notes->lineMap, before);
  EXPECT_EQ(f.notes->endMarker, 13600u);
}

TEST_F(Strobe, ShiftMovesTheStartingBeatAndTheLinesAfterIt) {
  f.notes->slots[10200] = makeNote(1, 40, 799);
  command(STROBE_UP_SMALL);
  EXPECT_EQ(f.notes->lineMap[10195], LINE_BEAT);
  EXPECT_EQ(f.notes->lineMap[10200], 0);
  EXPECT_EQ(f.notes->slots[10195], makeNote(1, 40, 799));
  EXPECT_EQ(f.notes->lineMap[10995], LINE_BEAT);
  EXPECT_EQ(f.notes->lineMap[12995], LINE_BEAT);
  EXPECT_TRUE(f.notes->gridHistory.empty());
  command(STROBE_DOWN_SMALL);
  EXPECT_EQ(f.notes->lineMap[10199], LINE_BEAT);
  EXPECT_EQ(f.notes->lineMap[10999], LINE_BEAT);
  EXPECT_EQ(f.notes->slots[10199], makeNote(1, 40, 799));
  EXPECT_EQ(f.notes->lineIndex[0], 10199u);
}

TEST_F(Strobe, NoStartingBeatShowsItsMessage) {
  f.show(14000, 18000);
  command(STROBE_START);
  EXPECT_EQ(f.prompter.last(), "STROBO\n Please, append a beat as a STARTING BEAT.");
  EXPECT_EQ(f.prompter.shown.back().icon, Icon::Error);
  EXPECT_EQ(f.strobe->strobeCount, 0);
}

TEST_F(Strobe, FixHandsOverTheIntervalButOnlyAValidTempo) {
  strobeTakeInterval(*f.strobe, 300.0f);
  EXPECT_FLOAT_EQ(f.strobe->strobeInterval, MIN_INTERVAL);
  EXPECT_EQ(f.strobe->tempoText, "   100");
  strobeTakeInterval(*f.strobe, 500.0f);
  EXPECT_EQ(f.strobe->tempoText, "165.38");
}

TEST(StrobeLong, TrainStopsAtTheListCapacity) {
  EditorFixture f(1000000);
  f.addLines({1000});
  f.show(900, 990000);
  f.strobe->strobeInterval = MIN_INTERVAL;
  strobeCommand(*f.strobe, *f.notes, *f.grid, f.prompter, STROBE_START);
  EXPECT_EQ(f.strobe->strobeCount, 2048);
  EXPECT_EQ(f.strobe->strobeList[2048], 0);
}

TEST_F(Strobe, TapSetsABeatWherePlaybackIs) {
  EXPECT_EQ(tapBeat(*f.notes, *f.grid, true, 12345 * 32 + 7), 0);  // tap mode off
  f.notes->editor.tapMode = 1;
  EXPECT_EQ(tapBeat(*f.notes, *f.grid, true, 12345 * 32 + 7), 1);
  EXPECT_EQ(f.notes->lineMap[12345], LINE_BEAT);
  EXPECT_EQ(f.notes->lineIndex[2], 12345u);
  EXPECT_EQ(tapBeat(*f.notes, *f.grid, true, 15000 * 32), 0);  // below the window
  EXPECT_EQ(tapBeat(*f.notes, *f.grid, false, 12500 * 32), 0);
  EXPECT_EQ(tapBeat(*f.notes, *f.grid, true, 12500 * 32), 1);
  undoGrid(*f.notes);  // each tap is its own group
  EXPECT_EQ(f.notes->lineMap[12500], 0);
  EXPECT_EQ(f.notes->lineMap[12345], LINE_BEAT);
}

}  // namespace
}  // namespace quavrix
