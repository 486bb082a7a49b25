#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing pass's canvas over a QImage: QPainter for fills, lines,
// pictures and text, and a plain pixel loop for runs of vertical lines,
// which the raster engine would draw one span per row.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>

#include "ui/draw/canvas.h"

namespace quavrix {

class Artwork;

// The family used where a free sans font takes the role of the pictures'
// and texts' font; Qt falls back to any sans font when it is missing.
inline constexpr const char* VIEW_FONT_FAMILY = "DejaVu Sans";

class ImageCanvas final : public Canvas {
 public:
  // Draws into `image` (ARGB32 premultiplied; its device pixel ratio scales
  // the view's coordinates). The artwork may be null until it exists.
  ImageCanvas(QImage& image, const Artwork* artwork);
  ~ImageCanvas() override;

  bool loadPictures() override;
  void createTextFormats(float huge, float large, float small) override;
  void fill(const RectF& rect, Colour colour) override;
  void line(float x0, float y0, float x1, float y1, float width, Colour colour) override;
  void picture(Picture picture, const RectF& dest) override;
  void text(std::string_view text, const RectF& rect, TextFormat format, Colour colour) override;
  void columns(std::span<const float> x, std::span<const float> top, float bottom, float width,
               Colour colour) override;

  // Ends painting, so that the image can be shown or saved.
  void finish();

 private:
  QPainter& painter();

  QImage& image_;
  const Artwork* artwork_;
  std::unique_ptr<QPainter> painter_;
};

// The fonts of the three text formats, shared by every canvas of the view.
void setViewTextSizes(float huge, float large, float small);

}  // namespace quavrix
