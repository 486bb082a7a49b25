// SPDX-License-Identifier: GPL-3.0-or-later
// "Find beats" and the grid a recording opens with, on a metronome whose
// beats are known: the tracked lines land on the clicks, locked lines and
// the other page's lines stay, and one Undo takes it all back.

#include "engine/find_beats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/units.h"
#include "engine/engine.h"
#include "score/beat_grid.h"
#include "score/edit_history.h"
#include "support/engine/project_fixture.h"
#include "support/metronome.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

constexpr double SECONDS = 16.0;

std::uint32_t positionOf(double seconds) {
  return static_cast<std::uint32_t>(std::lround((seconds * SAMPLE_RATE + LEAD_IN_FRAMES) / 32.0));
}

std::vector<std::uint32_t> linesWith(const NoteStore& notes, std::uint8_t flag) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t p = 0; p < notes.positions; ++p)
    if (notes.lineMap[p] & flag) out.push_back(p);
  return out;
}

class FindBeats : public ::testing::Test {
 protected:
  void SetUp() override {
    clicks = test::beatInstants(SECONDS, [](double) { return 120.0; });
    ASSERT_TRUE(
        test::WavBuilder().format(2).data(test::metronomeFrames(clicks, 4, SECONDS)).write(f.wav));
  }
  NoteStore& notes() { return f.engine->notes; }
  // Every click has a line within four positions (3 ms) and no line is elsewhere.
  void expectOnClicks(const std::vector<std::uint32_t>& lines, std::size_t skip = 0) {
    ASSERT_GE(lines.size() + skip, clicks.size() - 1);
    for (std::uint32_t line : lines) {
      std::uint32_t best = 0xFFFFFFFF;
      for (double c : clicks)
        best = std::min(best, static_cast<std::uint32_t>(std::abs(static_cast<long>(positionOf(c)) -
                                                                  static_cast<long>(line))));
      EXPECT_LE(best, 4u) << line;
    }
  }
  test::ProjectFixture f;
  std::vector<double> clicks;
};

TEST_F(FindBeats, LaysTheTrackedGridKeepsLockedLinesAndUndoesInOneStep) {
  ASSERT_TRUE(f.open());
  NoteStore& n = notes();
  // A locked beat a little off the third click, a division line where the
  // fifth tracked beat goes, and a beat between the clicks that must go.
  const std::uint32_t locked = positionOf(clicks[2]) + 20;
  const std::uint32_t division = trackedLines(recordingBeats(*f.engine), n.positions)[4].position;
  const std::uint32_t stray = positionOf(clicks[6] + 0.25);
  setLine(n, locked, LINE_BEAT | LINE_LOCK, false);
  setLine(n, division, LINE_DIVISION, false);
  setLine(n, stray, LINE_BEAT, false);
  clearGridHistory(n);
  const std::vector<std::uint8_t> before(n.lineMap.begin(), n.lineMap.end());

  const int laid = findBeats(*f.engine);
  EXPECT_GE(laid, static_cast<int>(clicks.size()) - 3);
  const auto beats = linesWith(n, LINE_BEAT);
  EXPECT_NE(std::find(beats.begin(), beats.end(), locked), beats.end()) << "locked line kept";
  EXPECT_EQ(std::count_if(beats.begin(), beats.end(),
                          [&](std::uint32_t p) { return p + 40 > locked && p < locked + 40; }),
            1)
      << "no tracked beat next to the locked one";
  EXPECT_EQ(n.lineMap[stray], 0);
  EXPECT_EQ(n.lineMap[division] & LINE_DIVISION, 0) << "a beat is never a division line";
  std::vector<std::uint32_t> unlocked;
  for (std::uint32_t p : beats)
    if (p != locked) unlocked.push_back(p);
  expectOnClicks(unlocked, 1);

  const auto bars = linesWith(n, LINE_BAR);
  ASSERT_GE(bars.size(), 7u);
  for (std::size_t i = 1; i < bars.size(); ++i)
    EXPECT_NEAR(static_cast<double>(bars[i] - bars[i - 1]), 2.0 * SAMPLE_RATE / 32.0, 3.0);
  EXPECT_EQ(n.startMarker, bars.front());
  EXPECT_EQ(n.endMarker, bars.back());
  EXPECT_EQ(f.engine->viewState.beatsInBarText, "   4");
  EXPECT_EQ(f.engine->viewState.tempoText.substr(0, 3), "120");

  undoGrid(n);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), n.lineMap.begin()));
  EXPECT_EQ(n.startMarker, 0u);
}

TEST_F(FindBeats, WorksOnTheVisibleWindowOnly) {
  ASSERT_TRUE(f.open());
  NoteStore& n = notes();
  const std::vector<std::uint8_t> before(n.lineMap.begin(), n.lineMap.end());
  const std::uint32_t vs = positionOf(4.0), ve = positionOf(8.0);
  f.engine->cellGrid.setVisibleWindow(vs, ve);
  f.engine->viewState.window.start = static_cast<std::int32_t>(vs) * 32;
  f.engine->viewState.window.end = static_cast<std::int32_t>(ve) * 32;
  f.engine->viewState.window.total = static_cast<std::int32_t>(n.positions) * 32;
  findBeats(*f.engine);
  for (std::uint32_t p = 0; p < n.positions; ++p) {
    if (p < vs || p >= ve) {
      ASSERT_EQ(n.lineMap[p], before[p]) << p;
    }
  }
  expectOnClicks(linesWith(n, LINE_BEAT), clicks.size() - 8);
}

TEST_F(FindBeats, MoreChangesThanUndoHoldsAskFirst) {
  ASSERT_TRUE(f.open());
  NoteStore& n = notes();
  // A beat every ten positions: far more lines go than Undo could restore.
  for (std::uint32_t p = positionOf(0.5); p < positionOf(SECONDS - 1.0); p += 10)
    setLine(n, p, LINE_BEAT, false);
  clearGridHistory(n);
  const std::vector<std::uint8_t> before(n.lineMap.begin(), n.lineMap.end());

  f.prompter.answer(Answer::No);
  EXPECT_EQ(findBeats(*f.engine), -1);
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), n.lineMap.begin()));

  f.prompter.answer(Answer::Yes);
  EXPECT_GT(findBeats(*f.engine), 20);
  EXPECT_TRUE(n.gridHistory.empty()) << "nothing half-undoable is left";
  expectOnClicks(linesWith(n, LINE_BEAT));
}

TEST_F(FindBeats, GridOnOpeningBeatsSeedsTheTrackedGrid) {
  f.engine->settings.values.gridOnOpening = GRID_FROM_BEATS;
  ASSERT_TRUE(f.open());
  expectOnClicks(linesWith(notes(), LINE_BEAT));
  EXPECT_GE(linesWith(notes(), LINE_BAR).size(), 7u);
  EXPECT_TRUE(notes().gridHistory.empty()) << "a seeded grid is no edit";
  EXPECT_EQ(f.engine->viewState.beatsInBarText, "   4");
}

}  // namespace
}  // namespace quavrix
