#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing pass: everything the view shows, drawn in a fixed order onto a
// canvas. Regions that change rarely (the overview, the zoom column, the
// toolbars) are drawn only when their dirty flag asks for it; the roll, the
// grid, the notes and the panel on every pass.

namespace quavrix {

struct View;
class Canvas;

void drawPass(View& view, Canvas& canvas);

// Point sizes of the three text formats for a layout.
struct TextSizes {
  float huge;
  float large;
  float small;
};
TextSizes textSizes(bool small);

}  // namespace quavrix
