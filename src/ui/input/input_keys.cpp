// SPDX-License-Identifier: GPL-3.0-or-later
// The keys, the timer, and the actions the keys share with the mouse: key
// range, track selection, audition and tuning.

#include <cstdio>

#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "ui/input/input.h"
#include "ui/input/input_actions.h"
#include "ui/model/control_code.h"
#include "ui/model/view_refresh.h"
#include "ui/model/visible_window.h"

namespace quavrix {

namespace input {

void bottomDirty(View& view) {
  view.engine.viewState.dirty.bottomBar = true;
}

void topDirty(View& view) {
  view.engine.viewState.dirty.topBar = true;
}

bool overRoll(const View& view) {
  return view.input.hoverCode == RollCode;
}

void audition(View& view, bool pressed) {
  Engine& engine = view.engine;
  if (!pressed) {
    auditionKey(engine, false, 0, 0);
    return;
  }
  CellHit hit;
  if (hitCell(engine.cellGrid, engine.notes, view.input.mouse, hit) != 0) return;
  const ViewState& v = engine.viewState;
  if (v.noTrackSelected) return;
  auditionKey(engine, true, hit.key, v.currentTrack);
}

namespace {

void applyKeyRange(View& view, std::uint32_t first, std::uint32_t rows) {
  Engine& engine = view.engine;
  CellGrid& grid = engine.cellGrid;
  grid.setKeyRange(first, rows);
  rebuildColumns(grid, engine.notes);
  rebuildCells(grid, engine.notes);
  // The guessing curve must stay over the keys it belongs to.
  rebuildSpectrumMap(view);
  bottomDirty(view);
}

}  // namespace

void octave(View& view, int direction) {
  const CellGrid& grid = view.engine.cellGrid;
  std::uint32_t first = grid.firstKeyRow;
  if (direction < 0 && first > 0) first -= 12;
  if (direction > 0 && first < KEY_COUNT - grid.keyRows) first += 12;
  applyKeyRange(view, first, grid.keyRows);
}

void keyRows(View& view, int change, bool rightHalf) {
  const CellGrid& grid = view.engine.cellGrid;
  std::uint32_t first = grid.firstKeyRow;
  std::uint32_t rows = grid.keyRows;
  const std::uint32_t old = rows;
  if (change < 0 && rows >= 37) {
    rows -= 12;
    if (first < 96 - old && rightHalf) first += 12;
  } else if (change > 0 && rows <= 83) {
    rows += 12;
    if ((72 - static_cast<int>(old) < static_cast<int>(first)) || (rightHalf && first > 0))
      first -= 12;
  } else {
    return;
  }
  applyKeyRange(view, first, rows);
}

void trackLeft(View& view, int track) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  if (trackOutput(engine, track)) {
    v.currentTrack = track;
    v.noTrackSelected = 0;
  }
  setTrackOutput(engine, track, true);
  if (track != 0) v.noTrackSelected = 0;
  placeLevelMarkers(view);
  bottomDirty(view);
}

void trackRight(View& view, int track) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  setTrackOutput(engine, track, false);
  if (v.currentTrack == track) v.noTrackSelected = 1;
  bottomDirty(view);
}

void nearbyTrack(View& view, int direction) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  for (int step = 1; step <= 6; ++step) {
    const int t = v.currentTrack + direction * step;
    if (t < 1 || t > 7) break;
    if (trackOutput(engine, t)) {
      v.currentTrack = t;
      v.noTrackSelected = 0;
      break;
    }
  }
  placeLevelMarkers(view);
  bottomDirty(view);
}

void trackUnderMouse(View& view) {
  Engine& engine = view.engine;
  CellHit hit;
  if (hitCell(engine.cellGrid, engine.notes, view.input.mouse, hit) != 0) return;
  for (int t = 1; t <= 7; ++t) {
    if (engine.cellGrid.cell(t, hit.key - 1, hit.column) & CELL_START) {
      if (trackOutput(engine, t)) {
        engine.viewState.currentTrack = t;
        engine.viewState.noTrackSelected = 0;
        placeLevelMarkers(view);
      }
      break;
    }
  }
  bottomDirty(view);
}

void tune(View& view, int cents) {
  setTuning(view.engine, view.engine.settings.values.tuning + cents);
  bottomDirty(view);
}

}  // namespace input

using namespace input;

int fasterSpeed(int step) {
  return std::min(step + static_cast<int>(step * 0.03), STEP_NORMAL);
}

int slowerSpeed(int step) {
  return std::max(step - static_cast<int>(step * 0.03), STEP_SLOWEST);
}

void keyDown(View& view, Key key, bool ctrl) {
  Engine& engine = view.engine;
  if (engine.busy) return;
  Interaction& in = view.input;
  const bool tapMode = engine.notes.editor.tapMode != 0;
  VisibleWindow& w = engine.viewState.window;
  switch (key) {
    case Key::Enter:
      if (tapMode) tap(engine);
      break;
    case Key::Shift:
      in.shiftHeld = true;
      if (overRoll(view)) audition(view, true);
      bottomDirty(view);
      break;
    case Key::Control:
      in.ctrlHeld = true;
      bottomDirty(view);
      break;
    case Key::Escape:
      panic(engine, true);
      break;
    case Key::Space:
      togglePlay(engine);
      topDirty(view);
      break;
    case Key::Left:
      octave(view, -1);
      break;
    case Key::Up:
      keyRows(view, -1, false);
      break;
    case Key::Right:
      if (tapMode) {
        tap(engine);
      } else {
        octave(view, +1);
      }
      break;
    case Key::Down:
      if (tapMode) {
        tap(engine);
      } else {
        keyRows(view, +1, false);
      }
      break;
    case Key::Digit1:
      w.scrollStep = 1;
      break;
    case Key::Digit2:
      w.scrollStep = 2;
      break;
    case Key::Digit4:
      w.scrollStep = 4;
      break;
    case Key::R:
      w.scrollStep = 0;
      break;
    case Key::D:
      nearbyTrack(view, -1);
      break;
    case Key::F:
      trackUnderMouse(view);
      break;
    case Key::G:
      nearbyTrack(view, +1);
      break;
    case Key::Y:
      if (ctrl || in.ctrlHeld) redoNoteEdit(engine);
      bottomDirty(view);
      break;
    case Key::Z:
      if (ctrl || in.ctrlHeld) undoNoteEdit(engine);
      bottomDirty(view);
      break;
    case Key::Other:
      break;
  }
}

void keyUp(View& view, Key key) {
  Interaction& in = view.input;
  if (key == Key::Shift) {
    in.shiftHeld = false;
    audition(view, false);
    bottomDirty(view);
  } else if (key == Key::Control) {
    in.ctrlHeld = false;
    bottomDirty(view);
  }
}

void focusLost(View& view) {
  // A key released while another window has the focus never reaches the view:
  // a Ctrl left "held" would make a plain Z undo.
  if (view.input.shiftHeld) keyUp(view, Key::Shift);
  if (view.input.ctrlHeld) keyUp(view, Key::Control);
}

void onTimer(View& view) {
  Engine& engine = view.engine;
  DirtyFlags& dirty = engine.viewState.dirty;
  if (takePassEnd(engine)) dirty.topBar = true;
  if (dirty.fullRedraw) {
    dirty.topBar = true;
    dirty.fullRedraw = false;
  }
  if (engine.viewState.playing) dirty.topBar = true;
}

}  // namespace quavrix
