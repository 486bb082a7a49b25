#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Presses on the top and bottom bars and on the beat-editor panel, and the
// drags of their sliders.

#include "ui/model/control_code.h"
#include "ui/model/view.h"

namespace quavrix::input {

inline bool isTopBar(int code) {
  return code >= BeatEditorButton && code <= SettingsButton;
}

inline bool isBottomBar(int code) {
  return code >= WavButton;
}

inline bool isPanelCode(int code) {
  return code >= PanelBackground && code < WavButton;
}

// A left press on a bar or panel control (any code the roll and the columns
// do not take).
void barPress(View& view, int code, ScreenPoint p);

// The level and free-scroll sliders follow the mouse to x.
void levelDrag(View& view, int x);
void freeScrollDrag(View& view, int x);

}  // namespace quavrix::input
