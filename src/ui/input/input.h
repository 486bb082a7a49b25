#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The view's input: mouse buttons, movement, the wheel, keys and the 50 ms
// timer, each turned into the engine's commands by the code under the mouse.
// Free of any toolkit: the window forwards its events here. Nothing happens
// while the engine is busy opening a recording.

#include <cstdint>

#include "score/cell_grid.h"

namespace quavrix {

struct View;

// Keys the view knows, by what they are, whatever the layout and case.
enum class Key : std::uint8_t {
  Enter,
  Shift,
  Control,
  Escape,
  Space,
  Left,
  Up,
  Right,
  Down,
  Digit1,
  Digit2,
  Digit4,
  R,
  D,
  F,
  G,
  Y,
  Z,
  Other,
};

void leftDown(View& view, ScreenPoint point);
// The second press of a double click (the toolkit delivers it instead of a
// press, between two releases).
void leftDoubleClick(View& view, ScreenPoint point);
void leftUp(View& view, ScreenPoint point);
void rightDown(View& view, ScreenPoint point);
void rightUp(View& view, ScreenPoint point);
void middleDown(View& view, ScreenPoint point);
void mouseMove(View& view, ScreenPoint point);
// Whole notches of the wheel: positive turns forward (away from the person).
void wheel(View& view, int notches, bool ctrl);
void mouseLeave(View& view);
void keyDown(View& view, Key key, bool ctrl);
void keyUp(View& view, Key key);
// The view lost the keyboard (another window, a dialog): Shift and Ctrl count
// as released.
void focusLost(View& view);

// The 50 ms timer: the end of a pass without loop, the full redraw request,
// the time display while playing. The window repaints afterwards.
void onTimer(View& view);

// Speed buttons and sliders (exposed for the speed arithmetic's own tests).
int fasterSpeed(int step);
int slowerSpeed(int step);

}  // namespace quavrix
