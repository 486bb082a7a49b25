#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The ten pictures of the view, painted by our own code at their native
// sizes: the two toolbar strips, the four beat-editor pages, the three help
// pages and the start picture. The view stretches each into its region, so
// every button of a picture lies at the rectangle the hit test uses.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <array>

#include "score/cell_grid.h"
#include "ui/draw/canvas.h"

namespace quavrix {

// A picture's native size in pixels.
QSize pictureSize(Picture picture);

// The region of the large layout a picture is stretched into.
ScreenRect pictureRegion(Picture picture);

// Where a rectangle of the large layout lands inside the picture drawn over
// its region, in the picture's own pixels.
QRectF inPicture(Picture picture, const ScreenRect& viewRect);

class Artwork {
 public:
  // Paints every picture; needs a QGuiApplication for fonts.
  Artwork();
  const QImage& image(Picture picture) const { return images_[static_cast<std::size_t>(picture)]; }

 private:
  std::array<QImage, static_cast<std::size_t>(Picture::Count)> images_;
};

}  // namespace quavrix
