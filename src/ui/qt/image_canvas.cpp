// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/image_canvas.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cmath>

#include "ui/qt/artwork.h"

namespace quavrix {

namespace {

std::array<QFont, 3>& textFonts() {
  static std::array<QFont, 3> fonts;
  return fonts;
}

QColor toQColor(Colour c) {
  QColor q;
  q.setRgbF(std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f),
            std::clamp(c.a, 0.0f, 1.0f));
  return q;
}

// The image's pixels for writing while a painter may be open on it: both
// write the same buffer, and the const access keeps the image from detaching.
QRgb* pixels(QImage& image, int row) {
  return reinterpret_cast<QRgb*>(const_cast<uchar*>(image.constScanLine(row)));
}

// x * a / 255, rounded, for bytes.
inline std::uint32_t scale255(std::uint32_t x, std::uint32_t a) {
  const std::uint32_t t = x * a + 128;
  return (t + (t >> 8)) >> 8;
}

// Source-over of one premultiplied colour over a run of pixels.
void blendRun(QRgb* dst, int count, QRgb src) {
  const std::uint32_t inverse = 255 - qAlpha(src);
  if (inverse == 0) {
    std::fill(dst, dst + count, src);
    return;
  }
  for (int i = 0; i < count; ++i) {
    const QRgb d = dst[i];
    dst[i] =
        src + ((scale255(d >> 24, inverse) << 24) | (scale255((d >> 16) & 0xFF, inverse) << 16) |
               (scale255((d >> 8) & 0xFF, inverse) << 8) | scale255(d & 0xFF, inverse));
  }
}

QRgb premultiplied(Colour c) {
  const auto byte = [](float v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  const std::uint32_t a = byte(c.a);
  return (a << 24) | (scale255(byte(c.r), a) << 16) | (scale255(byte(c.g), a) << 8) |
         scale255(byte(c.b), a);
}

// Blends a colour of coverage `cover` (0..1) over one premultiplied pixel.
inline void blend(QRgb& dst, const float rgb[3], float alpha, float cover) {
  const float a = alpha * cover;
  if (a <= 0.0f) return;
  const float keep = 1.0f - a;
  const auto mix = [&](int shift, float src) {
    const float d = static_cast<float>((dst >> shift) & 0xFF);
    return static_cast<QRgb>(std::lround(std::min(255.0f, src * a * 255.0f + d * keep))) << shift;
  };
  dst = mix(24, 1.0f) | mix(16, rgb[0]) | mix(8, rgb[1]) | mix(0, rgb[2]);
}

}  // namespace

void setViewTextSizes(float huge, float large, float small) {
  const float sizes[3] = {huge, large, small};
  for (int i = 0; i < 3; ++i) {
    QFont font(VIEW_FONT_FAMILY);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(sizes[i]))));
    textFonts()[i] = font;
  }
}

ImageCanvas::ImageCanvas(QImage& image, const Artwork* artwork)
    : image_(image), artwork_(artwork) {}

ImageCanvas::~ImageCanvas() {
  finish();
}

QPainter& ImageCanvas::painter() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHint(QPainter::Antialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
  }
  return *painter_;
}

void ImageCanvas::finish() {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
}

bool ImageCanvas::loadPictures() {
  return artwork_ != nullptr;
}

void ImageCanvas::createTextFormats(float huge, float large, float small) {
  setViewTextSizes(huge, large, small);
}

void ImageCanvas::fill(const RectF& r, Colour colour) {
  if (colour.a <= 0.0f || r.right <= r.left || r.bottom <= r.top) return;
  // Whole pixels take the raster engine's fast path; only fractional edges
  // need the antialiasing rasterizer.
  // Whole device pixels are filled straight into the image: the notes are
  // thousands of small cells a pass.
  const float dpr = static_cast<float>(image_.devicePixelRatio());
  const auto whole = [dpr](float v) { return v * dpr == std::floor(v * dpr); };
  if (whole(r.left) && whole(r.top) && whole(r.right) && whole(r.bottom)) {
    const int left = std::max(0, static_cast<int>(r.left * dpr));
    const int right = std::min(image_.width(), static_cast<int>(r.right * dpr));
    const int top = std::max(0, static_cast<int>(r.top * dpr));
    const int bottom = std::min(image_.height(), static_cast<int>(r.bottom * dpr));
    if (left >= right) return;
    const QRgb src = premultiplied(colour);
    for (int row = top; row < bottom; ++row)
      blendRun(pixels(image_, row) + left, right - left, src);
    return;
  }
  painter().fillRect(QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top), toQColor(colour));
}

void ImageCanvas::line(float x0, float y0, float x1, float y1, float width, Colour colour) {
  // A zero width is no line at all (Qt would draw a hairline).
  if (width <= 0.0f || colour.a <= 0.0f) return;
  // Lines along an axis are rectangles: the stroker's cost per line is far
  // higher than a fill's, and the grid draws a thousand of them a pass.
  if (y0 == y1 || x0 == x1) {
    const float half = width / 2.0f;
    const RectF r = y0 == y1 ? RectF{std::min(x0, x1), y0 - half, std::max(x0, x1), y0 + half}
                             : RectF{x0 - half, std::min(y0, y1), x0 + half, std::max(y0, y1)};
    painter().fillRect(QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top), toQColor(colour));
    return;
  }
  QPen pen(toQColor(colour));
  pen.setWidthF(width);
  pen.setCapStyle(Qt::FlatCap);
  QPainter& p = painter();
  p.setPen(pen);
  p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
}

void ImageCanvas::picture(Picture picture, const RectF& d) {
  if (!artwork_) return;
  const QImage& source = artwork_->image(picture);
  if (source.isNull()) return;
  painter().drawImage(QRectF(d.left, d.top, d.right - d.left, d.bottom - d.top), source);
}

void ImageCanvas::text(std::string_view text, const RectF& r, TextFormat format, Colour colour) {
  if (text.empty()) return;
  QPainter& p = painter();
  p.setFont(textFonts()[static_cast<std::size_t>(format)]);
  p.setPen(toQColor(colour));
  p.drawText(QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top), Qt::AlignCenter,
             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void ImageCanvas::columns(std::span<const float> x, std::span<const float> top, float bottom,
                          float width, Colour colour) {
  if (width <= 0.0f || colour.a <= 0.0f || x.empty()) return;
  const float dpr = static_cast<float>(image_.devicePixelRatio());
  const int w = image_.width();
  const int h = image_.height();
  const float rgb[3] = {std::clamp(colour.r, 0.0f, 1.0f), std::clamp(colour.g, 0.0f, 1.0f),
                        std::clamp(colour.b, 0.0f, 1.0f)};
  const float alpha = std::clamp(colour.a, 0.0f, 1.0f);
  const float half = width * dpr / 2.0f;
  const int yEnd = std::min(h, static_cast<int>(std::ceil(bottom * dpr)));
  const std::size_t count = std::min(x.size(), top.size());
  for (std::size_t i = 0; i < count; ++i) {
    const float cx = x[i] * dpr;
    const float left = cx - half;
    const float right = cx + half;
    const float yTop = std::max(0.0f, top[i] * dpr);
    const int firstRow = static_cast<int>(std::floor(yTop));
    const int firstCol = std::max(0, static_cast<int>(std::floor(left)));
    const int lastCol = std::min(w - 1, static_cast<int>(std::ceil(right)) - 1);
    for (int col = firstCol; col <= lastCol; ++col) {
      // How much of the pixel column the line covers: fractional edges are weighted.
      const float cover = std::min<float>(right, col + 1) - std::max<float>(left, col);
      if (cover <= 0.0f) continue;
      for (int row = firstRow; row < yEnd; ++row) {
        const float rowCover = row == firstRow ? 1.0f - (yTop - firstRow) : 1.0f;
        QRgb* line = pixels(image_, row);
        blend(line[col], rgb, alpha, cover * rowCover);
      }
    }
  }
}

}  // namespace quavrix
