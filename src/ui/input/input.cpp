// SPDX-License-Identifier: GPL-3.0-or-later
// The mouse: buttons, movement, the wheel, leaving the view.

#include "ui/input/input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/suggestions.h"
#include "engine/transport.h"
#include "ui/input/input_actions.h"
#include "ui/input/input_bars.h"
#include "ui/input/input_sections.h"
#include "ui/model/control_code.h"
#include "ui/model/hit_test.h"
#include "ui/model/visible_window.h"

namespace quavrix {

using namespace input;

namespace {

constexpr float MIN_SELECTION_SAMPLES = MIN_INTERVAL * FRAMES_PER_POSITION;

// The position at a y of the time band.
std::uint32_t positionAt(const Engine& engine, float y) {
  const VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  const float t = std::clamp((y - l.bandTop) / l.bandHeight, 0.0f, 1.0f);
  return w.firstVisible + static_cast<std::uint32_t>(t * static_cast<float>(w.span));
}

void updateSelection(View& view) {
  const Interaction& in = view.input;
  Engine& engine = view.engine;
  setSelection(engine, positionAt(engine, std::min(in.selectionStartY, in.selectionEndY)),
               positionAt(engine, std::max(in.selectionStartY, in.selectionEndY)));
}

int wheelUnit(const View& view) {
  return view.engine.viewState.window.freeScroll * 64 / 255;
}

// A press in the zoom column: a second press cancels the drag; else the whole
// window, or the start or end by the half of the band, follows the mouse.
void pressZoom(View& view, float y, bool whole) {
  VisibleWindow& w = view.engine.viewState.window;
  if (w.anyZoomDrag()) {
    w.endZoomDrags();
    return;
  }
  if (whole) {
    w.zoomWhole = true;
  } else {
    (y < view.engine.layout.bandCentre ? w.zoomUpper : w.zoomLower) = true;
  }
  w.zoomDelta = 0;
  view.input.zoomPressY = y;
}

void notePressOnRoll(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  // Past the last column every point maps to the last line: no note edits then.
  if (editorOpen(engine) || engine.viewState.noTrackSelected || engine.cellGrid.columnOverflow)
    return;
  // A click on a suggestion places it instead of starting a note of its own.
  if (const int suggestion = suggestionAt(engine, p); suggestion >= 0) {
    acceptSuggestion(engine, suggestion);
    return;
  }
  view.input.noteDrag = true;
  view.input.notePress = p;
  audition(view, true);
}

}  // namespace

void leftDown(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  const int code = hitTest(view, p);
  if (code == NoControl) return;
  VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  const float y = static_cast<float>(p.y);
  switch (code) {
    case OverviewLeft:
      if (!w.anyOverviewDrag() && y < static_cast<float>(l.overviewColumn.bottom - w.minHeight)) {
        w.top = std::max(static_cast<float>(l.overviewColumn.top), y);
        w.bottom = w.top + static_cast<float>(w.minHeight);
        w.dragNew = true;
        overviewMove(engine, OVERVIEW_NEW);
      }
      break;
    case OverviewRight:
      if (w.anyOverviewDrag()) {
        w.endOverviewDrags();
      } else {
        w.dragWhole = true;
        w.dragDelta = 0;
        in.overviewPressY = y;
      }
      break;
    case ZoomLeft:
    case ZoomRight:
      pressZoom(view, y, code == ZoomLeft);
      if (code == ZoomRight) in.zoomCentreHighlighted = true;
      break;
    case MarginStrip1Code:
    case MarginStrip2Code:
    case MarginStrip3Code:
      in.selectionDrag = true;
      in.selectionStartY = in.selectionEndY = y;
      break;
    case RollCode:
      notePressOnRoll(view, p);
      break;
    default:
      barPress(view, code, p);
      break;
  }
  // The bottom bar's Loop and Play change what the top bar tints.
  if (isTopBar(code) || code == LoopButton2 || code == PlayButton2) topDirty(view);
  if (isBottomBar(code)) bottomDirty(view);
}

void leftDoubleClick(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  const int code = hitTest(view, p);
  switch (code) {
    case FasterButton:
    case SlowerButton:
    case UndoButton:
    case RedoButton:
    case StroboCoarseColumn:
    case StroboFineColumn:
    case PanelUndoButton:
    case PanelRedoButton:
    case MoveUpButton:
    case MoveDownButton:
    case MoveUpSmallButton:
    case MoveDownSmallButton:
    case KeyLowButton:
    case KeyWidenButton:
    case KeyNarrowButton:
    case KeyHighButton:
    case TuneDown10Button:
    case TuneDown1Button:
    case TuneUp1Button:
    case TuneUp10Button:
      // The press of a double click runs the action again.
      leftDown(view, p);
      break;
    case MarginStrip1Code:
    case MarginStrip2Code:
    case MarginStrip3Code:
      snapToBeatsForBack(engine);
      topDirty(view);
      break;
    default:
      break;
  }
}

void leftUp(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  const int code = hitTest(view, p);
  const float y = static_cast<float>(p.y);
  const bool insideOverview = y >= l.overviewColumn.top && y < l.overviewColumn.bottom;
  switch (code) {
    case OverviewLeft:
      if (w.dragNew) {
        w.bottom = insideOverview ? y : static_cast<float>(l.overviewColumn.bottom);
        if (insideOverview) {
          w.dragNew = false;
          overviewMove(engine, OVERVIEW_NEW);
        }
        topDirty(view);
      }
      break;
    case OverviewRight:
      if (w.dragWhole) {
        w.dragWhole = false;
        w.dragDelta = y - in.overviewPressY;
        overviewMove(engine, OVERVIEW_WHOLE);
        topDirty(view);
      }
      break;
    case ZoomLeft:
    case ZoomRight: {
      const int mode = w.zoomWhole ? ZOOM_WHOLE : w.zoomLower ? ZOOM_LOWER : ZOOM_UPPER;
      const bool ran = w.anyZoomDrag();
      w.endZoomDrags();
      if (ran && code == ZoomRight && std::fabs(y - in.zoomPressY) < 2) {
        // Hardly moved: the window stays as it was committed.
        if (w.start != w.committedStart || w.end != w.committedEnd)
          setWindow(engine, w.committedStart, w.committedEnd);
      } else if (ran) {
        w.zoomDelta = static_cast<int>(in.zoomPressY - y);
        zoomMove(engine, mode);
      }
      topDirty(view);
      break;
    }
    case MarginStrip1Code:
    case MarginStrip2Code:
    case MarginStrip3Code:
      if (in.selectionDrag) {
        in.selectionEndY = y;
        updateSelection(view);
        commitSelection(engine);
        if (!editorOpen(engine) || in.ctrlHeld) {
          const ViewState& v = engine.viewState;
          const double a = static_cast<double>(v.selectionStart) * FRAMES_PER_POSITION;
          const double b = static_cast<double>(v.selectionEnd) * FRAMES_PER_POSITION;
          if (b - a >= MIN_SELECTION_SAMPLES && a >= LEAD_IN_FRAMES && b <= w.total) {
            w.previousStart = w.start;
            w.previousEnd = w.end;
            setWindow(engine, static_cast<int>(a), static_cast<int>(b));
            snapToBeats(engine);
          }
        }
        topDirty(view);
      }
      break;
    case RollCode:
      if (in.noteDrag && !editorOpen(engine) && !engine.cellGrid.columnOverflow) {
        appendNoteAt(engine, engine.viewState.currentTrack, in.notePress, p);
      }
      break;
    default:
      break;
  }
  if (in.levelDrag) {
    levelDrag(view, p.x);
    bottomDirty(view);
  }
  // Wherever the button comes up, an auditioned key stops sounding.
  audition(view, false);
  w.endOverviewDrags();
  w.endZoomDrags();
  in.noteDrag = in.selectionDrag = in.levelDrag = in.freeScrollDrag = false;
  in.zoomCentreHighlighted = false;
}

void rightDown(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  VisibleWindow& w = engine.viewState.window;
  const int code = hitTest(view, p);
  if (code == NoControl) return;
  if (editorOpen(engine)) {
    clearSelection(engine);
    BeatEditorState& ed = engine.notes.editor;
    ed.barCommand = ed.beatCommand = ed.divisionCommand = 0;
  }
  const float y = static_cast<float>(p.y);
  switch (code) {
    case OverviewRight:
      if (w.anyOverviewDrag()) {
        w.endOverviewDrags();
      } else {
        const float perPixel = static_cast<float>(std::max(1, w.samplesPerPixel));
        const float top = static_cast<float>(engine.layout.overviewColumn.top);
        w.top = top + static_cast<float>(w.start) / perPixel;
        w.bottom = top + static_cast<float>(w.end) / perPixel;
        if (y <= w.top) w.dragTop = true;
        if (y >= w.bottom) w.dragBottom = true;
        w.dragDelta = 0;
        in.overviewPressY = y;
      }
      break;
    case ZoomLeft:
    case ZoomRight:
      pressZoom(view, y, false);
      break;
    case RollCode:
      if (!engine.cellGrid.columnOverflow && !engine.viewState.noTrackSelected)
        deleteNoteAt(engine, engine.viewState.currentTrack, p);
      break;
    case WavButton:
    case MidiButton:
    case RepeatAfterButton:
      leftDown(view, p);
      break;
    default:
      if (code >= TickTrackButton && code <= TrackButton7) trackRight(view, code - TickTrackButton);
      break;
  }
  if (code == WavButton || code == MidiButton || code == RepeatAfterButton ||
      (code >= TickTrackButton && code <= TrackButton7))
    bottomDirty(view);
}

void rightUp(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  VisibleWindow& w = engine.viewState.window;
  const int code = hitTest(view, p);
  const float y = static_cast<float>(p.y);
  switch (code) {
    case OverviewRight:
      if (std::fabs(y - in.overviewPressY) < 2) {
        w.dragTop = w.dragBottom = false;
        backWindow(engine);
      } else if (w.dragTop || w.dragBottom) {
        const int mode = w.dragTop ? OVERVIEW_TOP : OVERVIEW_BOTTOM;
        w.dragDelta = y - in.overviewPressY;
        w.dragTop = w.dragBottom = false;
        if (w.dragDelta != 0) overviewMove(engine, mode);
      }
      topDirty(view);
      break;
    case ZoomLeft:
    case ZoomRight:
      if (std::fabs(y - in.zoomPressY) < 2) {
        w.endZoomDrags();
        backWindow(engine);
      } else if (w.anyZoomDrag()) {
        const int mode = w.zoomLower ? ZOOM_LOWER : ZOOM_UPPER;
        w.endZoomDrags();
        w.zoomDelta = static_cast<int>(in.zoomPressY - y);
        zoomMove(engine, mode);
      }
      topDirty(view);
      break;
    case MarginStrip1Code:
    case MarginStrip2Code:
    case MarginStrip3Code:
      backWindow(engine);
      topDirty(view);
      break;
    default:
      break;
  }
  w.dragTop = w.dragBottom = false;
  w.endZoomDrags();
}

void middleDown(View& view, ScreenPoint p) {
  const int code = hitTest(view, p);
  if ((code >= MarginStrip1Code && code <= MarginStrip3Code) || code == RollCode ||
      code == PanelBackground)
    toggleEditor(view.engine);
}

void mouseMove(View& view, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  const int code = hitTest(view, p);
  in.mouse = p;
  in.hoverCode = static_cast<std::uint16_t>(code);
  const bool wasHovered = in.overviewHoverTop || in.overviewHoverBottom || in.overviewHovered;
  in.zoomCentreHighlighted = false;
  in.overviewHoverTop = in.overviewHoverBottom = in.overviewHovered = false;
  const float y = static_cast<float>(p.y);
  if (in.levelDrag) levelDrag(view, p.x);
  if (in.freeScrollDrag) freeScrollDrag(view, p.x);
  switch (code) {
    case OverviewLeft:
      if (w.dragNew) {
        const bool inside = y >= l.overviewColumn.top && y < l.overviewColumn.bottom;
        w.bottom = inside ? std::max(y, w.top + static_cast<float>(w.minHeight))
                          : static_cast<float>(l.overviewColumn.bottom);
        overviewMove(engine, OVERVIEW_NEW);
        topDirty(view);
      }
      in.overviewHovered = true;
      break;
    case OverviewRight: {
      const float perPixel = static_cast<float>(std::max(1, w.samplesPerPixel));
      const float top = static_cast<float>(l.overviewColumn.top);
      const float windowMiddle = top + static_cast<float>(w.start + w.end) / 2.0f / perPixel;
      (y < windowMiddle ? in.overviewHoverTop : in.overviewHoverBottom) = true;
      if (w.dragWhole || w.dragTop || w.dragBottom) {
        w.dragDelta = y - in.overviewPressY;
        overviewMove(engine, w.dragWhole ? OVERVIEW_WHOLE
                             : w.dragTop ? OVERVIEW_TOP
                                         : OVERVIEW_BOTTOM);
        topDirty(view);
      }
      break;
    }
    case ZoomLeft:
    case ZoomRight:
      if (code == ZoomRight) in.zoomCentreHighlighted = true;
      if (w.anyZoomDrag()) {
        w.zoomDelta = static_cast<int>(in.zoomPressY - y);
        zoomMove(engine, w.zoomWhole ? ZOOM_WHOLE : w.zoomLower ? ZOOM_LOWER : ZOOM_UPPER);
        topDirty(view);
      }
      break;
    case MarginStrip1Code:
    case MarginStrip2Code:
    case MarginStrip3Code:
      in.panelHidden = code != MarginStrip3Code;
      if (in.selectionDrag) {
        in.selectionEndY = y;
        updateSelection(view);
      }
      break;
    case RollCode: {
      in.panelHidden = false;
      CellHit hit;
      if (hitCell(engine.cellGrid, engine.notes, p, hit) == 0) {
        ViewState& v = engine.viewState;
        v.noteNameText1 = v.names[static_cast<std::size_t>((hit.key + 11) % 12)];
        char octave[16];
        std::snprintf(octave, sizeof octave, "%d", (hit.key + KEY_TO_MIDI) / 12 - 1);
        v.noteNameText2 = octave;
        if (in.noteDrag || in.shiftHeld) audition(view, true);
      }
      break;
    }
    default:
      // Any panel button shows a hidden panel again: nothing takes clicks unseen.
      if (isPanelCode(code)) in.panelHidden = false;
      break;
  }
  // The overview is drawn again while hovered, and once more when the mouse leaves it.
  const bool hovered = in.overviewHoverTop || in.overviewHoverBottom || in.overviewHovered;
  engine.viewState.dirty.overviewHover = hovered;
  if (hovered || wasHovered) engine.viewState.dirty.overview = true;
  if (in.zoomCentreHighlighted) engine.viewState.dirty.zoom = true;
}

void wheel(View& view, int notches, bool ctrl) {
  Engine& engine = view.engine;
  if (engine.busy || notches == 0) return;
  VisibleWindow& w = engine.viewState.window;
  const int code = view.input.hoverCode;
  const int unit = wheelUnit(view);
  // A backward turn (towards the person) moves later in the recording.
  const int sign = notches < 0 ? 1 : -1;
  for (int n = 0; n < std::abs(notches); ++n) {
    if (code == OverviewLeft || code == OverviewRight) {
      w.dragDelta = static_cast<float>(sign * (ctrl ? 16 : 4) * unit);
      overviewMove(engine, OVERVIEW_WHOLE);
      topDirty(view);
    } else if (code == ZoomLeft || code == ZoomRight || code == RollCode ||
               (code >= MarginStrip1Code && code <= MarginStrip3Code)) {
      if (w.scrollStep == 0) {
        const bool margin = code >= MarginStrip1Code && code <= MarginStrip3Code;
        w.zoomDelta = sign * (margin ? (ctrl ? 4 : 1) : (ctrl ? 8 : 2)) * unit;
        zoomMove(engine, ZOOM_WHOLE);
        topDirty(view);
      } else {
        stepByBeats(engine, sign);
      }
    }
  }
}

void mouseLeave(View& view) {
  Interaction& in = view.input;
  VisibleWindow& w = view.engine.viewState.window;
  w.endOverviewDrags();
  in.overviewHoverTop = in.overviewHoverBottom = in.overviewHovered = false;
  in.overviewPressY = 0;
  in.hoverCode = NoControl;
  // A key sounding from a drag stops when the mouse leaves.
  audition(view, false);
  view.engine.viewState.dirty.overview = true;
}

}  // namespace quavrix
