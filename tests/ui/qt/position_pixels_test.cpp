// SPDX-License-Identifier: GPL-3.0-or-later
// The playhead, a key name and a bar number as they are painted into the
// window's image.

#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <optional>
#include <thread>

#include "engine/transport.h"
#include "qt_app.h"
#include "score/beat_grid.h"
#include "support/engine/project_fixture.h"
#include "ui/draw/drawing_pass.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"
#include "ui/model/visible_window.h"
#include "ui/qt/artwork.h"
#include "ui/qt/image_canvas.h"

namespace quavrix {
namespace {

struct Window {
  Window() : view(*fixture.engine) {
    test::qtApp();
    linkView(view, false);
    ok = fixture.open();
    viewAfterOpen(view);
    image = QImage(1889, 956, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
  }
  void pass() {
    static const Artwork* artwork = new Artwork();
    ImageCanvas canvas(image, artwork);
    drawPass(view, canvas);
  }
  // The middle row of the pixels of this colour in a column of the roll, if any.
  std::optional<int> rowOf(QColor colour, int x) const {
    int sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
              std::abs(c.blue() - colour.blue()) <
          30) {
        sum += y;
        ++count;
      }
    }
    if (count == 0) return std::nullopt;
    return sum / count;
  }
  // Pixels inside the rectangle that are at least this light in every channel.
  int lightPixels(const RectF& r, int atLeast) const {
    int n = 0;
    for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y)
      for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) {
        const QColor c = image.pixelColor(x, y);
        n += c.red() >= atLeast && c.green() >= atLeast && c.blue() >= atLeast;
      }
    return n;
  }
  test::ProjectFixture fixture;
  View view;
  QImage image;
  bool ok = false;
};

TEST(PositionPixels, ThePlayheadMovesDownWhilePlayingAndIsGoneWhenStopped) {
  Window w;
  ASSERT_TRUE(w.ok);
  Engine& e = *w.fixture.engine;
  e.settings.values.playhead = {0, 100, 100, 100, 30, {}};
  ++e.settings.colourRevision;
  const QColor cyan(0, 255, 255);
  togglePlay(e);
  const auto waitPast = [&](std::int64_t index) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (transportStatus(e).position <= index && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  waitPast(e.viewState.window.start + 4096);
  w.pass();
  const std::optional<int> first = w.rowOf(cyan, 1000);
  waitPast(transportStatus(e).position + 8192);
  w.pass();
  const std::optional<int> second = w.rowOf(cyan, 1000);
  stopPlaying(e);
  w.pass();
  ASSERT_TRUE(first && second);
  EXPECT_GT(*second, *first) << "the playhead moves down with the music";
  EXPECT_GE(*first, static_cast<int>(e.layout.bandTop));
  EXPECT_FALSE(w.rowOf(cyan, 1000)) << "no playhead while stopped";
}

TEST(PositionPixels, AKeyNameAndABarNumberArePaintedWhereTheyBelong) {
  Window w;
  ASSERT_TRUE(w.ok);
  Engine& e = *w.fixture.engine;
  const CellGrid& grid = e.cellGrid;
  const std::uint32_t bar = grid.columnPositions[3];
  e.notes.lineMap[bar] |= LINE_BAR;
  w.pass();
  // C4 over its own row, just above the octave bars.
  const ScreenRect& c4 = grid.keyRects[36];
  const float bottom = static_cast<float>(w.view.rects.octaveBars[0].top);
  const RectF name{static_cast<float>(c4.left) - 4, bottom - 20, static_cast<float>(c4.right) + 4,
                   bottom};
  EXPECT_GT(w.lightPixels(name, 200), 15) << "light letters on the dark roll";
  const ScreenRect& d4 = grid.keyRects[38];
  EXPECT_EQ(
      w.lightPixels(
          {static_cast<float>(d4.left), bottom - 20, static_cast<float>(d4.right), bottom}, 200),
      0)
      << "D4 has no name";
  // "1" in yellow in the margin strip, just above its bar line.
  const RectF strip = toRectF(e.layout.marginStrip2);
  const float y = positionY(e, bar);
  int yellow = 0;
  for (int py = static_cast<int>(y) - 20; py < static_cast<int>(y) - 1; ++py)
    for (int px = static_cast<int>(strip.left); px < static_cast<int>(strip.right); ++px) {
      const QColor c = w.image.pixelColor(px, py);
      yellow += c.red() > 180 && c.green() > 180 && c.blue() < 90;
    }
  EXPECT_GT(yellow, 5);
}

}  // namespace
}  // namespace quavrix
