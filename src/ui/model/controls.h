#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The rectangles of every control of the two toolbar strips and the
// beat-editor panel, in both layouts, and the display-only boxes around them.

#include <array>
#include <cstdint>
#include <span>

#include "score/cell_grid.h"

namespace quavrix {

// Where a control is drawn: on a toolbar strip, on every panel page, or on
// one page's picture.
enum class Place : std::uint8_t {
  TopBar,
  BottomBar,
  Panel,
  BarPage,
  BeatPage,
  DivisionPage,
  StroboPage,
};

struct ControlSpec {
  std::uint16_t code;
  Place place;
  ScreenRect large;
  // The small layout's rectangle; panel controls have none (they move with
  // the panel by PANEL_SMALL_OFFSET).
  ScreenRect small;
};

inline constexpr int PANEL_SMALL_DX = -70;
inline constexpr int PANEL_SMALL_DY = -124;

// Every control, in the order of its bar's or page's table.
std::span<const ControlSpec> controlSpecs();

// Display-only boxes.
enum class Box : std::uint8_t {
  TimeUpper,
  TimeLower,
  Tune,
  BeatsInBar,
  Bpm,
  Divisor,
  DivisorDisplay,
  StroboBpm,
  NoteName,
  Count
};

// The control rectangles of the layout in use.
struct ControlRects {
  bool small = false;
  std::array<ScreenRect, 256> byCode{};  // empty where no control has the code
  std::array<ScreenRect, static_cast<int>(Box::Count)> boxes{};
  std::array<ScreenRect, 8> slotBars{};   // thin bars under the slot cells 1..8
  std::array<ScreenRect, 8> trackBars{};  // entries 1..7: under the track buttons
  std::array<ScreenRect, 7> octaveBars{};
  // The free-scroll ramp's left and right x, for the free-scroll drag.
  float scrollFreeLeft = 0;
  float scrollFreeRight = 0;

  const ScreenRect& operator[](int code) const { return byCode[static_cast<std::size_t>(code)]; }
  const ScreenRect& box(Box b) const { return boxes[static_cast<std::size_t>(b)]; }
};

ControlRects controlRects(bool small);

// The codes of each bar in the order the hit test tries them.
std::span<const std::uint16_t> topBarHitOrder();
std::span<const std::uint16_t> bottomBarHitOrder();

}  // namespace quavrix
