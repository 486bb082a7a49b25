// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/artwork.h"

#include "ui/model/layout.h"
#include "ui/qt/artwork_kit.h"
#include "ui/qt/artwork_pictures.h"

namespace quavrix {

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

Artwork::Artwork() {
  for (int i = 0; i < static_cast<int>(Picture::Count); ++i) {
    const auto picture = static_cast<Picture>(i);
    QImage image(pictureSize(picture), QImage::Format_ARGB32_Premultiplied);
    image.fill(art::ink::BACKGROUND);
    switch (picture) {
      case Picture::Start:
        art::paintStart(image);
        break;
      case Picture::TopStrip:
        art::paintTopStrip(image);
        break;
      case Picture::BottomStrip:
        art::paintBottomStrip(image);
        break;
      default:
        art::paintPage(image, picture);
        break;
    }
    images_[static_cast<std::size_t>(i)] = image;
  }
}

}  // namespace quavrix
