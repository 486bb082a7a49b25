// SPDX-License-Identifier: GPL-3.0-or-later
// The key range buttons as the roll shows them: octave bars and key names
// mark the octaves of the keys shown.

#include <gtest/gtest.h>

#include "ui/draw/colours.h"
#include "ui/draw/drawing_pass.h"
#include "ui/input/input_actions.h"
#include "ui/view_fixture.h"

namespace quavrix {
namespace {

TEST(KeyRange, OctaveBarsAndKeyNamesFollowTheKeysShownAfterUpAndDown) {
  test::ViewFixture w;
  ASSERT_TRUE(w.opened);
  const auto pass = [&] {
    w.canvas.clear();
    drawPass(w.view, w.canvas);
  };
  pass();
  const auto orangeFills = [&] {
    std::vector<RectF> bars;
    for (const DrawCall* c : w.canvas.of(DrawCall::Kind::Fill))
      if (c->colour == colour::Orange) bars.push_back(c->rect);
    return bars;
  };
  EXPECT_EQ(orangeFills().size(), 7u);
  EXPECT_EQ(orangeFills()[0], toRectF(w.view.rects.octaveBars[0]));

  input::keyRows(w.view, -1, false);  // 12 keys fewer: six octaves, wider keys
  input::octave(w.view, +1);          // and one octave up
  pass();
  const CellGrid& grid = w.engine->cellGrid;
  ASSERT_EQ(grid.keyRows, 72u);
  ASSERT_EQ(grid.firstKeyRow, 12u);
  const auto bars = orangeFills();
  ASSERT_EQ(bars.size(), 6u);
  for (std::uint32_t o = 0; o < 6; ++o) {
    EXPECT_FLOAT_EQ(bars[o].left, static_cast<float>(grid.keyRects[o * 12].left)) << o;
    EXPECT_FLOAT_EQ(bars[o].right, static_cast<float>(grid.keyRects[o * 12 + 11].right)) << o;
  }
  const auto named = [&](const char* text) {
    int n = 0;
    for (const DrawCall* c : w.canvas.of(DrawCall::Kind::Text)) n += c->text == text;
    return n;
  };
  EXPECT_EQ(named("C2"), 1) << "the first octave shown is the second";
  EXPECT_EQ(named("C1"), 0);
}

}  // namespace
}  // namespace quavrix
