// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/draw/drawing_pass.h"

#include <algorithm>
#include <cmath>

#include "analysis/frequency_peaks.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "ui/draw/draw_steps.h"
#include "ui/model/control_code.h"
#include "ui/model/visible_window.h"

namespace quavrix {

namespace draw {

namespace {

using namespace colour;

float fx(std::int32_t v) {
  return static_cast<float>(v);
}

}  // namespace

RectF rectOf(const View& view, int code) {
  return toRectF(view.rects[code]);
}

void overviewAndZoom(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  const ViewLayout& l = engine.layout;
  const VisibleWindow& w = v.window;
  const Interaction& in = view.input;
  if (!v.dirty.overview && !v.dirty.zoom) return;
  if (v.dirty.overview) canvas.fill(toRectF(l.overviewBand), Grey10);
  if (v.dirty.zoom) canvas.fill(toRectF(l.zoomBand), Grey15);
  const float zl = fx(l.zoomColumn.left);
  const float zr = fx(l.zoomColumn.right);
  canvas.line(zl, l.bandTop, zr, l.bandTop, 1, Yellow);
  canvas.line(zl, l.bandBottom, zr, l.bandBottom, 1, Yellow);

  const float ol = fx(l.overviewColumn.left);
  const float orr = fx(l.overviewColumn.right);
  const float otop = fx(l.overviewColumn.top);
  const float perPixel = static_cast<float>(std::max(1, w.samplesPerPixel));
  const float windowTop = otop + static_cast<float>(w.start) / perPixel;
  const float windowBottom = otop + static_cast<float>(w.end) / perPixel;
  if (v.dirty.overview) {
    // The window's tint goes under the waveform, which stays in its own colours.
    canvas.fill({ol, windowTop, orr, windowBottom}, Pink30);
    const int rows = static_cast<int>(v.overviewLeft.size()) - 128;
    for (int i = 0; i < rows; ++i) {
      const float y = otop + static_cast<float>(i) / engine.columnFactor;
      canvas.line(l.overviewCentreX, y, v.overviewLeft[i], y, 1.5f, LeftWave);
      canvas.line(l.overviewCentreX, y, v.overviewRight[i], y, 1.5f, RightWave);
    }
  }
  const bool dragging = w.anyOverviewDrag();
  if (v.dirty.overview && (dragging || in.overviewHoverTop || in.overviewHoverBottom)) {
    canvas.line(ol, windowTop, orr, windowTop, 1, Lime);
    canvas.line(ol, windowBottom, orr, windowBottom, 1, Red);
  }
  if (v.dirty.zoom && dragging) {
    canvas.line(zl, l.bandTop, zr, l.bandTop, 1, Lime);
    canvas.line(zl, l.bandBottom, zr, l.bandBottom, 1, Red);
  }
  if (v.dirty.zoom && w.zoomEnd - w.zoomStart > 16) {
    const int rows = static_cast<int>(v.zoomLeft.size()) - 128;
    const float ztop = fx(l.zoomColumn.top);
    const float c = l.zoomCentreX;
    for (int i = 0; i < rows; ++i) {
      const float y = ztop + static_cast<float>(i) / engine.columnFactor;
      canvas.line(c - 5, y, v.zoomLeft[i], y, 1, LeftWave);
      canvas.line(c + 5, y, v.zoomRight[i], y, 1, RightWave);
      if (v.zoomOnset[i] != c) canvas.line(c, y, v.zoomOnset[i], y, 1, Red);
    }
  }
}

void roll(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  const ViewState& v = engine.viewState;
  const CellGrid& grid = engine.cellGrid;
  const ColourSet& c = view.pass.colours;
  canvas.fill(toRectF(l.marginStrip1), MarginTeal);
  canvas.fill(toRectF(l.marginStrip2), MarginNavy15);
  canvas.fill(toRectF(l.marginStrip3), MarginNavy20);
  canvas.fill(toRectF(l.rollArea), Black);
  for (std::uint32_t r = 0; r < grid.keyRows; ++r) {
    const std::uint32_t row = grid.firstKeyRow + r;
    const std::uint8_t kind = row < KEY_COUNT ? v.keyClass[row] : std::uint8_t{KEY_WHITE};
    const Colour key = kind == KEY_BLACK ? c.blackKey : kind == KEY_TONIC ? c.tonicKey : c.whiteKey;
    canvas.fill(toRectF(grid.keyRects[r]), key);
  }
  const std::uint32_t firstOctave = grid.firstKeyRow / 12;
  const std::uint32_t endOctave =
      std::min<std::uint32_t>((grid.firstKeyRow + grid.keyRows) / 12, 7);
  for (std::uint32_t o = firstOctave; o < endOctave; ++o) {
    canvas.fill(octaveBar(view, o), Orange);
  }
  canvas.line(fx(l.zoomColumn.left), l.bandCentre, fx(l.zoomColumn.right), l.bandCentre, 2,
              view.input.zoomCentreHighlighted ? Yellow : Shade40);
}

void gridLines(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  const VisibleWindow& w = engine.viewState.window;
  const CellGrid& grid = engine.cellGrid;
  const NoteStore& notes = engine.notes;
  const ColourSet& c = view.pass.colours;
  if (grid.columnOverflow || w.span == 0 || !notes.ready()) return;
  const bool playing = engine.viewState.playing != 0;
  const TransportStatus status = transportStatus(engine);
  const float markLeft = fx(l.marginStrip2.left);
  const float lineLeft = fx(l.marginStrip3.left);
  const float right = fx(l.rollArea.right);
  const std::uint32_t lines = grid.columnCount > 0 ? grid.columnCount - 1 : 0;
  for (std::uint32_t i = 0; i < lines; ++i) {
    const std::uint32_t p = grid.columnPositions[i];
    if (p < w.firstVisible || p == 0 || p > w.lastVisible || p >= notes.positions) break;
    const std::uint8_t flags = notes.lineMap[p];
    const float y = positionY(engine, p);
    const bool lastBeat = playing && p == status.lastBeat;
    if (flags & LINE_BEAT) {
      canvas.line(markLeft, y, fx(l.rollArea.left), y, 2, (flags & LINE_LOCK) ? Lime : Red);
      canvas.line(lineLeft, y, right, y, lastBeat ? c.beat.wide : c.beat.width, c.beat.colour);
    }
    if (flags & LINE_BAR) {
      if (flags & LINE_START) {
        canvas.line(markLeft, y, right, y, 3.5f, Orange);
      } else if (flags & LINE_END) {
        canvas.line(markLeft, y, right, y, 3.5f, Lime);
      } else {
        canvas.line(fx(l.marginStrip1.left), y, markLeft, y, 3.5f, Yellow);
        canvas.line(lineLeft, y, right, y, lastBeat ? c.bar.wide : c.bar.width, c.bar.colour);
      }
    } else if (!(flags & LINE_BEAT) && (flags & LINE_DIVISION)) {
      const bool wide = playing && p == status.lastDivision && p != status.lastBeat;
      canvas.line(lineLeft, y, right, y, wide ? c.division.wide : c.division.width,
                  c.division.colour);
    }
  }
}

void selection(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const ViewState& v = engine.viewState;
  if (v.selectionEnd <= v.selectionStart) return;
  const ViewLayout& l = engine.layout;
  const float top = std::max(l.bandTop, positionY(engine, v.selectionStart));
  const float bottom = std::min(l.bandBottom, positionY(engine, v.selectionEnd));
  if (bottom <= top) return;
  canvas.fill({fx(l.marginStrip2.left), top, fx(l.marginStrip3.left), bottom}, Lavender50);
}

void strobeBeats(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const StrobeState& s = engine.strobe;
  const VisibleWindow& w = engine.viewState.window;
  const ViewLayout& l = engine.layout;
  if (s.mode == StrobeMode::Off || !s.allocated) return;
  const float left = fx(l.marginStrip2.left);
  for (std::int32_t k = 0; k < s.strobeCount; ++k) {
    const auto p = static_cast<std::uint32_t>(s.strobeList[k]);
    if (p < w.firstVisible || p > w.lastVisible) continue;
    const float y = positionY(engine, p);
    canvas.line(left, y, left + 10, y, 3, Lime);
  }
}

void notes(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const CellGrid& grid = engine.cellGrid;
  const ColourSet& c = view.pass.colours;
  if (grid.columnCount < 2) return;
  const std::uint32_t columns = std::min<std::uint32_t>(grid.columnCount - 1, CELL_COLUMNS);
  for (int track = 1; track <= 7; ++track) {
    if (!trackOutput(engine, track)) continue;
    for (std::uint32_t r = 0; r < grid.keyRows; ++r) {
      const int row = static_cast<int>(grid.firstKeyRow + r);
      if (row >= KEY_COUNT) break;
      const ScreenRect& key = grid.keyRects[r];
      const std::uint8_t* cells = &grid.cells[CellGrid::index(track, row, 0)];
      for (std::uint32_t col = 0; col < columns; ++col) {
        if (cells[col] == 0) continue;
        const ScreenRect& band = grid.columnRects[col];
        canvas.fill({fx(key.left), fx(band.top), fx(key.right), fx(band.bottom)},
                    (cells[col] & CELL_START) ? c.head[track] : c.tail[track]);
      }
    }
  }
}

void spectrumCurve(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  const Recording& rec = engine.recording;
  const ViewLayout& l = engine.layout;
  if (!v.guessing || rec.blockCount < 2) return;
  const std::int64_t position = std::max<std::int64_t>(0, transportStatus(engine).position);
  std::int64_t row = position / SPECTRUM_ROW;
  if (position + 16384 > static_cast<std::int64_t>(rec.capacity)) row = 0;
  // A stale position or a recording without a full block has no row to show.
  if (row >= rec.blockCount) return;
  SpectrumMap& map = v.spectrumMap;
  const std::uint32_t first = map.first;
  const std::uint32_t last = std::min<std::uint32_t>(map.bound, 2034);
  if (last <= first) return;
  const float gl = v.guessLeft ? v.spectrumGain : 0.0f;
  const float gr = v.guessRight ? v.spectrumGain : 0.0f;
  const bool difference = channelSwitches(engine).rightInverted != 0;
  const float top = fx(l.rollArea.top) + 2;
  const float bottom = fx(l.rollArea.bottom);
  const int r = static_cast<int>(row);
  for (std::uint32_t hz = first; hz < last; ++hz) {
    const float a = gl * spectrumValue(rec, 0, r, static_cast<int>(hz));
    const float b = gr * spectrumValue(rec, 1, r, static_cast<int>(hz));
    const float level = difference ? std::fabs(b - a) : std::max(a, b);
    map.level[hz] = std::max(top, bottom - level);
  }
  const ColourSet& c = view.pass.colours;
  canvas.columns(std::span<const float>(map.x.data() + first, last - first),
                 std::span<const float>(map.level.data() + first, last - first), bottom,
                 c.guessingWidth, c.guessing);
}

void noteName(View& view, Canvas& canvas) {
  const ViewState& v = view.engine.viewState;
  const RectF box = toRectF(view.rects.box(Box::NoteName));
  canvas.fill(box, Grey20Half);
  canvas.text(v.noteNameText1 + v.noteNameText2, box, TextFormat::Large, Lime);
}

}  // namespace draw

TextSizes textSizes(bool small) {
  return small ? TextSizes{32, 18, 14} : TextSizes{64, 22, 18};
}

void drawPass(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  PassMemory& pass = view.pass;
  if (!pass.oneTimeDone) {
    if (engine.busy) {
      if (!pass.picturesLoaded) pass.picturesLoaded = canvas.loadPictures();
      if (pass.picturesLoaded && !pass.startPictureDrawn) {
        canvas.picture(Picture::Start, toRectF(engine.layout.clientArea));
        pass.startPictureDrawn = true;
      }
      return;
    }
    if (!pass.picturesLoaded) {
      pass.picturesLoaded = canvas.loadPictures();
      if (!pass.picturesLoaded) return;
    }
    const TextSizes sizes = textSizes(v.smallLayout != 0);
    canvas.createTextFormats(sizes.huge, sizes.large, sizes.small);
    pass.oneTimeDone = true;
    v.dirty.topBar = true;
    v.dirty.bottomBar = true;
    v.dirty.overview = true;
    v.dirty.zoom = true;
  }
  // While another recording opens the window shows its progress instead.
  if (engine.busy) return;
  if (pass.colourRevision != engine.settings.colourRevision) {
    pass.colours = colourSet(engine.settings.values);
    pass.colourRevision = engine.settings.colourRevision;
  }

  v.passRunning = 1;
  draw::overviewAndZoom(view, canvas);
  draw::roll(view, canvas);
  draw::gridLines(view, canvas);
  if (!engine.notes.editor.open) draw::selection(view, canvas);
  draw::strobeBeats(view, canvas);
  draw::notes(view, canvas);
  draw::suggestions(view, canvas);
  // The small layout's panel reaches over both bars: once it closes or steps
  // aside, they are drawn again over what it left there.
  const std::uint8_t panelShown = !engine.notes.editor.open ? 0 : view.input.panelHidden ? 2 : 1;
  if (panelShown != pass.panelShown) {
    v.dirty.topBar = v.dirty.bottomBar = true;
    pass.panelShown = panelShown;
  }
  if (v.dirty.topBar) draw::topBar(view, canvas);
  if (v.dirty.bottomBar) draw::bottomBar(view, canvas);
  if (engine.notes.editor.open) draw::panel(view, canvas);
  draw::spectrumCurve(view, canvas);
  draw::barNumbers(view, canvas);
  draw::keyNames(view, canvas);
  draw::playhead(view, canvas);
  draw::noteName(view, canvas);

  v.passRunning = 0;
  if (!v.dirty.overviewHover) v.dirty.overview = false;
  v.dirty.zoom = false;
  v.dirty.topBar = false;
  v.dirty.bottomBar = false;
}

}  // namespace quavrix
