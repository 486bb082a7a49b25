// SPDX-License-Identifier: GPL-3.0-or-later
// The painted pictures against the button tables: every button shows a
// panel and a caption or symbol at its rectangle, the display boxes stay
// dark and empty for the view's texts, and buttons that touch keep a line
// of page background between them. Each picture is also written as a PNG
// into the build tree, to be looked at by eye.

#include "ui/qt/artwork.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "qt_app.h"
#include "ui/model/control_code.h"
#include "ui/model/controls.h"

namespace quavrix {
namespace {

const Artwork& artwork() {
  static const Artwork* const pictures = [] {
    test::qtApp();
    return new Artwork();
  }();
  return *pictures;
}

struct Page {
  Picture picture;
  const char* file;
  std::vector<int> buttons;
  std::vector<ScreenRect> displays;
};

std::vector<int> codesOf(std::initializer_list<Place> places) {
  std::vector<int> codes;
  for (const ControlSpec& c : controlSpecs()) {
    if (std::find(places.begin(), places.end(), c.place) != places.end()) codes.push_back(c.code);
  }
  return codes;
}

std::vector<Page> pages() {
  const ControlRects r = controlRects(false);
  std::vector<int> top = codesOf({Place::TopBar});
  std::erase(top, static_cast<int>(SpeedBox));
  const std::vector<int> tabs = {PanelCloseButton, BarTab, BeatTab, DivisionTab};
  const auto with = [&](std::vector<int> codes, std::initializer_list<int> more) {
    codes.insert(codes.end(), more.begin(), more.end());
    return codes;
  };
  const std::vector<int> undo = with(tabs, {PanelUndoButton, PanelRedoButton});
  return {
      {Picture::Start, "start.png", {}, {}},
      {Picture::TopStrip,
       "top_strip.png",
       top,
       {r.box(Box::TimeUpper), r.box(Box::TimeLower), r[SpeedBox]}},
      {Picture::BottomStrip, "bottom_strip.png", codesOf({Place::BottomBar}), {r.box(Box::Tune)}},
      {Picture::BarPage,
       "bar_page.png",
       codesOf({Place::Panel, Place::BarPage}),
       {r.box(Box::BeatsInBar)}},
      {Picture::BeatPage,
       "beat_page.png",
       codesOf({Place::Panel, Place::BeatPage}),
       {r.box(Box::Bpm)}},
      {Picture::DivisionPage,
       "division_page.png",
       codesOf({Place::Panel, Place::DivisionPage}),
       {r.box(Box::DivisorDisplay)}},
      {Picture::StroboPage,
       "strobo_page.png",
       codesOf({Place::Panel, Place::StroboPage}),
       {r.box(Box::StroboBpm)}},
      {Picture::HelpAppend,
       "help_append.png",
       with(undo, {AppendButton, AppendHelpButton, FreeButton, BeforeButton, AfterButton}),
       {}},
      {Picture::HelpAutoFill,
       "help_autofill.png",
       with(undo, {FixButton, LockBothEndsButton, UnlockButton, LockAllButton, UnlockWholeButton,
                   AutoFillButton, AutoFillHelpButton}),
       {r.box(Box::Bpm)}},
      {Picture::HelpExtend,
       "help_extend.png",
       with(tabs, {LockBothEndsButton, UnlockButton, LockAllButton, UnlockWholeButton,
                   BeatExtendButton, ExtendHelpButton}),
       {}},
  };
}

int difference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// The page colour, where no picture draws anything: its left edge half way down.
QRgb backgroundOf(const QImage& image) {
  return image.pixel(0, image.height() / 2);
}

// Pixels whose centres lie inside the rectangle, clipped to the image.
QRect pixelsIn(const QImage& image, const QRectF& r) {
  const int left = std::max(0, static_cast<int>(std::ceil(r.left() - 0.5)));
  const int top = std::max(0, static_cast<int>(std::ceil(r.top() - 0.5)));
  const int right = std::min(image.width(), static_cast<int>(std::floor(r.right() + 0.5)));
  const int bottom = std::min(image.height(), static_cast<int>(std::floor(r.bottom() + 0.5)));
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// The largest difference from `than` over the pixels of the rectangle.
int mostDifferent(const QImage& image, const QRectF& r, QRgb than) {
  int most = 0;
  const QRect px = pixelsIn(image, r);
  for (int y = px.top(); y <= px.bottom(); ++y) {
    for (int x = px.left(); x <= px.right(); ++x) {
      most = std::max(most, difference(image.pixel(x, y), than));
    }
  }
  return most;
}

TEST(Artwork, EveryRectangleShowsWhatTheTablesSay) {
  const ControlRects r = controlRects(false);
  const QString folder = QStringLiteral(QUAVRIX_BIN_DIR "/../artwork");
  QDir().mkpath(folder);
  for (const Page& page : pages()) {
    const QImage& image = artwork().image(page.picture);
    ASSERT_EQ(image.size(), pictureSize(page.picture)) << page.file;
    EXPECT_TRUE(image.save(folder + QLatin1Char('/') + QLatin1String(page.file))) << page.file;
    const QRgb background = backgroundOf(image);
    for (const int code : page.buttons) {
      const QRectF b = inPicture(page.picture, r[code]);
      const std::string where = std::string(page.file) + ", code " + std::to_string(code);
      // An edge just inside each side, and a caption or symbol that stands
      // out clearly from the page.
      const double w3 = b.width() / 3;
      const double h3 = b.height() / 3;
      const QRectF sides[] = {{b.left() + 1, b.top() + h3, 4, h3},
                              {b.right() - 5, b.top() + h3, 4, h3},
                              {b.left() + w3, b.top() + 1, w3, 4},
                              {b.left() + w3, b.bottom() - 5, w3, 4}};
      for (const QRectF& band : sides) {
        EXPECT_GT(mostDifferent(image, band, background), 24) << where << ": no edge";
      }
      EXPECT_GT(mostDifferent(image, b, background), 110) << where << ": no caption or symbol";
    }
    for (const ScreenRect& box : page.displays) {
      const QRectF inside = inPicture(page.picture, box).adjusted(6, 6, -6, -6);
      const QRect px = pixelsIn(image, inside);
      const QRgb first = image.pixel(px.topLeft());
      EXPECT_LT(std::max({qRed(first), qGreen(first), qBlue(first)}), 24)
          << page.file << ": display box " << box.left << "," << box.top << " not dark";
      EXPECT_LE(mostDifferent(image, inside, first), 3)
          << page.file << ": display box " << box.left << "," << box.top << " not empty";
    }
  }
}

TEST(Artwork, ButtonsThatTouchKeepBackgroundBetweenThem) {
  const ControlRects r = controlRects(false);
  int pairs = 0;
  for (const Page& page : pages()) {
    const QImage& image = artwork().image(page.picture);
    const QRgb background = backgroundOf(image);
    for (std::size_t i = 0; i < page.buttons.size(); ++i) {
      for (std::size_t j = i + 1; j < page.buttons.size(); ++j) {
        const ScreenRect& a = r[page.buttons[i]];
        const ScreenRect& b = r[page.buttons[j]];
        const int gapX = std::max(b.left - a.right, a.left - b.right);
        const int gapY = std::max(b.top - a.bottom, a.top - b.bottom);
        // The strip between the two, along the length they share.
        ScreenRect between;
        if (gapX >= 0 && gapX <= 2 && gapY < 0) {
          between = {std::min(a.right, b.right), std::max(a.top, b.top), std::max(a.left, b.left),
                     std::min(a.bottom, b.bottom)};
        } else if (gapY >= 0 && gapY <= 2 && gapX < 0) {
          between = {std::max(a.left, b.left), std::min(a.bottom, b.bottom),
                     std::min(a.right, b.right), std::max(a.top, b.top)};
        } else {
          continue;
        }
        ++pairs;
        QRectF strip = inPicture(page.picture, between);
        const bool across = gapX >= 0;
        strip = across ? strip.adjusted(-0.5, 3, 0.5, -3) : strip.adjusted(3, -0.5, -3, 0.5);
        EXPECT_LE(mostDifferent(image, strip, background), 10)
            << page.file << ": codes " << page.buttons[i] << " and " << page.buttons[j]
            << " run into each other";
      }
    }
  }
  EXPECT_GT(pairs, 40);  // the strips, tabs and button columns hold many such pairs
}

}  // namespace
}  // namespace quavrix
