// SPDX-License-Identifier: GPL-3.0-or-later
// Real drawing passes into an image, checked pixel by pixel, and pictures of
// both layouts written under the build folder for a person to look at.

#include "ui/qt/image_canvas.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <chrono>
#include <thread>

#include "engine/editing.h"
#include "engine/transport.h"
#include "qt_app.h"
#include "score/beat_grid.h"
#include "support/engine/project_fixture.h"
#include "ui/draw/drawing_pass.h"
#include "ui/model/control_code.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"
#include "ui/model/visible_window.h"
#include "ui/qt/artwork.h"

namespace quavrix {
namespace {

struct Painted {
  explicit Painted(bool small = false) : view(*fixture.engine) {
    test::qtApp();
    linkView(view, small);
    ok = fixture.open();
    viewAfterOpen(view);
    const ScreenRect& area = fixture.engine->layout.clientArea;
    image = QImage(area.right, area.bottom, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    SettingValues& v = fixture.engine->settings.values;
    v.colours[COLOUR_IVORY_KEY] = {90, 90, 90, 100, 0, {}};
    v.colours[COLOUR_EBONY_KEY] = {20, 20, 20, 100, 0, {}};
    v.colours[COLOUR_BEAT_LINES] = {0, 100, 100, 100, 20, {}};
    v.colours[1 + COLOUR_TRACK_OFFSET] = {100, 0, 0, 100, 50, {}};
    ++fixture.engine->settings.colourRevision;
  }
  void pass() {
    ImageCanvas canvas(image, &artwork());
    drawPass(view, canvas);
  }
  static const Artwork& artwork() {
    static const Artwork* pictures = new Artwork();
    return *pictures;
  }
  QColor at(int x, int y) const { return image.pixelColor(x, y); }
  test::ProjectFixture fixture;
  View view;
  QImage image;
  bool ok = false;
};

bool near(const QColor& c, int r, int g, int b, int tolerance = 2) {
  return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
         std::abs(c.blue() - b) <= tolerance;
}

TEST(ImageCanvas, APassPaintsEveryRegionInItsColours) {
  Painted p;
  ASSERT_TRUE(p.ok);
  Engine& e = *p.fixture.engine;
  // A note of track 1 over three lines.
  const CellGrid& grid = e.cellGrid;
  ASSERT_GE(grid.columnCount, 5u);
  e.notes.slots[grid.columnPositions[1]] =
      makeNote(1, 40, static_cast<int>(grid.columnPositions[3] - grid.columnPositions[1] - 1));
  rebuildCells(e.cellGrid, e.notes);
  p.pass();

  EXPECT_TRUE(near(p.at(242, 500), 0, 56, 56)) << "the first margin strip is teal";
  EXPECT_TRUE(near(p.at(400, 897), 255, 128, 0, 3)) << "the octave bars are orange";
  EXPECT_TRUE(near(p.at(30, 5), 26, 26, 26)) << "the overview's background";
  EXPECT_TRUE(near(p.at(200, 5), 38, 38, 38)) << "the zoom column's background";
  // Key stripes: row 1 (C#) black, row 2 (D) white; black between them.
  const auto middle = [](const ScreenRect& r) { return (r.left + r.right) / 2; };
  const int y = (grid.columnRects[0].top + grid.columnRects[0].bottom) / 2;
  EXPECT_TRUE(near(p.at(middle(grid.keyRects[1]), y), 51, 51, 51));
  EXPECT_TRUE(near(p.at(middle(grid.keyRects[2]), y), 230, 230, 230));
  EXPECT_TRUE(near(p.at(grid.keyRects[2].right, y), 0, 0, 0)) << "black between the stripes";
  // A beat line crosses the roll at its computed y.
  const int beatY = static_cast<int>(positionY(e, grid.columnPositions[2]));
  EXPECT_TRUE(near(p.at(1500, beatY), 0, 255, 255, 60)) << "beat line at y " << beatY;
  // The note: head in the track's colour, tail fainter.
  const int x = middle(grid.keyRects[39]);  // D#, a black key
  EXPECT_TRUE(near(p.at(x, (grid.columnRects[1].top + grid.columnRects[1].bottom) / 2), 255, 0, 0));
  const QColor tail = p.at(x, (grid.columnRects[2].top + grid.columnRects[2].bottom) / 2);
  EXPECT_GT(tail.red(), 120);
  EXPECT_LT(tail.red(), 200);
  // The strips lie in their rectangles: the top strip's Play button shows its green triangle.
  const ScreenRect& play = p.view.rects[PlayButton];
  bool green = false;
  for (int px = play.left; px < play.right; ++px)
    green = green || p.at(px, (play.top + play.bottom) / 2).green() > 150;
  EXPECT_TRUE(green);

  // Playing tints the Play button; a pass with nothing dirty but the roll
  // leaves the strips standing.
  const QColor idle = p.at(play.left + 6, play.top + 6);
  togglePlay(e);
  e.viewState.dirty.topBar = true;  // as the play button's click does
  p.pass();
  const QColor tinted = p.at(play.left + 6, play.top + 6);
  EXPECT_GT(tinted.blue(), idle.blue() + 20);
  stopPlaying(e);
  e.viewState.dirty = DirtyFlags{};
  p.pass();
  EXPECT_EQ(p.at(play.left + 6, play.top + 6), tinted);
  EXPECT_TRUE(near(p.at(242, 500), 0, 56, 56));
}

// Pictures of the window for people: both layouts, the roll with notes, every
// panel page and help page. They go under the build folder.
TEST(ImageCanvas, WritesPicturesOfBothLayouts) {
  const QString folder = QStringLiteral(QUAVRIX_BIN_DIR "/../pictures");
  QDir().mkpath(folder);
  for (const bool small : {false, true}) {
    const QString layout = small ? "small" : "large";
    {
      Painted start(small);
      start.fixture.engine->busy = 1;
      start.view.pass = PassMemory{};
      start.pass();
      ASSERT_TRUE(start.image.save(folder + "/" + layout + "-start.png"));
    }
    Painted p(small);
    ASSERT_TRUE(p.ok);
    Engine& e = *p.fixture.engine;
    const CellGrid& grid = e.cellGrid;
    for (int k = 0; k + 1 < static_cast<int>(grid.columnCount) - 1 && k < 6; ++k) {
      e.notes.slots[grid.columnPositions[k]] =
          makeNote(1 + k % 3, 30 + 4 * k,
                   static_cast<int>(grid.columnPositions[k + 1] - grid.columnPositions[k] - 1));
    }
    rebuildCells(e.cellGrid, e.notes);
    p.pass();
    ASSERT_TRUE(p.image.save(folder + "/" + layout + "-roll.png"));
    struct Page {
      const char* name;
      EditorPage page;
      int help;
      bool strobe;
    };
    toggleEditor(e);
    for (const Page& page :
         {Page{"bar", EditorPage::Bar, 0, false}, Page{"beat", EditorPage::Beat, 0, false},
          Page{"division", EditorPage::Division, 0, false},
          Page{"strobo", EditorPage::Beat, 0, true},
          Page{"help-append", EditorPage::Beat, 130, false},
          Page{"help-autofill", EditorPage::Beat, 135, false},
          Page{"help-extend", EditorPage::Beat, 145, false}}) {
      BeatEditorState& ed = e.notes.editor;
      ed.page = page.page;
      ed.helpPage = static_cast<std::uint16_t>(page.help);
      ed.strobeShown = page.strobe ? 1 : 0;
      p.pass();
      ASSERT_TRUE(p.image.save(folder + "/" + layout + "-panel-" + page.name + ".png"));
    }
  }
}

}  // namespace
}  // namespace quavrix
