// SPDX-License-Identifier: GPL-3.0-or-later
// What the drawing pass draws, checked on a recording canvas: which
// regions, in which colours and widths, and what it leaves alone.

#include "ui/draw/drawing_pass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/editing.h"
#include "engine/project_open.h"
#include "engine/transport.h"
#include "score/beat_grid.h"
#include "support/wav_builder.h"
#include "ui/draw/colours.h"
#include "ui/model/visible_window.h"
#include "ui/view_fixture.h"

namespace quavrix {
namespace {

using Kind = DrawCall::Kind;
using test::ViewFixture;

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    pass();  // the one-time set-up and the first full pass
  }
  void pass() {
    f.canvas.clear();
    drawPass(f.view, f.canvas);
  }
  void setColour(int record, int r, int g, int b, int a, int t) {
    f.engine->settings.values.colours[record] = {r, g, b, a, t, {}};
    ++f.engine->settings.colourRevision;
  }
  // Fills of exactly this rectangle.
  std::vector<const DrawCall*> fillsOf(const ScreenRect& r) {
    std::vector<const DrawCall*> found;
    for (const DrawCall* c : f.canvas.of(Kind::Fill))
      if (c->rect == toRectF(r)) found.push_back(c);
    return found;
  }
  ViewFixture f;
};

TEST(DrawingStart, WithoutARecordingOnlyTheStartPictureIsDrawnOnce) {
  ViewFixture f(false, false);
  drawPass(f.view, f.canvas);
  ASSERT_EQ(f.canvas.calls.size(), 1u);
  EXPECT_EQ(f.canvas.calls[0].picture, Picture::Start);
  EXPECT_EQ(f.canvas.calls[0].rect, (RectF{0, 0, 1889, 956}));
  f.canvas.clear();
  drawPass(f.view, f.canvas);
  EXPECT_TRUE(f.canvas.calls.empty());
}

TEST_F(Drawing, TheFirstPassDrawsEveryRegionAndLaterOnesOnlyWhatIsDirty) {
  // The pass in SetUp drew both strips; this one has nothing dirty but the roll.
  pass();
  std::vector<Picture> pictures;
  for (const DrawCall* c : f.canvas.of(Kind::Picture)) pictures.push_back(c->picture);
  EXPECT_TRUE(pictures.empty());
  EXPECT_EQ(fillsOf(f.engine->layout.rollArea).size(), 1u);
  EXPECT_EQ(fillsOf(f.engine->layout.overviewBand).size(), 0u);
  EXPECT_EQ(fillsOf(f.engine->layout.marginStrip1)[0]->colour, colour::MarginTeal);

  f.engine->viewState.dirty.topBar = true;
  pass();
  pictures.clear();
  for (const DrawCall* c : f.canvas.of(Kind::Picture)) pictures.push_back(c->picture);
  EXPECT_EQ(pictures, std::vector<Picture>{Picture::TopStrip});
  EXPECT_EQ(f.canvas.textSizes, (std::vector<float>{64, 22, 18}));
}

TEST_F(Drawing, KeyStripesTakeTheirClassColour) {
  setColour(COLOUR_IVORY_KEY, 90, 90, 80, 100, 0);
  setColour(COLOUR_IVORY_KEY_C, 100, 0, 0, 100, 0);
  setColour(COLOUR_EBONY_KEY, 10, 10, 10, 0, 0);
  pass();
  const CellGrid& grid = f.engine->cellGrid;
  // Key setting 0: row 0 is C (the marked row), row 1 C# (black), row 2 D (white).
  const Colour expected[] = {{1, 0, 0, 1}, {0.1f, 0.1f, 0.1f, 1}, {0.9f, 0.9f, 0.8f, 1}};
  for (int row = 0; row < 3; ++row) {
    const auto fills = fillsOf(grid.keyRects[row]);
    ASSERT_EQ(fills.size(), 1u) << row;
    EXPECT_EQ(fills[0]->colour, expected[row]) << row << ": key colours are always opaque";
  }
}

TEST_F(Drawing, GridLinesTakeTheirColourAndThicknessAndStopAtPositionZero) {
  setColour(COLOUR_BEAT_LINES, 0, 100, 0, 0, 0);  // alpha 0 and thickness 0
  pass();
  const CellGrid& grid = f.engine->cellGrid;
  ASSERT_GE(grid.columnCount, 3u);
  const std::uint32_t beat = grid.columnPositions[1];
  const float y = positionY(*f.engine, beat);
  const auto lines = f.canvas.linesAt(y, Colour{0, 1, 0, 0});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]->width, 0.0f);
  EXPECT_EQ(lines[0]->rect.left, 288.0f);
  EXPECT_EQ(lines[0]->rect.right, 1889.0f);
  // A line at position 0 in the columns ends the loop: nothing after it is drawn.
  const std::uint32_t saved = f.engine->cellGrid.columnPositions[1];
  f.engine->cellGrid.columnPositions[1] = 0;
  pass();
  EXPECT_TRUE(
      f.canvas.linesAt(positionY(*f.engine, grid.columnPositions[2]), Colour{0, 1, 0, 0}).empty());
  f.engine->cellGrid.columnPositions[1] = saved;
}

TEST_F(Drawing, TheLineLastPassedIsWideAndMovesFromBeatToBeat) {
  setColour(COLOUR_BEAT_LINES, 0, 0, 100, 100, 20);  // normal 2, wide 5
  const Colour beat{0, 0, 1, 1};
  togglePlay(*f.engine);
  std::uint32_t seen[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until &&
           (transportStatus(*f.engine).lastBeat == 0 ||
            transportStatus(*f.engine).lastBeat == seen[0])) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    seen[k] = transportStatus(*f.engine).lastBeat;
    pass();
    if (transportStatus(*f.engine).lastBeat != seen[k]) {  // moved during the pass: look again
      --k;
      continue;
    }
    int wide = 0;
    for (const DrawCall* c : f.canvas.of(Kind::Line)) {
      if (!(c->colour == beat)) continue;
      const bool atBeat = std::fabs(c->rect.top - positionY(*f.engine, seen[k])) < 0.5f;
      EXPECT_FLOAT_EQ(c->width, atBeat ? 5.0f : 2.0f);
      wide += atBeat;
    }
    EXPECT_EQ(wide, 1);
  }
  stopPlaying(*f.engine);
  EXPECT_NE(seen[0], seen[1]);
}

TEST_F(Drawing, NotesShowHeadAndTailAndAHeldNoteFromAboveTheWindowShowsItsTail) {
  setColour(1 + COLOUR_TRACK_OFFSET, 100, 50, 0, 90, 40);
  NoteStore& notes = f.engine->notes;
  const CellGrid& grid = f.engine->cellGrid;
  ASSERT_GE(grid.columnCount, 5u);
  const std::uint32_t line = grid.columnPositions[0];
  const std::uint32_t end = grid.columnPositions[3];
  notes.slots[line] = makeNote(1, 40, static_cast<int>(end - line - 1));
  rebuildCells(f.engine->cellGrid, notes);
  pass();
  const auto cellFill = [&](int column) -> const DrawCall* {
    const ScreenRect& key = grid.keyRects[39];
    const ScreenRect& band = grid.columnRects[column];
    for (const DrawCall* c : f.canvas.of(Kind::Fill))
      if (c->rect == RectF{float(key.left), float(band.top), float(key.right), float(band.bottom)})
        return c;
    return nullptr;
  };
  ASSERT_NE(cellFill(0), nullptr);
  EXPECT_EQ(cellFill(0)->colour, (Colour{1, 0.5f, 0, 0.9f}));
  ASSERT_NE(cellFill(2), nullptr);
  EXPECT_EQ(cellFill(2)->colour, (Colour{1, 0.5f, 0, 0.4f}));
  EXPECT_EQ(cellFill(3), nullptr);

  // Scrolled so that the note starts above the top: its tail still shows.
  setWindow(*f.engine, static_cast<int>(grid.columnPositions[1] * 32 - 16),
            f.engine->viewState.window.total);
  pass();
  ASSERT_NE(cellFill(0), nullptr);
  EXPECT_EQ(cellFill(0)->colour, (Colour{1, 0.5f, 0, 0.4f}));
}

// A stereo 440 Hz tone of `frames` frames.
std::string toneRecording(const test::TempDir& dir, int frames) {
  const std::string path = dir.file("tone.wav");
  test::WavBuilder().format(2).data(test::toneSamples(frames, 440.0, 12000, true)).write(path);
  return path;
}

TEST_F(Drawing, TheGuessingCurvePeaksOverTheKeyOfTheTone) {
  ASSERT_EQ(openRecording(*f.engine, toneRecording(f.dir, 44100 * 2)), 1);
  viewAfterOpen(f.view);
  // The curve shows the spectrum where playback is: play a little, then pause.
  togglePlay(*f.engine);
  while (transportStatus(*f.engine).position < LEAD_IN_FRAMES + 8192)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  togglePlay(*f.engine);
  pass();
  const auto curve = f.canvas.of(Kind::Columns);
  ASSERT_EQ(curve.size(), 1u);
  const DrawCall& c = *curve[0];
  ASSERT_FALSE(c.top.empty());
  const auto peak = std::min_element(c.top.begin(), c.top.end()) - c.top.begin();
  const float x440 = f.engine->viewState.spectrumMap.x[440];
  EXPECT_NEAR(c.x[peak], x440, 4.0f) << "the tallest column stands over 440 Hz";
  EXPECT_LT(c.top[peak], c.rect.bottom - 1);
  for (const float y : c.top) EXPECT_GE(y, f.engine->layout.rollArea.top + 2.0f);

  f.engine->viewState.guessing = 0;
  pass();
  EXPECT_TRUE(f.canvas.of(Kind::Columns).empty());
}

TEST_F(Drawing, ARecordingWithoutAFullBlockHasNoCurve) {
  ASSERT_EQ(openRecording(*f.engine, toneRecording(f.dir, 9000)), 1);
  viewAfterOpen(f.view);
  pass();
  EXPECT_TRUE(f.canvas.of(Kind::Columns).empty());
  EXPECT_FALSE(f.canvas.of(Kind::Fill).empty());
}

TEST_F(Drawing, TheOverviewsWaveformIsDrawnOverTheWindowsTint) {
  f.engine->viewState.dirty.overview = true;
  pass();
  std::size_t tint = f.canvas.calls.size();
  std::size_t lastWave = 0;
  for (std::size_t i = 0; i < f.canvas.calls.size(); ++i) {
    const DrawCall& c = f.canvas.calls[i];
    if (c.kind == Kind::Fill && c.colour == colour::Pink30) tint = std::min(tint, i);
    if (c.kind == Kind::Line && c.colour == colour::LeftWave) lastWave = i;
  }
  ASSERT_LT(tint, f.canvas.calls.size());
  EXPECT_LT(tint, lastWave) << "the tint would hide the waveform";
}

TEST(DrawingSmall, ThePanelLeavesNothingOnTheBarsWhenItClosesOrStepsAside) {
  // The small layout's panel reaches over both bars: they are drawn again.
  ViewFixture f(true);
  ASSERT_TRUE(f.opened);
  toggleEditor(*f.engine);
  drawPass(f.view, f.canvas);
  const auto barsDrawn = [&] {
    f.canvas.clear();
    drawPass(f.view, f.canvas);
    int strips = 0;
    for (const DrawCall* c : f.canvas.of(Kind::Picture))
      strips += c->picture == Picture::TopStrip || c->picture == Picture::BottomStrip;
    return strips;
  };
  EXPECT_EQ(barsDrawn(), 0) << "nothing changed";
  f.view.input.panelHidden = true;
  EXPECT_EQ(barsDrawn(), 2) << "stepped aside";
  f.view.input.panelHidden = false;
  barsDrawn();  // the page again
  toggleEditor(*f.engine);
  ASSERT_FALSE(f.engine->notes.editor.open);
  EXPECT_EQ(barsDrawn(), 2) << "closed";
}

}  // namespace
}  // namespace quavrix
