#include "ui/qt/artwork.h"

#include <QPainter>

#include "ui/controls.h"
#include "ui/layout.h"

namespace quavrix {

namespace {

Place placeOf(Picture p) {
  switch (p) {
    case Picture::TopStrip:
      return Place::TopBar;
    case Picture::BottomStrip:
      return Place::BottomBar;
    case Picture::BarPage:
      return Place::BarPage;
    case Picture::DivisionPage:
      return Place::DivisionPage;
    case Picture::StroboPage:
      return Place::StroboPage;
    default:
      return Place::BeatPage;
  }
}

}  // namespace

QSize pictureSize(Picture picture) {
  switch (picture) {
    case Picture::Start:
      return {1920, 1080};
    case Picture::TopStrip:
      return {1650, 60};
    case Picture::BottomStrip:
      return {1647, 56};
    case Picture::StroboPage:
      return {518, 692};
    default:
      return {519, 693};
  }
}

ScreenRect pictureRegion(Picture picture) {
  const ViewLayout l = layoutTable(false);
  switch (picture) {
    case Picture::Start:
      return l.clientArea;
    case Picture::TopStrip:
      return l.topBar;
    case Picture::BottomStrip:
      return l.bottomBar;
    default:
      return l.beatEditorPanelArea;
  }
}

QRectF inPicture(Picture picture, const ScreenRect& r) {
  const ScreenRect region = pictureRegion(picture);
  const QSize size = pictureSize(picture);
  const double sx = size.width() / static_cast<double>(region.right - region.left);
  const double sy = size.height() / static_cast<double>(region.bottom - region.top);
  return QRectF((r.left - region.left) * sx, (r.top - region.top) * sy, (r.right - r.left) * sx,
                (r.bottom - r.top) * sy);
}

// A plain stand-in until the pictures are drawn properly: each control of a
// picture outlined at its rectangle.
Artwork::Artwork() {
  for (int i = 0; i < static_cast<int>(Picture::Count); ++i) {
    const auto picture = static_cast<Picture>(i);
    QImage image(pictureSize(picture), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 40, 48));
    QPainter painter(&image);
    painter.setPen(QColor(200, 200, 200));
    if (picture != Picture::Start) {
      const Place place = placeOf(picture);
      for (const ControlSpec& c : controlSpecs()) {
        if (c.place == place ||
            (c.place == Place::Panel && place != Place::TopBar && place != Place::BottomBar)) {
          painter.drawRect(inPicture(picture, c.large).adjusted(0.5, 0.5, -0.5, -0.5));
        }
      }
    }
    images_[static_cast<std::size_t>(i)] = image;
  }
}

}  // namespace quavrix
