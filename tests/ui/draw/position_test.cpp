// SPDX-License-Identifier: GPL-3.0-or-later
// What tells the person where they are, on a recording canvas: key names,
// bar numbers, the playhead and the position in the time boxes while playing.

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/key_tables.h"
#include "score/bar_numbers.h"
#include "score/beat_grid.h"
#include "ui/draw/colours.h"
#include "ui/draw/drawing_pass.h"
#include "ui/model/visible_window.h"
#include "ui/view_fixture.h"

namespace quavrix {
namespace {

using Kind = DrawCall::Kind;

struct Where : test::ViewFixture {
  explicit Where(bool small = false) : ViewFixture(small) { pass(); }
  void pass() {
    canvas.clear();
    drawPass(view, canvas);
  }
  // The text drawn in exactly this rectangle, or "" when none.
  std::string textIn(const RectF& r) const {
    for (const DrawCall* c : canvas.of(Kind::Text))
      if (c->rect == r) return c->text;
    return "";
  }
  std::vector<const DrawCall*> textsNamed(const std::string& text) const {
    std::vector<const DrawCall*> found;
    for (const DrawCall* c : canvas.of(Kind::Text))
      if (c->text == text) found.push_back(c);
    return found;
  }
  float centreOfRow(std::uint32_t row) const {
    const ScreenRect& key = engine->cellGrid.keyRects[row - engine->cellGrid.firstKeyRow];
    return (static_cast<float>(key.left) + static_cast<float>(key.right)) / 2;
  }
};

TEST(KeyNames, EveryCAndTheKeySettingsRowsAreNamedOnTheirRowAtTheRollsFoot) {
  const struct {
    bool small;
    int key;            // the key setting
    std::uint32_t row;  // a row that must be named
    const char* name;
    float bottom;  // of the name's box
  } cases[] = {
      {false, 0, 36, "C4", 895},  // MIDI note 60
      {false, 0, 0, "C1", 895},  {false, 0, 72, "C7", 895}, {true, 0, 36, "C4", 610},
      {false, 5, 7, "C1", 895},  {false, 5, 36, "F4", 875},  // the setting's own name, one line
                                                             // higher
  };
  for (const auto& c : cases) {
    Where w(c.small);
    ASSERT_TRUE(w.opened);
    w.engine->settings.values.cKeyTo = c.key;
    rebuildKeyTables(w.engine->viewState, c.key);
    w.pass();
    const auto names = w.textsNamed(c.name);
    ASSERT_EQ(names.size(), 1u) << c.name << " with key " << c.key;
    EXPECT_FLOAT_EQ((names[0]->rect.left + names[0]->rect.right) / 2, w.centreOfRow(c.row));
    EXPECT_FLOAT_EQ(names[0]->rect.bottom, c.bottom) << c.name;
    // Only the marked rows and the rows the setting names first carry a name.
    EXPECT_EQ(w.textsNamed(c.key == 0 ? "C#4" : "D4").size(), 0u);
  }
}

struct Bars : Where {
  // Bar lines on the third and seventh line of the window.
  Bars() {
    const CellGrid& grid = engine->cellGrid;
    first = grid.columnPositions[2];
    second = grid.columnPositions[6];
    engine->notes.lineMap[first] |= LINE_BAR;
    engine->notes.lineMap[second] |= LINE_BAR;
    pass();
  }
  RectF numberAbove(std::uint32_t p) const {
    const RectF strip = toRectF(engine->layout.marginStrip2);
    const float y = positionY(*engine, p);
    return {strip.left, y - 20, strip.right, y};
  }
  std::uint32_t first = 0;
  std::uint32_t second = 0;
};

TEST(BarNumbersDrawn, StandAboveTheirBarLineCountedFromTheStartMarker) {
  Bars b;
  ASSERT_TRUE(b.opened);
  EXPECT_EQ(b.textIn(b.numberAbove(b.first)), "1");
  EXPECT_EQ(b.textIn(b.numberAbove(b.second)), "2");

  // A bar line too close below the first keeps its count but not its number.
  Engine& e = *b.engine;
  e.notes.lineMap[b.first + 40] = LINE_BEAT | LINE_BAR;
  refreshGrid(e.notes, e.cellGrid);
  b.pass();
  EXPECT_EQ(b.textIn(b.numberAbove(b.first)), "1");
  EXPECT_EQ(b.textIn(b.numberAbove(b.first + 40)), "");
  EXPECT_EQ(b.textIn(b.numberAbove(b.second)), "3");

  b.engine->notes.lineMap[b.second] |= LINE_START;
  syncMarkers(b.engine->notes);
  b.pass();
  EXPECT_EQ(b.textIn(b.numberAbove(b.first)), "") << "before the START marker";
  EXPECT_EQ(b.textIn(b.numberAbove(b.second)), "1");
}

TEST(PositionReadout, TimeBoxesShowThePlayPositionWhilePlayingAndTheWindowOtherwise) {
  Bars b;
  ASSERT_TRUE(b.opened);
  Engine& e = *b.engine;
  const RectF upper = toRectF(b.view.rects.box(Box::TimeUpper));
  const RectF lower = toRectF(b.view.rects.box(Box::TimeLower));
  const std::uint32_t beatAfter = e.cellGrid.columnPositions[4];  // two lines after bar 1
  const std::int64_t index = std::int64_t{beatAfter} * 32 + 100;
  // The player's status as the playback thread leaves it in the middle of a pass.
  e.viewState.playing = 1;
  e.playback.position.store(index);
  e.viewState.dirty.topBar = true;
  b.pass();
  EXPECT_EQ(b.textIn(upper), playTimeText(index));
  EXPECT_EQ(b.textIn(lower), "1.3");

  e.viewState.playing = 0;
  e.viewState.dirty.topBar = true;
  b.pass();
  EXPECT_EQ(b.textIn(upper), e.viewState.timeText1);
  EXPECT_EQ(b.textIn(lower), e.viewState.timeText2);
}

TEST(Playhead, FollowsThePlayPositionInItsOwnColourAndOnlyWhilePlaying) {
  Where w;
  ASSERT_TRUE(w.opened);
  Engine& e = *w.engine;
  e.settings.values.playhead = {0, 100, 100, 100, 30, {}};
  ++e.settings.colourRevision;
  const Colour cyan{0, 1, 1, 1};
  const VisibleWindow& win = e.viewState.window;
  const std::int64_t index = (std::int64_t{win.firstVisible} + win.span / 3) * 32 + 16;
  e.playback.position.store(index);
  w.pass();
  EXPECT_TRUE(w.canvas.linesAt(positionY(e, index / 32.0), cyan).empty()) << "stopped";

  e.viewState.playing = 1;
  w.pass();
  const auto lines = w.canvas.linesAt(positionY(e, index / 32.0), cyan);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_FLOAT_EQ(lines[0]->width, 3.0f);
  EXPECT_FLOAT_EQ(lines[0]->rect.left, static_cast<float>(e.layout.marginStrip2.left));
  EXPECT_FLOAT_EQ(lines[0]->rect.right, static_cast<float>(e.layout.rollArea.right));

  // The open beat editor's panel stays clear of it.
  const ScreenRect& panel = e.layout.beatEditorPanelArea;
  const std::int64_t behind = std::int64_t{win.firstVisible} * 32 +
                              std::int64_t{win.span} * 32 * (panel.top + panel.bottom) / 2 / 800;
  ASSERT_GT(positionY(e, behind / 32.0), panel.top);
  e.playback.position.store(behind);
  e.notes.editor.open = 1;
  w.pass();
  const auto parts = w.canvas.linesAt(positionY(e, behind / 32.0), cyan);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_FLOAT_EQ(parts[0]->rect.right, static_cast<float>(panel.left));
  EXPECT_FLOAT_EQ(parts[1]->rect.left, static_cast<float>(panel.right));
  e.notes.editor.open = 0;
  e.viewState.playing = 0;
}

}  // namespace
}  // namespace quavrix
