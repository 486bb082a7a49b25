// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/draw/recording_canvas.h"

#include <cmath>

namespace quavrix {

void RecordingCanvas::fill(const RectF& rect, Colour colour) {
  DrawCall c;
  c.kind = DrawCall::Kind::Fill;
  c.rect = rect;
  c.colour = colour;
  calls.push_back(std::move(c));
}

void RecordingCanvas::line(float x0, float y0, float x1, float y1, float width, Colour colour) {
  DrawCall c;
  c.kind = DrawCall::Kind::Line;
  c.rect = RectF{x0, y0, x1, y1};
  c.width = width;
  c.colour = colour;
  calls.push_back(std::move(c));
}

void RecordingCanvas::picture(Picture picture, const RectF& dest) {
  DrawCall c;
  c.kind = DrawCall::Kind::Picture;
  c.rect = dest;
  c.picture = picture;
  calls.push_back(std::move(c));
}

void RecordingCanvas::text(std::string_view text, const RectF& rect, TextFormat format,
                           Colour colour) {
  DrawCall c;
  c.kind = DrawCall::Kind::Text;
  c.rect = rect;
  c.text = std::string(text);
  c.format = format;
  c.colour = colour;
  calls.push_back(std::move(c));
}

void RecordingCanvas::columns(std::span<const float> x, std::span<const float> top, float bottom,
                              float width, Colour colour) {
  DrawCall c;
  c.kind = DrawCall::Kind::Columns;
  c.rect = RectF{0, 0, 0, bottom};
  c.width = width;
  c.colour = colour;
  c.x.assign(x.begin(), x.end());
  c.top.assign(top.begin(), top.end());
  calls.push_back(std::move(c));
}

std::vector<const DrawCall*> RecordingCanvas::of(DrawCall::Kind kind) const {
  std::vector<const DrawCall*> found;
  for (const DrawCall& c : calls)
    if (c.kind == kind) found.push_back(&c);
  return found;
}

std::vector<const DrawCall*> RecordingCanvas::linesAt(float y, Colour colour) const {
  std::vector<const DrawCall*> found;
  for (const DrawCall& c : calls) {
    if (c.kind != DrawCall::Kind::Line || !(c.colour == colour)) continue;
    if (std::fabs(c.rect.top - y) <= 0.5f && std::fabs(c.rect.bottom - y) <= 0.5f)
      found.push_back(&c);
  }
  return found;
}

}  // namespace quavrix
