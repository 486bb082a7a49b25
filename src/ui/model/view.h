#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The view of an engine: its control rectangles, what the drawing pass
// remembers between passes, and the state of the mouse and the keys. The
// window owns one; everything here is free of any toolkit.

#include <cstdint>
#include <functional>

#include "ui/draw/colours.h"
#include "ui/model/controls.h"

namespace quavrix {

struct Engine;

// The bits of a section slot's and of a bank's flags.
inline constexpr std::uint8_t SLOT_HAS_RECORD = 1;
inline constexpr std::uint8_t SLOT_SELECTED = 2;

// The mouse and the keys between events.
struct Interaction {
  std::uint16_t hoverCode = 0;  // the code under the mouse at the last move
  ScreenPoint mouse;            // where the mouse was last
  float overviewPressY = 0;
  float zoomPressY = 0;
  ScreenPoint notePress;   // press point of a note drag
  ScreenPoint levelPress;  // press point of a level drag
  float levelStart = 0;
  int levelCode = 0;
  bool noteDrag = false;
  bool selectionDrag = false;
  bool levelDrag = false;
  bool freeScrollDrag = false;
  float freeScrollStartX = 0;
  int freeScrollStart = 0;
  float selectionStartY = 0;
  float selectionEndY = 0;
  bool zoomCentreHighlighted = false;
  bool overviewHoverTop = false;  // the mouse is near the window's top or bottom edge
  bool overviewHoverBottom = false;
  bool overviewHovered = false;
  // The open panel steps aside while the mouse is over the first two margin strips.
  bool panelHidden = false;
  bool shiftHeld = false;
  bool ctrlHeld = false;
  int wheelRemainder = 0;  // a touchpad's small wheel deltas, until they make a notch
};

// What the drawing pass keeps from one pass to the next.
struct PassMemory {
  bool oneTimeDone = false;
  bool picturesLoaded = false;
  bool startPictureDrawn = false;
  // The colour settings the colour set was built from.
  std::uint32_t colourRevision = 0xFFFFFFFFu;
  ColourSet colours;
  // What the last pass drew of the beat-editor panel: 0 nothing, 1 a page, 2 its edge.
  std::uint8_t panelShown = 0;
};

struct View {
  explicit View(Engine& e) : engine(e) {}
  Engine& engine;
  ControlRects rects;
  PassMemory pass;
  Interaction input;
  // The settings command of the window around the view (the gear buttons).
  std::function<void()> openSettings;
  // Runs long work on another thread behind the window's progress overlay,
  // the engine busy meanwhile; `stage` says what runs. Unset: in place.
  std::function<void(const char* stage, const std::function<void()>& work)> runBeside;
};

// Long work through the window's runBeside, or in place without a window.
void runLong(View& view, const char* stage, const std::function<void()>& work);

// Lays the view out for the large or the small window: the engine's layout,
// the control rectangles, the level markers.
void linkView(View& view, bool small);

// Places the level markers at the current levels.
void placeLevelMarkers(View& view);

}  // namespace quavrix
