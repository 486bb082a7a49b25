#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Which control lies under a point of the view.

#include "score/cell_grid.h"

namespace quavrix {

struct View;

// The ControlCode under the point, 0 for nothing. Pure: reads the engine's
// busy flag and panel state and the view's rectangles.
int hitTest(const View& view, ScreenPoint point);

// The part of it for points inside the open panel: a panel code or 101.
int panelHitTest(const View& view, ScreenPoint point);

}  // namespace quavrix
