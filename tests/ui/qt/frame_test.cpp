// The real window on the offscreen platform: menus, project commands through
// the menu, and a round of editing with the mouse and the keys.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "engine/editing.h"
#include "engine/transport.h"
#include "engine/engine.h"
#include "engine/project.h"
#include "score/beat_grid.h"
#include "support/engine/project_fixture.h"
#include "ui/qt/child_view.h"
#include "ui/qt/main_frame.h"
#include "ui/view.h"

namespace quavrix {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "quavrix-tests";
  static char* argv[] = {name, nullptr};
  static QApplication a(argc, argv);
  return a;
}

struct Frame : ::testing::Test {
  Frame() {
    app();
    FrameOptions options;
    options.programPath = fixture.dir.file("quavrix");
    options.audioDevice = "null";
    options.smallLayout = 0;
    options.prompter = &fixture.prompter;
    options.files = &fixture.files;
    options.console = &fixture.console;
    frame = std::make_unique<CMainFrame>(options);
    frame->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  }
  void openDemo() {
    fixture.files.reply(fixture.wav);
    frame->runCommand(ID_OPEN_WAV);
  }
  Engine& engine() { return frame->engine(); }
  CChildView* view() { return frame->childView(); }
  QRgb pixel(int x, int y) {
    view()->drawNow();
    const QImage& image = view()->image();
    const qreal dpr = image.devicePixelRatio();
    return image.pixel(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
  }
  test::ProjectFixture fixture;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(Frame, MenusWaitForARecordingAndTheViewShowsIt) {
  for (int position : {1, 2, 3}) EXPECT_FALSE(frame->topMenu(position)->menuAction()->isEnabled());
  for (int position : {0, 4}) EXPECT_TRUE(frame->topMenu(position)->menuAction()->isEnabled());
  EXPECT_EQ(frame->topMenu(1)->title(), QString("    Dat    "));
  EXPECT_EQ(frame->action(ID_SAVE_DAT_AS)->text(), QString("S A V E   AS      .DAT"));
  EXPECT_EQ(view()->size(), QSize(1889, 956));
  const QImage before = view()->image().copy();

  openDemo();
  EXPECT_EQ(engine().busy, 0) << fixture.prompter.last();
  for (int position : {1, 2, 3}) EXPECT_TRUE(frame->topMenu(position)->menuAction()->isEnabled());
  EXPECT_EQ(frame->windowTitle().toStdString(), fixture.wav);
  EXPECT_NE(view()->image(), before);
  EXPECT_EQ(pixel(242, 500), qRgb(0, 56, 56)) << "the first margin strip";
}

TEST_F(Frame, ARoundOfEditingWithTheMouseAndTheKeys) {
  openDemo();
  ASSERT_EQ(engine().busy, 0);
  engine().settings.values.colours[1 + COLOUR_TRACK_OFFSET] = {100, 30, 30, 100, 45, {}};
  ++engine().settings.colourRevision;
  QWidget* v = view();
  // Track 1, then a note dragged over three lines of the roll.
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(780, 930));
  EXPECT_EQ(engine().viewState.currentTrack, 1);
  const CellGrid& grid = engine().cellGrid;
  ASSERT_GE(grid.columnCount, 6u);
  const int top = (grid.columnRects[2].top + grid.columnRects[2].bottom) / 2;
  const int bottom = (grid.columnRects[4].top + grid.columnRects[4].bottom) / 2;
  const int x = (grid.keyRects[40].left + grid.keyRects[40].right) / 2;
  QTest::mousePress(v, Qt::LeftButton, {}, QPoint(x, top));
  QTest::mouseMove(v, QPoint(x, bottom));
  QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(x, bottom));
  const QRgb head = pixel(x, top);
  EXPECT_EQ(qRed(head), 255) << "head in the track colour";
  EXPECT_LT(qGreen(head), 100);
  const QRgb tail = pixel(x, (grid.columnRects[3].top + grid.columnRects[3].bottom) / 2);
  EXPECT_GT(qRed(tail), 60);
  EXPECT_LT(qRed(tail), 200) << "the tail is fainter";

  // Right click deletes it, Ctrl+Z brings it back.
  QTest::mouseClick(v, Qt::RightButton, {}, QPoint(x, top));
  EXPECT_NE(pixel(x, top), head);
  QTest::keyClick(v, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(pixel(x, top), head);
}

}  // namespace
}  // namespace quavrix
