#pragma once
// Where the view's regions lie, for the layout in use. The engine keeps it
// because commands measure against it (the stroboscope's rate bars); the
// view's layout selection fills it.

namespace quavrix {

struct ViewLayout {
  // The Stroboscope page's rate bars: the y of their zero line and their
  // half height, in view pixels.
  float strobeZeroY = 525.5f;
  float strobeHalfHeight = 241.5f;
};

}  // namespace quavrix
