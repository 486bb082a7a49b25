// SPDX-License-Identifier: GPL-3.0-or-later
// The input dispatcher without a toolkit: clicks, drags, the wheel and keys
// at the large layout's coordinates, checked by what they change.

#include "ui/input/input.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/editing.h"
#include "engine/project.h"
#include "engine/transport.h"
#include "score/beat_grid.h"
#include "ui/draw/colours.h"
#include "ui/draw/drawing_pass.h"
#include "ui/input/input_sections.h"
#include "ui/model/control_code.h"
#include "ui/model/visible_window.h"
#include "ui/view_fixture.h"

namespace quavrix {
namespace {

class Input : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.opened); }
  Engine& e() { return *f.engine; }
  View& v() { return f.view; }
  VisibleWindow& w() { return e().viewState.window; }
  void click(int x, int y) {
    mouseMove(v(), {x, y});
    leftDown(v(), {x, y});
    leftUp(v(), {x, y});
  }
  void rightClick(int x, int y) {
    mouseMove(v(), {x, y});
    rightDown(v(), {x, y});
    rightUp(v(), {x, y});
  }
  void drag(ScreenPoint from, ScreenPoint to, bool right = false) {
    mouseMove(v(), from);
    right ? rightDown(v(), from) : leftDown(v(), from);
    mouseMove(v(), {(from.x + to.x) / 2, (from.y + to.y) / 2});
    mouseMove(v(), to);
    right ? rightUp(v(), to) : leftUp(v(), to);
  }
  // The middle of a control's rectangle.
  ScreenPoint at(int code) {
    const ScreenRect& r = v().rects[code];
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void press(int code) { click(at(code).x, at(code).y); }
  // Beats every 500 positions from `from`, the only lines of the grid.
  void evenBeats(std::uint32_t from = 600) {
    NoteStore& notes = e().notes;
    for (std::uint32_t p = 0; p < notes.positions; ++p) notes.lineMap[p] = 0;
    for (std::uint32_t p = from; p < notes.positions; p += 500) notes.lineMap[p] = LINE_BEAT;
    refreshGrid(notes, e().cellGrid);
  }
  test::ViewFixture f;
};

TEST_F(Input, SpeedButtonsAndSlidersStayWithinTheirRange) {
  struct Case {
    int start, code, x, expected;
  };
  const ScreenRect& s12 = v().rects[SlowSlider12];
  for (const Case& c :
       {Case{2048, FasterButton, 0, 2048}, Case{1024, FasterButton, 0, 1054},
        Case{256, SlowerButton, 0, 256}, Case{2048, SlowerButton, 0, 1987},
        Case{512, SlowX1Button, 0, 2048}, Case{2048, SlowX8Button, 0, 256},
        Case{512, SlowSlider12, s12.left, 2048}, Case{512, SlowSlider12, s12.right - 1, 1028}}) {
    setSpeed(e(), c.start);
    const ScreenPoint p = c.x ? ScreenPoint{c.x, at(c.code).y} : at(c.code);
    click(p.x, p.y);
    EXPECT_EQ(playbackSpeed(e()), c.expected) << c.code << " from " << c.start;
  }
  EXPECT_EQ(e().viewState.speedText, "x 1.99");
  EXPECT_TRUE(e().viewState.dirty.topBar);
}

TEST_F(Input, TheWheelStepsByBeatsAndTheRightButtonGoesBack) {
  evenBeats();
  setWindow(e(), 600 * 32 - 32, 3100 * 32);
  const int first = w().start;
  w().scrollStep = 2;
  mouseMove(v(), {1000, 400});
  wheel(v(), -1, false);  // one notch towards the person: later
  EXPECT_EQ(w().start, 1600 * 32 - 32);
  EXPECT_EQ(w().end, 4100 * 32);
  wheel(v(), +1, false);
  EXPECT_EQ(w().start, first);
  // Right clicks in the overview's right half without moving: back, then back again.
  const int later = 1600 * 32 - 32;
  setWindow(e(), later, 4100 * 32);
  w().previousStart = first;
  w().previousEnd = 3100 * 32;
  rightClick(90, 850);
  EXPECT_EQ(w().start, first);
  rightClick(90, 850);
  EXPECT_EQ(w().start, later);
  // With no beat line within reach nothing moves.
  NoteStore& notes = e().notes;
  for (std::uint32_t p = 2200; p < notes.positions; ++p) notes.lineMap[p] = 0;
  setWindow(e(), 1100 * 32 - 32, 2100 * 32);
  snapToBeats(e());
  const int before = w().start;
  mouseMove(v(), {1000, 400});
  wheel(v(), -1, false);
  EXPECT_EQ(w().start, before);
}

TEST_F(Input, KeyRowsStayInWholeOctavesAndTheGuessingCurveFollows) {
  std::mt19937 random(7);
  const int codes[] = {KeyLowButton, KeyHighButton, KeyWidenButton, KeyNarrowButton};
  const Key keys[] = {Key::Left, Key::Right, Key::Up, Key::Down};
  const CellGrid& grid = e().cellGrid;
  for (int i = 0; i < 200; ++i) {
    if (random() % 2) {
      const int code = codes[random() % 4];
      const ScreenRect& r = v().rects[code];
      click(random() % 2 ? r.left : 1500, (r.top + r.bottom) / 2);
      click(r.left + 1, r.top + 1);
    } else {
      keyDown(v(), keys[random() % 4], false);
    }
    ASSERT_GE(grid.keyRows, 36u);
    ASSERT_LE(grid.keyRows, 84u);
    ASSERT_EQ(grid.keyRows % 12, 0u);
    ASSERT_EQ(grid.firstKeyRow % 12, 0u);
    ASSERT_LE(grid.firstKeyRow + grid.keyRows, 84u);
    SpectrumMap expected;
    buildSpectrumMap(expected, static_cast<int>(grid.firstKeyRow), static_cast<int>(grid.keyRows),
                     304, 1585);
    ASSERT_EQ(e().viewState.spectrumMap.first, expected.first);
    ASSERT_EQ(e().viewState.spectrumMap.bound, expected.bound);
  }
}

TEST_F(Input, GuessingKeepsAChannelAndTapWaitsForTapModeAndPlayback) {
  ViewState& s = e().viewState;
  press(GuessLeftButton);
  EXPECT_EQ(s.guessLeft, 0);
  press(GuessRightButton);
  EXPECT_EQ(s.guessRight, 0);
  EXPECT_EQ(s.guessLeft, 1) << "switching off the last channel switches the other on";
  for (int k = 0; k < 12; ++k) press(GuessUpButton);
  EXPECT_EQ(s.spectrumGain, 10.0f);
  EXPECT_EQ(e().settings.values.displayMagnification, 10);

  evenBeats();
  const std::uint8_t lines = e().notes.lineCount;
  keyDown(v(), Key::Enter, false);  // not in tap mode
  e().notes.editor.tapMode = 1;
  keyDown(v(), Key::Enter, false);  // tap mode, but stopped
  rebuildLineIndex(e().notes);
  EXPECT_EQ(e().notes.lineCount, lines);
}

TEST_F(Input, SectionsRecordAskBeforeOverwritingWidenAndShowTheirRange) {
  auto& slot = e().settings.values.sections[2][3];
  press(BankButtonA + 2);
  press(SlotButton1 + 3);
  setWindow(e(), 20000, 40000);
  press(SectionRecordButton);
  EXPECT_EQ(slot, (SectionRange{20000, 40000}));
  EXPECT_TRUE(f.prompter.shown.empty()) << "an empty slot is recorded without asking";

  setWindow(e(), 50000, 60000);
  f.prompter.answer(Answer::No);
  press(SectionRecordButton);
  EXPECT_EQ(f.prompter.last(), input::SECTION_OVERWRITE_QUESTION);
  EXPECT_EQ(slot, (SectionRange{20000, 40000}));
  press(SectionAddButton);
  EXPECT_EQ(slot, (SectionRange{20000, 60000}));
  f.prompter.answer(Answer::Yes);
  press(SectionRecordButton);
  EXPECT_EQ(slot, (SectionRange{50000, 60000}));

  setWindow(e(), 8192, 30000);
  press(SlotButton1 + 3);
  EXPECT_EQ(w().start, 50000);
  EXPECT_EQ(w().end, 60000);
  EXPECT_EQ(e().viewState.sections[2][3].flags, 3) << "holds a record, selected";
  press(SectionDeleteButton);
  EXPECT_EQ(slot, SectionRange{});
}

TEST_F(Input, TrackButtonsAndKeysChooseTheTrack) {
  ViewState& s = e().viewState;
  press(TrackButton1 + 2);  // track 3
  EXPECT_EQ(s.currentTrack, 3);
  rightClick(at(TrackButton1 + 2).x, at(TrackButton1 + 2).y);
  EXPECT_FALSE(trackOutput(e(), 3));
  EXPECT_EQ(s.noTrackSelected, 1);
  press(TrackButton1 + 2);  // switched on again, not yet selected
  EXPECT_TRUE(trackOutput(e(), 3));
  EXPECT_EQ(s.noTrackSelected, 0);
  rightClick(at(TrackButton1 + 4).x, at(TrackButton1 + 4).y);  // track 5 off
  keyDown(v(), Key::G, false);
  EXPECT_EQ(s.currentTrack, 4);
  keyDown(v(), Key::G, false);
  EXPECT_EQ(s.currentTrack, 6) << "G steps over the switched-off track 5";
  keyDown(v(), Key::D, false);
  EXPECT_EQ(s.currentTrack, 4);
  for (int k = 0; k < 5; ++k) keyDown(v(), Key::D, false);
  EXPECT_EQ(s.currentTrack, 1);
}

TEST_F(Input, EveryDragMovesWhatItHolds) {
  const int total = w().total;
  const ViewLayout& l = e().layout;
  setWindow(e(), 60000, 120000);
  const float spp = static_cast<float>(w().samplesPerPixel);
  const int top = static_cast<int>(l.overviewColumn.top + 60000 / spp);
  const int bottom = static_cast<int>(l.overviewColumn.top + 120000 / spp);
  // The right button on the top edge drags the start, on the bottom edge the end.
  drag({90, top - 1}, {90, top - 21}, true);
  EXPECT_NEAR(w().start, 60000 - 20 * spp, 2 * spp);
  EXPECT_EQ(w().end, 120000);
  drag({90, bottom + 1}, {90, bottom + 11}, true);
  EXPECT_NEAR(w().end, 120000 + 10 * spp, 2 * spp);
  // A new window drawn in the overview's left half.
  drag({30, 300}, {30, 500});
  EXPECT_NEAR(w().start, (300 - l.overviewColumn.top) * spp, spp);
  EXPECT_NEAR(w().end, (500 - l.overviewColumn.top) * spp, spp);
  // The zoom column's lower band moves the end (dragging up moves it later)
  // and stops at the last sample; the upper band moves the start.
  setWindow(e(), 60000, 120000);
  drag({200, 700}, {200, 680});
  EXPECT_EQ(w().start, 60000);
  EXPECT_EQ(w().end, 120000 + (60000 / 800) * 20);
  setWindow(e(), 60000, 150000);
  drag({200, 700}, {200, 100});
  EXPECT_EQ(w().end, total);
  drag({200, 300}, {200, 320});
  EXPECT_EQ(w().start, 60000 - ((total - 60000) / 800) * 20);
  // A margin selection shorter than the shortest beat zooms nowhere.
  setWindow(e(), 8192, total);
  drag({260, 400}, {260, 401});
  EXPECT_EQ(w().start, 8192);
  EXPECT_EQ(w().end, total);
}

TEST_F(Input, ThePanelStepsAsideOverTheFirstMarginStrips) {
  press(BeatEditorButton);
  ASSERT_TRUE(editorOpen(e()));
  mouseMove(v(), {243, 500});
  EXPECT_TRUE(v().input.panelHidden);
  mouseMove(v(), {300, 500});
  EXPECT_FALSE(v().input.panelHidden);
  mouseMove(v(), {250, 500});
  mouseMove(v(), at(AppendButton));  // straight onto a panel button
  EXPECT_FALSE(v().input.panelHidden);
  press(PanelCloseButton);
  EXPECT_FALSE(editorOpen(e()));
}

TEST_F(Input, NothingIsLeftSoundingStuckOrEditedUnseen) {
  press(TrackButton1);
  const CellGrid& grid = e().cellGrid;
  ASSERT_GE(grid.columnCount, 4u);
  const ScreenPoint note{(grid.keyRects[40].left + grid.keyRects[40].right) / 2,
                         (grid.columnRects[1].top + grid.columnRects[1].bottom) / 2};
  // A press on the roll sounds its key; the release off the roll ends it.
  mouseMove(v(), note);
  leftDown(v(), note);
  EXPECT_GE(e().audition.soundingKey, 0);
  mouseMove(v(), {1000, 930});
  leftUp(v(), {1000, 930});
  EXPECT_EQ(e().audition.soundingKey, -1);
  EXPECT_EQ(e().notes.noteHistory.count, 0) << "no note from a press released off the roll";

  // While the columns overflowed the roll takes no notes.
  e().cellGrid.columnOverflow = 1;
  mouseMove(v(), note);
  leftDown(v(), note);
  leftUp(v(), note);
  EXPECT_EQ(e().notes.noteHistory.count, 0);
  e().cellGrid.columnOverflow = 0;

  // While busy, keys and the wheel do nothing.
  e().busy = 1;
  const int start = w().start;
  keyDown(v(), Key::Space, false);
  wheel(v(), -3, false);
  EXPECT_FALSE(transportStatus(e()).playing);
  EXPECT_EQ(w().start, start);
  e().busy = 0;

  // A level drag that leaves the view is kept within the ramp.
  const ScreenPoint ramp = at(WavLevelSlider);
  mouseMove(v(), ramp);
  leftDown(v(), ramp);
  mouseMove(v(), {ramp.x + 5000, 500});
  EXPECT_FLOAT_EQ(e().settings.values.level[LEVEL_WAV], 1.0f);
  mouseMove(v(), {-4000, 500});
  leftUp(v(), {-4000, 500});
  EXPECT_FLOAT_EQ(e().settings.values.level[LEVEL_WAV], 0.0f);
}

TEST_F(Input, RightClickBackReturnsToTheWindowBeforeAWheelStepOrADoubleClickSnap) {
  evenBeats();
  w().scrollStep = 1;
  const ScreenPoint margin{295, 500};
  for (const bool wheelStep : {true, false}) {
    // Starting between beats, so that the snap alone moves the window too.
    setWindow(e(), 700 * 32, 3300 * 32);
    const int start = w().start;
    const int end = w().end;
    mouseMove(v(), margin);
    if (wheelStep) {
      wheel(v(), -1, false);
    } else {
      leftDoubleClick(v(), margin);
      leftUp(v(), margin);
    }
    ASSERT_NE(w().start, start) << wheelStep;
    rightClick(margin.x, margin.y);
    EXPECT_EQ(w().start, start) << (wheelStep ? "after the wheel" : "after the double click");
    EXPECT_EQ(w().end, end);
  }
}

TEST_F(Input, TheBottomBarsLoopAndPlayTintTheTopBarAtOnce) {
  drawPass(v(), f.canvas);
  for (const int code : {LoopButton2, PlayButton2}) {
    press(code);
    f.canvas.clear();
    drawPass(v(), f.canvas);
    const int top = code == LoopButton2 ? LoopButton : PlayButton;
    bool tinted = false;
    for (const DrawCall* c : f.canvas.of(DrawCall::Kind::Fill))
      tinted = tinted || (c->rect == toRectF(v().rects[top]) && c->colour == colour::Blue20);
    EXPECT_TRUE(tinted) << code;
  }
  togglePlay(e());
}

TEST_F(Input, ARecordedSectionIsAnUnsavedChangeUntilTheProjectIsSaved) {
  ASSERT_FALSE(hasUnsavedChanges(e()));
  press(SectionRecordButton);
  ASSERT_GT(e().settings.values.sections[0][0].end, 0);
  EXPECT_TRUE(hasUnsavedChanges(e()));
  f.prompter.answer(Answer::No);
  EXPECT_EQ(closeCheck(e()), 0);
  EXPECT_EQ(f.prompter.last(), CLOSE_QUESTION);

  f.files.reply(f.dir.file("song-sections.dat"));
  ASSERT_EQ(saveProjectDataAs(e()), 0);
  EXPECT_FALSE(hasUnsavedChanges(e()));
  const SectionRange kept = e().settings.values.sections[0][0];
  press(SectionDeleteButton);
  ASSERT_EQ(loadProjectFile(e(), f.dir.file("song-sections.dat"), std::string()), 0);
  EXPECT_EQ(e().settings.values.sections[0][0].start, kept.start) << "saved with the project";
  EXPECT_EQ(e().settings.values.sections[0][0].end, kept.end);
  EXPECT_FALSE(hasUnsavedChanges(e()));
}

TEST_F(Input, AKeyAuditionedOnTheTickTrackSoundsTheTickInstrument) {
  press(TickTrackButton);  // switches the tick track on, if it was off...
  if (e().viewState.currentTrack != 0) press(TickTrackButton);  // ...then selects it
  ASSERT_EQ(e().viewState.currentTrack, 0);
  const CellGrid& grid = e().cellGrid;
  const ScreenPoint key{(grid.keyRects[30].left + grid.keyRects[30].right) / 2,
                        (grid.columnRects[1].top + grid.columnRects[1].bottom) / 2};
  mouseMove(v(), key);
  keyDown(v(), Key::Shift, false);
  EXPECT_GE(e().audition.soundingKey, 0);
  EXPECT_EQ(e().audition.preset, e().sampler.tickProgram - 1);
  keyUp(v(), Key::Shift);
  EXPECT_EQ(e().audition.soundingKey, -1);
}

}  // namespace
}  // namespace quavrix
