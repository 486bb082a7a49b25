// SPDX-License-Identifier: GPL-3.0-or-later
// The view's geometry without a toolkit: the two layouts, what lies under a
// point, and the visible window's moves.

#include <gtest/gtest.h>

#include "engine/editing.h"
#include "score/beat_grid.h"
#include "ui/model/control_code.h"
#include "ui/model/hit_test.h"
#include "ui/model/layout.h"
#include "ui/model/visible_window.h"
#include "ui/view_fixture.h"

namespace quavrix {
namespace {

using test::ViewFixture;

TEST(Layout, TheSmallLayoutMovesThePanelAndItsRateBarsTogether) {
  const ControlRects large = controlRects(false);
  const ControlRects small = controlRects(true);
  for (const ControlSpec& c : controlSpecs()) {
    const ScreenRect& l = large[c.code];
    const ScreenRect& s = small[c.code];
    if (c.place == Place::TopBar || c.place == Place::BottomBar) {
      EXPECT_EQ(s.right - s.left > 0, true) << c.code;
      continue;
    }
    EXPECT_EQ(s.left, l.left - 70) << c.code;
    EXPECT_EQ(s.top, l.top - 124) << c.code;
    EXPECT_EQ(s.right, l.right - 70) << c.code;
    EXPECT_EQ(s.bottom, l.bottom - 124) << c.code;
  }
  const ViewLayout a = layoutTable(false);
  const ViewLayout b = layoutTable(true);
  EXPECT_EQ(b.beatEditorPanelArea.left, a.beatEditorPanelArea.left - 70);
  EXPECT_EQ(b.beatEditorPanelArea.top, a.beatEditorPanelArea.top - 124);
  EXPECT_FLOAT_EQ(a.strobeZeroY, 525.5f);
  EXPECT_FLOAT_EQ(b.strobeZeroY, 525.5f - 124);
  EXPECT_FLOAT_EQ(b.strobeHalfHeight, a.strobeHalfHeight);
  EXPECT_EQ(a.rollArea.right - a.rollArea.left, a.rollWidth);
  EXPECT_EQ(b.rollArea.right - b.rollArea.left, b.rollWidth);
  EXPECT_TRUE(smallLayoutFor(1919, 1080));
  EXPECT_TRUE(smallLayoutFor(1920, 1079));
  EXPECT_FALSE(smallLayoutFor(1920, 1080));
}

struct Hit {
  int x, y;
  EditorPage page;  // with the panel open; closed when `open` is false
  bool open;
  int help;
  bool strobe;
  int code;
};

TEST(HitTest, EveryRegionAndPageAnswersWithItsCode) {
  ViewFixture f;
  ASSERT_TRUE(f.opened);
  const Hit hits[] = {
      // Left of the top bar, by x only.
      {59, 500, EditorPage::Beat, false, 0, false, OverviewLeft},
      {119, 500, EditorPage::Beat, false, 0, false, OverviewRight},
      {120, 500, EditorPage::Beat, false, 0, false, ZoomLeft},
      {180, 5, EditorPage::Beat, false, 0, false, ZoomLeft},
      {181, 950, EditorPage::Beat, false, 0, false, ZoomRight},
      // The bars: overlaps, and right and bottom edges outside.
      {1700, 40, EditorPage::Beat, false, 0, false, FftMonoButton},
      {1700, 10, EditorPage::Beat, false, 0, false, MonoButton},
      {311, 30, EditorPage::Beat, false, 0, false, BeatEditorButton},
      {312, 30, EditorPage::Beat, false, 0, false, NoControl},
      {450, 24, EditorPage::Beat, false, 0, false, NoControl},
      {1887, 940, EditorPage::Beat, false, 0, false, GuessDownButton},
      {1888, 940, EditorPage::Beat, false, 0, false, NoControl},
      {300, 940, EditorPage::Beat, false, 0, false, WavLevelSlider},
      // Between the bars.
      {243, 500, EditorPage::Beat, false, 0, false, MarginStrip1Code},
      {250, 500, EditorPage::Beat, false, 0, false, MarginStrip2Code},
      {300, 500, EditorPage::Beat, false, 0, false, MarginStrip3Code},
      {1888, 500, EditorPage::Beat, false, 0, false, RollCode},
      {1889, 500, EditorPage::Beat, false, 0, false, NoControl},
      // The panel: on no button, closed and open; the cross before the tabs.
      {790, 250, EditorPage::Beat, false, 0, false, RollCode},
      {790, 250, EditorPage::Beat, true, 0, false, PanelBackground},
      {340, 170, EditorPage::Bar, true, 0, false, PanelCloseButton},
      {400, 170, EditorPage::Bar, true, 0, false, BarTab},
      {335, 240, EditorPage::Division, true, 0, false, PanelUndoButton},
      // Each page's own buttons at one point.
      {400, 320, EditorPage::Bar, true, 0, false, BarLineButton},
      {400, 320, EditorPage::Beat, true, 0, false, AppendButton},
      {550, 320, EditorPage::Beat, true, 0, false, AppendHelpButton},
      {400, 320, EditorPage::Division, true, 0, false, DivAppendButton},
      {350, 400, EditorPage::Beat, true, 0, true, StroboCoarseColumn},
      {600, 320, EditorPage::Beat, true, 0, true, PanelBackground},
      {560, 320, EditorPage::Division, true, 0, false, DivisorButton2},
      {600, 340, EditorPage::Division, true, 0, false, PanelBackground},
      // A help page keeps the Beat page's live buttons, HELP included.
      {400, 320, EditorPage::Beat, true, AppendHelpButton, false, AppendButton},
      {550, 610, EditorPage::Beat, true, AutoFillHelpButton, false, AutoFillHelpButton},
  };
  for (const Hit& h : hits) {
    BeatEditorState& ed = f.engine->notes.editor;
    ed.open = h.open ? 1 : 0;
    ed.page = h.page;
    ed.helpPage = static_cast<std::uint16_t>(h.help);
    ed.strobeShown = h.strobe ? 1 : 0;
    EXPECT_EQ(hitTest(f.view, {h.x, h.y}), h.code) << h.x << "," << h.y;
  }
  f.engine->busy = 1;
  EXPECT_EQ(hitTest(f.view, {1000, 500}), NoControl);
  EXPECT_EQ(panelHitTest(f.view, {400, 320}), NoControl);
}

TEST(HitTest, TheSmallLayoutsPanelSitsHigherAndLeft) {
  ViewFixture f(true);
  ASSERT_TRUE(f.opened);
  f.engine->notes.editor.open = 1;
  f.engine->notes.editor.page = EditorPage::Bar;
  EXPECT_EQ(hitTest(f.view, {400 - 70, 320 - 124}), BarLineButton);
  EXPECT_EQ(hitTest(f.view, {1156, 10}), LeftChannelButton);
  EXPECT_EQ(hitTest(f.view, {127, 300}), ZoomLeft);
  EXPECT_EQ(hitTest(f.view, {128, 300}), ZoomRight);
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.opened); }
  VisibleWindow& w() { return f.engine->viewState.window; }
  ViewFixture f;
};

TEST_F(Window, SetKeepsTheWindowInsideTheRecordingAndAtLeast4096Long) {
  const int total = w().total;
  struct Case {
    int a, b, start, end;
  };
  for (const Case& c : {Case{0, 100, 8192, 12288}, Case{total, total, total - 4096, total},
                        Case{20000, 10, 20000, 24096}, Case{9000, total + 500, 9000, total}}) {
    setWindow(*f.engine, c.a, c.b);
    EXPECT_EQ(w().start, c.start) << c.a << ".." << c.b;
    EXPECT_EQ(w().end, c.end) << c.a << ".." << c.b;
    EXPECT_EQ(f.engine->playback.start.load(), static_cast<std::uint32_t>(c.start));
    EXPECT_EQ(f.engine->cellGrid.visibleStart, static_cast<std::uint32_t>(c.start / 32));
  }
}

TEST_F(Window, DragsAndTheWheelKeepTheLengthAndStayInside) {
  const int total = w().total;
  setWindow(*f.engine, 20000, 40000);
  // A whole-window drag far past the end keeps the length and ends at the last sample.
  w().dragDelta = 5000;
  overviewMove(*f.engine, OVERVIEW_WHOLE);
  EXPECT_EQ(w().end, total);
  EXPECT_EQ(w().end - w().start, 20000);
  // The upper zoom drag near the end leaves 4096 samples before the end.
  setWindow(*f.engine, total - 6000, total);
  w().zoomDelta = 800;
  zoomMove(*f.engine, ZOOM_UPPER);
  EXPECT_EQ(w().start, total - 4096);
  // A wheel step before the start stops at the first sample, keeping the length.
  setWindow(*f.engine, 10000, 30000);
  w().zoomDelta = -400;
  zoomMove(*f.engine, ZOOM_WHOLE);
  EXPECT_EQ(w().start, 8192);
  EXPECT_EQ(w().end, 8192 + 20000);
  // While a drag runs nothing is committed; back returns to the window before.
  w().zoomWhole = true;
  w().zoomDelta = 100;
  zoomMove(*f.engine, ZOOM_WHOLE);
  EXPECT_EQ(w().committedStart, 8192);
  EXPECT_GT(w().start, 8192);
  w().zoomWhole = false;
  zoomMove(*f.engine, ZOOM_WHOLE);
  const int moved = w().start;
  backWindow(*f.engine);
  EXPECT_EQ(w().start, 8192);
  backWindow(*f.engine);
  EXPECT_EQ(w().start, moved);
}

TEST_F(Window, SnapAndStepFollowTheBeats) {
  NoteStore& notes = f.engine->notes;
  for (std::uint32_t p = 0; p < notes.positions; ++p) notes.lineMap[p] = 0;
  setWindow(*f.engine, 8192, 8192 + 60000);
  snapToBeats(*f.engine);
  EXPECT_EQ(w().start, 8192) << "no beats: nothing changes";
  setLine(notes, 600, LINE_BEAT, false);
  snapToBeats(*f.engine);
  EXPECT_EQ(w().start, 8192) << "one beat: nothing changes";

  for (std::uint32_t p = 600; p < 4000; p += 500) setLine(notes, p, LINE_BEAT, false);
  rebuildLineIndex(notes);
  setWindow(*f.engine, 8192, 8192 + 50000);  // positions 256 .. 1818
  snapToBeats(*f.engine);
  EXPECT_EQ(w().start, 600 * 32 - 32);
  EXPECT_EQ(w().end, 1600 * 32);
  // Scroll step 2: each notch moves the window by two beat lines.
  w().scrollStep = 2;
  stepByBeats(*f.engine, +1);
  EXPECT_EQ(w().start, 1600 * 32 - 32);
  EXPECT_EQ(w().end, 2600 * 32);
  stepByBeats(*f.engine, -1);
  EXPECT_EQ(w().start, 600 * 32 - 32);
  // No beat line within two longest beat intervals: nothing moves.
  setLine(notes, 9000, LINE_BEAT, false);
  setWindow(*f.engine, 3100 * 32, 9000 * 32);
  snapToBeats(*f.engine);
  const int before = w().start;
  stepByBeats(*f.engine, +1);
  EXPECT_EQ(w().start, before);
}

}  // namespace
}  // namespace quavrix
