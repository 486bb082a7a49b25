#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window over a fixture's folder, shown on the offscreen platform,
// with the fixture's recording one command away.

#include <gtest/gtest.h>
#include <QTest>

#include <memory>

#include "engine/engine.h"
#include "qt_app.h"
#include "ui/qt/child_view.h"
#include "ui/qt/main_frame.h"

namespace quavrix {

struct Frame : ::testing::Test {
  Frame() {
    test::qtApp();
    const FrameOptions options = test::frameOptions(fixture);
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

}  // namespace quavrix
