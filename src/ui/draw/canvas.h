#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the drawing pass draws on: a small canvas interface of ours. The Qt
// canvas paints an image with it; the recording canvas keeps every call for
// tests.

#include <cstdint>
#include <span>
#include <string_view>

#include "score/cell_grid.h"

namespace quavrix {

// Components and alpha 0..1.
struct Colour {
  float r = 0;
  float g = 0;
  float b = 0;
  float a = 1;
  friend bool operator==(const Colour&, const Colour&) = default;
};

struct RectF {
  float left = 0;
  float top = 0;
  float right = 0;
  float bottom = 0;
  friend bool operator==(const RectF&, const RectF&) = default;
};

inline RectF toRectF(const ScreenRect& r) {
  return {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
          static_cast<float>(r.bottom)};
}

// The three sizes of centred text.
enum class TextFormat : std::uint8_t { Huge, Large, Small };

// The pictures the view draws its bars and panel pages from.
enum class Picture : std::uint8_t {
  Start,
  TopStrip,
  BottomStrip,
  BarPage,
  BeatPage,
  DivisionPage,
  StroboPage,
  HelpAppend,
  HelpAutoFill,
  HelpExtend,
  Count
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // Prepares the pictures; false while they cannot be had yet.
  virtual bool loadPictures() = 0;
  // The point sizes of the three text formats.
  virtual void createTextFormats(float huge, float large, float small) = 0;

  virtual void fill(const RectF& rect, Colour colour) = 0;
  // A line of fractional width between two points (antialiased).
  virtual void line(float x0, float y0, float x1, float y1, float width, Colour colour) = 0;
  // The picture stretched into the rectangle.
  virtual void picture(Picture picture, const RectF& dest) = 0;
  // Text centred in the rectangle both ways.
  virtual void text(std::string_view text, const RectF& rect, TextFormat format, Colour colour) = 0;
  // A run of vertical lines, one per x, from its top down to a common bottom,
  // all of one width (centred on x) and colour.
  virtual void columns(std::span<const float> x, std::span<const float> top, float bottom,
                       float width, Colour colour) = 0;
};

}  // namespace quavrix
