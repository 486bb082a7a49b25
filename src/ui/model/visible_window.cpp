// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/visible_window.h"

#include <algorithm>
#include <cstdio>

#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"

namespace quavrix {

namespace {

constexpr int MIN_WINDOW = 4096;
constexpr int FIRST_SAMPLE = LEAD_IN_FRAMES;

std::string timeText(int sample) {
  // Times count from the recording's first frame, not from the lead-in.
  const double seconds = std::max(0, sample - LEAD_IN_FRAMES) / static_cast<double>(SAMPLE_RATE);
  const int minutes = static_cast<int>(seconds / 60.0);
  char text[32];
  std::snprintf(text, sizeof text, "%0d:%2.2f", minutes, seconds - minutes * 60.0);
  return text;
}

// Keeps a window inside the recording and at least MIN_WINDOW long, as set window does.
void clampWindow(const VisibleWindow& w, int& a, int& b) {
  if (a > FIRST_SAMPLE - 1 && a + MIN_WINDOW > w.total) {
    a = w.total - MIN_WINDOW;
    b = w.total;
  }
  if (a <= FIRST_SAMPLE - 1) a = FIRST_SAMPLE;
  int end = a + MIN_WINDOW;
  if (b >= end) end = std::min(b, w.total);
  b = end;
}

// Moves a window of `length` samples to start at a, inside the recording.
void placeWindow(const VisibleWindow& w, int a, int length, int& s, int& e) {
  length = std::max(length, MIN_WINDOW);
  if (a < FIRST_SAMPLE) a = FIRST_SAMPLE;
  if (a + length > w.total) a = w.total - length;
  s = std::max(a, FIRST_SAMPLE);
  e = std::min(s + length, w.total);
}

void overviewFromWindow(Engine& engine) {
  VisibleWindow& w = engine.viewState.window;
  const float top = static_cast<float>(engine.layout.overviewColumn.top);
  w.top = top + static_cast<float>(w.start) / static_cast<float>(w.samplesPerPixel);
  w.bottom = top + static_cast<float>(w.end) / static_cast<float>(w.samplesPerPixel);
}

// A move that set the window directly: "back" returns to where it was.
void rememberForBack(VisibleWindow& w, int s, int e) {
  if (w.start == s && w.end == e) return;
  w.previousStart = s;
  w.previousEnd = e;
}

void commit(VisibleWindow& w, int s, int e) {
  w.previousStart = w.committedStart;
  w.previousEnd = w.committedEnd;
  w.start = s;
  w.end = e;
  w.committedStart = s;
  w.committedEnd = e;
  w.committedLength = e - s;
}

void computeOverviewEnvelope(Engine& engine) {
  ViewState& v = engine.viewState;
  const ViewLayout& l = engine.layout;
  const Recording& rec = engine.recording;
  const int subRows = engine.columnFactor * static_cast<int>(l.overviewDataHeight);
  v.overviewLeft.assign(static_cast<std::size_t>(subRows) + 128, l.overviewCentreX);
  v.overviewRight.assign(static_cast<std::size_t>(subRows) + 128, l.overviewCentreX);
  const double perRow = static_cast<double>(v.window.total) / l.overviewDataHeight;
  const float s = l.overviewWidth * 0.003f;
  for (int i = 0; i < subRows; ++i) {
    const auto j = static_cast<std::size_t>(perRow * i / engine.columnFactor);
    if (j >= rec.left.size() || j >= rec.right.size()) break;
    v.overviewLeft[i] = l.overviewCentreX - rec.envelope(0, j) * s;
    v.overviewRight[i] = l.overviewCentreX + rec.envelope(1, j) * s;
  }
}

void computeZoomEnvelope(Engine& engine) {
  ViewState& v = engine.viewState;
  const ViewLayout& l = engine.layout;
  const Recording& rec = engine.recording;
  const VisibleWindow& w = v.window;
  const int subRows = engine.columnFactor * static_cast<int>(l.zoomDataHeight);
  const std::size_t size = static_cast<std::size_t>(subRows) + 128;
  v.zoomLeft.assign(size, l.zoomCentreX - 5);
  v.zoomRight.assign(size, l.zoomCentreX + 5);
  v.zoomOnset.assign(size, l.zoomCentreX);
  const double samples = w.zoomEnd - w.zoomStart;
  if (samples <= 16) return;
  const float s = l.zoomWidth * 0.003f;
  const double perRow = samples / l.zoomDataHeight;
  const double frames = static_cast<double>(std::min(rec.left.size(), rec.right.size()));
  for (int i = 0; i < subRows; ++i) {
    const double j = perRow * i / engine.columnFactor + w.zoomStart;
    if (j < 0 || j >= frames) continue;  // outside the recording: the stubs stay
    const auto at = static_cast<std::size_t>(j);
    v.zoomLeft[i] = l.zoomCentreX - 5 - rec.envelope(0, at) * s;
    v.zoomRight[i] = l.zoomCentreX + 5 + rec.envelope(1, at) * s;
    const std::size_t position = at / FRAMES_PER_POSITION;
    if (position < rec.onsetMarks.size()) v.zoomOnset[i] = l.zoomCentreX - rec.onsetMarks[position];
  }
}

// The n-th beat line after (direction > 0) or before `from`, within n longest
// beat intervals; NO_LINE when there is none.
std::uint32_t beatAway(const NoteStore& notes, std::uint32_t from, int n, int direction) {
  const auto reach = static_cast<std::uint32_t>(n * MAX_INTERVAL);
  std::uint32_t p = from;
  for (int k = 0; k < n; ++k) {
    if (direction > 0) {
      const std::uint32_t limit = std::min<std::uint64_t>(notes.positions, from + reach + 1);
      p = nextLine(notes, p + 1, LINE_BEAT);
      if (p >= limit) return NO_LINE;
    } else {
      const std::uint32_t floor = from > reach ? from - reach : 0;
      if (p == 0) return NO_LINE;
      p = previousLine(notes, p - 1, floor, LINE_BEAT);
      if (p == NO_LINE) return NO_LINE;
    }
  }
  return p;
}

}  // namespace

float positionY(const Engine& engine, double position) {
  const VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  if (w.span == 0) return l.bandTop;
  return static_cast<float>(l.bandTop + (position - w.firstVisible) * l.bandHeight / w.span);
}

void resetWindow(Engine& engine) {
  VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  const VisibleWindow fresh;
  w = fresh;
  w.scrollStep = engine.viewState.window.scrollStep;
  w.freeScroll = std::clamp(engine.settings.values.scrollStep, 5, 255);
  w.total = engine.recording.capacity;
  w.samplesPerPixel = std::max(1, static_cast<int>(w.total / l.overviewDataHeight));
  w.minHeight = MIN_WINDOW / w.samplesPerPixel;
  w.start = w.committedStart = w.previousStart = FIRST_SAMPLE;
  w.end = w.committedEnd = w.previousEnd = w.total;
  w.committedLength = w.total - FIRST_SAMPLE;
  w.top = static_cast<float>(l.overviewColumn.top) +
          static_cast<float>(FIRST_SAMPLE) / static_cast<float>(w.samplesPerPixel);
  w.bottom = static_cast<float>(l.overviewColumn.bottom);
  computeOverviewEnvelope(engine);
  applyWindow(engine);
}

void setWindow(Engine& engine, int a, int b) {
  VisibleWindow& w = engine.viewState.window;
  if (w.total <= FIRST_SAMPLE) return;
  clampWindow(w, a, b);
  w.start = w.committedStart = a;
  w.end = w.committedEnd = b;
  w.committedLength = b - a;
  overviewFromWindow(engine);
  applyWindow(engine);
}

void applyWindow(Engine& engine) {
  ViewState& v = engine.viewState;
  VisibleWindow& w = v.window;
  setPlayRange(engine, static_cast<std::uint32_t>(w.start), static_cast<std::uint32_t>(w.end));
  const std::uint32_t oldFirst = w.firstVisible;
  w.firstVisible = static_cast<std::uint32_t>(w.start) / FRAMES_PER_POSITION;
  w.lastVisible = static_cast<std::uint32_t>(w.end) / FRAMES_PER_POSITION;
  w.span = w.lastVisible - w.firstVisible;
  v.timeText1 = timeText(w.start);
  v.timeText2 = timeText(w.end);
  const double length = w.end - w.start;
  w.zoomStart = w.start - length * engine.layout.zoomTopRatio;
  w.zoomEnd = w.end + length * engine.layout.zoomBottomRatio;
  computeZoomEnvelope(engine);
  CellGrid& grid = engine.cellGrid;
  grid.setVisibleWindow(w.firstVisible, w.lastVisible);
  rebuildColumns(grid, engine.notes);
  rebuildCells(grid, engine.notes);
  if (w.firstVisible != oldFirst) clearSelection(engine);
  v.dirty.overview = true;
  v.dirty.zoom = true;
  v.dirty.fullRedraw = true;
}

void overviewMove(Engine& engine, int mode) {
  VisibleWindow& w = engine.viewState.window;
  if (w.total <= FIRST_SAMPLE) return;
  if (w.top > w.bottom) std::swap(w.top, w.bottom);
  const float t0 = static_cast<float>(engine.layout.overviewColumn.top);
  const float d = static_cast<float>(w.samplesPerPixel);
  int s = w.committedStart;
  int e = w.committedEnd;
  bool dragging = false;
  switch (mode) {
    case OVERVIEW_NEW:
      s = static_cast<int>(d * (w.top - t0));
      e = static_cast<int>(d * (w.bottom - t0));
      clampWindow(w, s, e);
      dragging = w.dragNew;
      break;
    case OVERVIEW_TOP:
      s = static_cast<int>(d * (w.top + w.dragDelta - t0));
      s = std::clamp(s, FIRST_SAMPLE, e - MIN_WINDOW);
      dragging = w.dragTop;
      break;
    case OVERVIEW_BOTTOM:
      e = static_cast<int>(d * (w.bottom + w.dragDelta - t0));
      e = std::clamp(e, s + MIN_WINDOW, w.total);
      dragging = w.dragBottom;
      break;
    case OVERVIEW_WHOLE:
      placeWindow(w, static_cast<int>(d * (w.top + w.dragDelta - t0)), w.committedLength, s, e);
      dragging = w.dragWhole;
      break;
    default:
      return;
  }
  if (dragging) {
    w.start = s;
    w.end = e;
  } else {
    commit(w, s, e);
    overviewFromWindow(engine);
  }
  applyWindow(engine);
}

void zoomMove(Engine& engine, int mode) {
  VisibleWindow& w = engine.viewState.window;
  if (w.total <= FIRST_SAMPLE) return;
  const int c = static_cast<int>(w.committedLength / engine.layout.bandHeight) * w.zoomDelta;
  int s = w.committedStart;
  int e = w.committedEnd;
  bool dragging = false;
  switch (mode) {
    case ZOOM_UPPER:
      // Near the end the start stops 4096 samples before the window's end.
      s = std::clamp(w.committedStart + c, FIRST_SAMPLE, e - MIN_WINDOW);
      dragging = w.zoomUpper;
      break;
    case ZOOM_LOWER:
      e = std::clamp(w.committedEnd + c, s + MIN_WINDOW, w.total);
      dragging = w.zoomLower;
      break;
    case ZOOM_WHOLE:
      placeWindow(w, w.committedStart + c, w.committedLength, s, e);
      dragging = w.zoomWhole;
      break;
    default:
      return;
  }
  if (dragging) {
    w.start = s;
    w.end = e;
  } else {
    commit(w, s, e);
  }
  overviewFromWindow(engine);
  applyWindow(engine);
}

void snapToBeats(Engine& engine) {
  const VisibleWindow& w = engine.viewState.window;
  const NoteStore& notes = engine.notes;
  if (!notes.ready() || w.span < MIN_INTERVAL || w.end > w.total) return;
  const std::uint32_t first = nextLine(notes, w.firstVisible, LINE_BEAT);
  const std::uint32_t last = previousLine(notes, w.lastVisible, 0, LINE_BEAT);
  if (last == NO_LINE || first >= notes.positions || first == last) return;
  if (first < 2 || last >= notes.positions || last < first) return;
  const int start =
      std::max(static_cast<int>(first) * FRAMES_PER_POSITION - FRAMES_PER_POSITION, FIRST_SAMPLE);
  setWindow(engine, start, static_cast<int>(last) * FRAMES_PER_POSITION);
  clearSelection(engine);
  BeatEditorState& ed = engine.notes.editor;
  ed.barCommand = ed.beatCommand = ed.divisionCommand = 0;
}

void backWindow(Engine& engine) {
  VisibleWindow& w = engine.viewState.window;
  const int s = w.previousStart;
  const int e = w.previousEnd;
  w.previousStart = w.start;
  w.previousEnd = w.end;
  setWindow(engine, s, e);
}

void snapToBeatsForBack(Engine& engine) {
  VisibleWindow& w = engine.viewState.window;
  const int s = w.start;
  const int e = w.end;
  snapToBeats(engine);
  rememberForBack(w, s, e);
}

void stepByBeats(Engine& engine, int direction) {
  VisibleWindow& w = engine.viewState.window;
  const int n = w.scrollStep;
  if (n <= 0 || !engine.notes.ready()) return;
  // "Back" returns to the window before the step, snap included.
  const int s0 = w.start;
  const int e0 = w.end;
  snapToBeats(engine);
  rememberForBack(w, s0, e0);
  const NoteStore& notes = engine.notes;
  const std::uint32_t first = nextLine(notes, w.firstVisible, LINE_BEAT);
  const std::uint32_t last = previousLine(notes, w.lastVisible, 0, LINE_BEAT);
  if (first >= notes.positions || last == NO_LINE) return;
  const std::uint32_t start = beatAway(notes, first, n, direction);
  const std::uint32_t end = beatAway(notes, last, n, direction);
  if (start == NO_LINE || end == NO_LINE || start >= end) return;
  setWindow(engine, static_cast<int>(start) * FRAMES_PER_POSITION - FRAMES_PER_POSITION,
            static_cast<int>(end) * FRAMES_PER_POSITION);
  rememberForBack(w, s0, e0);
}

}  // namespace quavrix
