#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A canvas that keeps every call, so that tests can check what the drawing
// pass drew where, in which colour, width and order.

#include <string>
#include <vector>

#include "ui/draw/canvas.h"

namespace quavrix {

struct DrawCall {
  enum class Kind { Fill, Line, Picture, Text, Columns } kind = Kind::Fill;
  RectF rect;  // fill, picture and text rectangle; a line's end points as left/top, right/bottom
  float width = 0;
  Colour colour;
  Picture picture = Picture::Count;
  std::string text;
  TextFormat format = TextFormat::Small;
  std::vector<float> x;  // columns
  std::vector<float> top;
};

class RecordingCanvas final : public Canvas {
 public:
  bool loadPictures() override { return picturesReady; }
  void createTextFormats(float huge, float large, float small) override {
    textSizes = {huge, large, small};
  }
  void fill(const RectF& rect, Colour colour) override;
  void line(float x0, float y0, float x1, float y1, float width, Colour colour) override;
  void picture(Picture picture, const RectF& dest) override;
  void text(std::string_view text, const RectF& rect, TextFormat format, Colour colour) override;
  void columns(std::span<const float> x, std::span<const float> top, float bottom, float width,
               Colour colour) override;

  // The calls of one kind, in order.
  std::vector<const DrawCall*> of(DrawCall::Kind kind) const;
  // Horizontal lines through y (within half a pixel) in the colour.
  std::vector<const DrawCall*> linesAt(float y, Colour colour) const;
  void clear() { calls.clear(); }

  bool picturesReady = true;
  std::vector<float> textSizes;
  std::vector<DrawCall> calls;
};

}  // namespace quavrix
