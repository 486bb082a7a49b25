#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The layout selection: fills the engine's ViewLayout for the large or the
// small window, and hands the roll's geometry to the cell grid.

#include "engine/view_layout.h"

namespace quavrix {

struct Engine;

// The large layout needs a screen of at least this many pixels.
inline constexpr int LARGE_SCREEN_WIDTH = 1920;
inline constexpr int LARGE_SCREEN_HEIGHT = 1080;

// Whether a screen of this size in device-independent pixels takes the small layout.
bool smallLayoutFor(int screenWidth, int screenHeight);

// The region table of one layout.
ViewLayout layoutTable(bool small);

// Sets the engine's small-layout flag and ViewLayout, the overview's scale
// in the view state, and the cell grid's geometry.
void selectLayout(Engine& engine, bool small);

}  // namespace quavrix
