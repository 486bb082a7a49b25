// SPDX-License-Identifier: GPL-3.0-or-later
// What tells the person where they are: the playhead while playing, the
// number of every bar beside its bar line, the key names of the C rows and
// of the key setting's rows along the roll's bottom edge, and octave bars
// that follow the keys shown.

#include <algorithm>
#include <string>

#include "base/units.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "score/bar_numbers.h"
#include "score/beat_grid.h"
#include "ui/draw/draw_steps.h"
#include "ui/model/visible_window.h"

namespace quavrix::draw {

namespace {

constexpr Colour NAME_TEXT{0.92f, 0.92f, 0.92f, 1};
constexpr Colour NAME_BACKING{0, 0, 0, 0.6f};

float fx(std::int32_t v) {
  return static_cast<float>(v);
}

// The open beat-editor panel lies over the roll; what is drawn after it must
// leave it alone.
bool panelShown(const View& view) {
  return view.engine.notes.editor.open && !view.input.panelHidden;
}

bool overlaps(const RectF& a, const RectF& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Height of a line of the small text format, in either layout.
float textLine(const View& view) {
  return view.rects.small ? 16.0f : 20.0f;
}

std::string keyName(const ViewState& v, std::uint32_t row) {
  // As the note name under the mouse: the key setting's name of the row and
  // the octave of its key, so that MIDI note 60 is C4 when the setting is C.
  const int midi = static_cast<int>(row) + 1 + KEY_TO_MIDI;
  return v.names[row % 12] + std::to_string(midi / 12 - 1);
}

// The y of the play position in the time band.
float playheadY(const Engine& engine) {
  const std::int64_t index = transportStatus(engine).position;
  return positionY(engine, static_cast<double>(index) / FRAMES_PER_POSITION);
}

}  // namespace

void playhead(View& view, Canvas& canvas) {
  const Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  if (!engine.viewState.playing || engine.viewState.window.span == 0) return;
  const float y = playheadY(engine);
  if (y < l.bandTop || y > l.bandBottom) return;
  const LinePen& pen = view.pass.colours.playhead;
  const float left = fx(l.marginStrip2.left);
  const float right = fx(l.rollArea.right);
  const RectF panel = toRectF(l.beatEditorPanelArea);
  if (panelShown(view) && y >= panel.top && y < panel.bottom) {
    canvas.line(left, y, panel.left, y, pen.width, pen.colour);
    canvas.line(panel.right, y, right, y, pen.width, pen.colour);
    return;
  }
  canvas.line(left, y, right, y, pen.width, pen.colour);
}

void barNumbers(View& view, Canvas& canvas) {
  const Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  const VisibleWindow& w = engine.viewState.window;
  const CellGrid& grid = engine.cellGrid;
  const NoteStore& notes = engine.notes;
  if (grid.columnOverflow || w.span == 0 || !notes.ready()) return;
  const std::uint32_t origin = firstBar(notes);
  if (origin == NO_LINE) return;
  const RectF strip = toRectF(l.marginStrip2);
  const float height = textLine(view);
  int bar = 0;
  // Numbers that would run into the one above are left out: at a wide zoom
  // every bar still counts, but only every few carry a legible number.
  float lastShown = -1e9f;
  const std::uint32_t lines = grid.columnCount > 0 ? grid.columnCount - 1 : 0;
  for (std::uint32_t i = 0; i < lines; ++i) {
    const std::uint32_t p = grid.columnPositions[i];
    if (p < w.firstVisible || p == 0 || p > w.lastVisible || p >= notes.positions) break;
    if (p < origin || !(notes.lineMap[p] & LINE_BAR)) continue;
    // The first bar in view is counted once; every later one is the next.
    bar = bar == 0 ? barBeatAt(notes, p).bar : bar + 1;
    const float y = positionY(engine, p);
    if (y - lastShown < height) continue;
    lastShown = y;
    // Above its line, or below it where the strip ends above.
    const float top = y - height >= strip.top ? y - height : y;
    canvas.text(std::to_string(bar), {strip.left, top, strip.right, top + height},
                TextFormat::Small, colour::Yellow);
  }
}

RectF octaveBar(const View& view, std::uint32_t octave) {
  const CellGrid& grid = view.engine.cellGrid;
  const ScreenRect& fixed = view.rects.octaveBars[std::min<std::uint32_t>(octave, 6)];
  // With every key shown the bars stand where the layout puts them; with
  // fewer, wider keys each bar spans the stripes of its own twelve keys.
  if (grid.firstKeyRow == 0 && grid.keyRows == KEY_COUNT) return toRectF(fixed);
  const std::uint32_t first = octave * 12;
  const std::uint32_t last = std::min(first + 11, grid.firstKeyRow + grid.keyRows - 1);
  if (first < grid.firstKeyRow || last < first) return {};
  const ScreenRect& low = grid.keyRects[first - grid.firstKeyRow];
  const ScreenRect& high = grid.keyRects[last - grid.firstKeyRow];
  return {fx(low.left), fx(fixed.top), fx(high.right), fx(fixed.bottom)};
}

void keyNames(View& view, Canvas& canvas) {
  const Engine& engine = view.engine;
  const ViewState& v = engine.viewState;
  const CellGrid& grid = engine.cellGrid;
  const float height = textLine(view);
  const float base = fx(view.rects.octaveBars[0].top);
  const float half = view.rects.small ? 14.0f : 18.0f;
  const RectF panel = toRectF(engine.layout.beatEditorPanelArea);
  for (std::uint32_t r = 0; r < grid.keyRows; ++r) {
    const std::uint32_t row = grid.firstKeyRow + r;
    if (row >= KEY_COUNT) break;
    const bool marked = v.keyClass[row] == KEY_TONIC;
    if (!marked && row % 12 != 0) continue;
    // The marked rows sit on the octave bars; the rows the key setting names
    // first (the same rows while it is C) one line higher, so that two
    // neighbouring names never cover each other.
    const float bottom = marked ? base : base - height;
    const ScreenRect& key = grid.keyRects[r];
    const float centre = (fx(key.left) + fx(key.right)) / 2.0f;
    const float reach = std::max(half, (fx(key.right) - fx(key.left)) / 2.0f);
    const RectF box{centre - reach, bottom - height, centre + reach, bottom};
    if (panelShown(view) && overlaps(box, panel)) continue;
    canvas.fill(box, NAME_BACKING);
    canvas.text(keyName(v, row), box, TextFormat::Small, NAME_TEXT);
  }
}

}  // namespace quavrix::draw
