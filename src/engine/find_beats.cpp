// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/find_beats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/beat_tracker.h"
#include "base/units.h"
#include "engine/engine.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/edit_history.h"

namespace quavrix {

namespace {

constexpr std::uint8_t BEAT_BITS = LINE_BEAT | LINE_BAR;
constexpr std::uint8_t MARKER_BITS = LINE_START | LINE_END;

// A tracked beat closer than this share of its interval to a locked line is
// the same beat: the locked line stands for it.
constexpr double LOCKED_REACH = 0.25;

struct Range {
  std::uint32_t lo = 0;
  std::uint32_t hi = 0;  // exclusive
};

Range findRange(const Engine& engine) {
  const std::uint32_t n = engine.notes.positions;
  const std::uint32_t vs = engine.cellGrid.visibleStart;
  const std::uint32_t ve = std::min(engine.cellGrid.visibleEnd, n);
  const VisibleWindow& w = engine.viewState.window;
  const bool wholeShown = w.start <= 0 && w.end >= w.total;
  if (ve <= vs || wholeShown) return {0, n};
  return {vs, ve};
}

// Whether a locked beat lies within reach of `position`.
bool nearLocked(const std::vector<std::uint32_t>& locked, std::uint32_t position, double reach) {
  const auto it = std::lower_bound(locked.begin(), locked.end(), position);
  if (it != locked.end() && *it - position < reach) return true;
  return it != locked.begin() && position - *(it - 1) < reach;
}

// The bytes the range should hold: the old beat and bar lines gone unless
// locked, the tracked ones laid. Only bytes that change are listed.
std::map<std::uint32_t, std::uint8_t> planLines(const NoteStore& notes, Range range,
                                                const std::vector<TrackedLine>& lines) {
  std::map<std::uint32_t, std::uint8_t> plan;
  std::vector<std::uint32_t> locked;
  for (std::uint32_t p = range.lo; p < range.hi; ++p) {
    const std::uint8_t byte = notes.lineMap[p];
    if (!(byte & BEAT_BITS)) continue;
    if (byte & LINE_LOCK) {
      locked.push_back(p);
      continue;
    }
    // A marker belongs to its bar line and goes with it.
    plan[p] = static_cast<std::uint8_t>(byte & ~(BEAT_BITS | MARKER_BITS));
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::uint32_t p = lines[i].position;
    if (p < range.lo || p >= range.hi) continue;
    const std::uint32_t next = i + 1 < lines.size() ? lines[i + 1].position : p;
    const std::uint32_t before = i > 0 ? lines[i - 1].position : p;
    const double interval = std::max(next - p, p - before);
    if (nearLocked(locked, p, LOCKED_REACH * interval)) continue;
    const auto old = plan.find(p);
    const std::uint8_t base = old != plan.end() ? old->second : notes.lineMap[p];
    plan[p] = static_cast<std::uint8_t>((base & ~LINE_DIVISION) | LINE_BEAT |
                                        (lines[i].bar ? LINE_BAR : 0));
  }
  for (auto it = plan.begin(); it != plan.end();)
    it = it->second == notes.lineMap[it->first] ? plan.erase(it) : std::next(it);
  return plan;
}

// With no START marker, START goes on the first bar line of the range; with
// no END marker, END on its last bar line after the START marker.
void placeMarkers(NoteStore& notes, Range range, bool record) {
  syncMarkers(notes);
  if (notes.startMarker == 0) {
    const std::uint32_t first = nextLine(notes, range.lo, LINE_BAR);
    if (first < range.hi && (notes.endMarker == 0 || first < notes.endMarker)) {
      setLine(notes, first, notes.lineMap[first] | LINE_START, record);
      notes.startMarker = first;
    }
  }
  if (notes.endMarker == 0 && range.hi > 0) {
    const std::uint32_t last = previousLine(notes, range.hi - 1, range.lo, LINE_BAR);
    if (last != NO_LINE && last > notes.startMarker) {
      setLine(notes, last, notes.lineMap[last] | LINE_END, record);
      notes.endMarker = last;
    }
  }
}

// The tempo and beats-in-bar texts of the panel, measured over the range.
void showTempo(Engine& engine, Range range) {
  NoteStore& notes = engine.notes;
  if (!notes.intervalFixed) notes.beatInterval = measureInterval(notes, range.lo, range.hi);
  engine.viewState.tempoText = intervalText(notes);
  const std::uint32_t lastBar =
      range.hi > 0 ? previousLine(notes, range.hi - 1, range.lo, LINE_BAR) : NO_LINE;
  engine.viewState.beatsInBarText =
      beatsInBarText(lastBar == NO_LINE ? 0 : beatsInBar(notes, range.lo, lastBar));
}

}  // namespace

std::vector<TrackedLine> trackedLines(const BeatTrack& track, std::uint32_t positions) {
  std::vector<TrackedLine> lines;
  std::size_t bar = 0;
  for (const double seconds : track.beats) {
    const double frame = seconds * SAMPLE_RATE + LEAD_IN_FRAMES;
    const auto p = static_cast<std::uint32_t>(std::lround(frame / FRAMES_PER_POSITION));
    while (bar < track.downbeats.size() && track.downbeats[bar] < seconds) ++bar;
    const bool isBar = bar < track.downbeats.size() && track.downbeats[bar] == seconds;
    if (p >= positions || (!lines.empty() && p <= lines.back().position)) continue;
    lines.push_back({p, isBar});
  }
  return lines;
}

const BeatTrack& recordingBeats(Engine& engine) {
  Recording& rec = engine.recording;
  if (!rec.beatsTracked) {
    rec.beatTrack = trackBeats(rec);
    rec.beatsTracked = true;
  }
  return rec.beatTrack;
}

int findBeats(Engine& engine) {
  NoteStore& notes = engine.notes;
  if (!notes.ready() || !engine.recording.hasSamples()) return -1;
  const Range range = findRange(engine);
  const std::vector<TrackedLine> lines = trackedLines(recordingBeats(engine), notes.positions);
  const std::map<std::uint32_t, std::uint8_t> plan = planLines(notes, range, lines);

  // The grid history keeps about a thousand changes of one operation; a
  // larger one could only be taken back in part, which would leave a grid
  // that was never there. Say so and let the person choose.
  bool record = true;
  if (plan.size() + 2 >= static_cast<std::size_t>(HISTORY_TRIM_KEEP)) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "FIND BEATS\n %zu lines change, more than Undo can take back.\n"
                  " Find the beats without Undo ?",
                  plan.size());
    if (!engine.prompter->ask(text)) return -1;
    record = false;
    clearGridHistory(notes);
  }
  notes.gridHistory.groupStart = 1;
  for (const auto& [position, byte] : plan) setLine(notes, position, byte, record);
  placeMarkers(notes, range, record);
  refreshGrid(notes, engine.cellGrid);
  showTempo(engine, range);
  int laid = 0;
  for (const TrackedLine& line : lines)
    laid += line.position >= range.lo && line.position < range.hi &&
            (notes.lineMap[line.position] & LINE_BEAT) != 0;
  return laid;
}

void seedTrackedBeats(NoteStore& notes, const BeatTrack& track) {
  if (notes.lineMap.empty()) return;
  std::fill(notes.lineMap.begin(), notes.lineMap.end(), 0);
  notes.startMarker = 0;
  notes.endMarker = 0;
  for (const TrackedLine& line : trackedLines(track, notes.positions))
    notes.lineMap[line.position] = static_cast<std::uint8_t>(LINE_BEAT | (line.bar ? LINE_BAR : 0));
  // A seeded grid is where editing starts, not an edit.
  const int changed = notes.gridChanged;
  const int dirty = notes.autosaveDirty;
  placeMarkers(notes, {0, notes.positions}, false);
  notes.gridChanged = changed;
  notes.autosaveDirty = dirty;
}

void seedGrid(Engine& engine) {
  NoteStore& notes = engine.notes;
  if (engine.settings.values.gridOnOpening == GRID_FROM_BEATS) {
    seedTrackedBeats(notes, recordingBeats(engine));
  } else {
    seedBeats(notes, engine.recording.onsetMarks);
  }
  refreshGrid(notes, engine.cellGrid);
  if (engine.settings.values.gridOnOpening == GRID_FROM_BEATS)
    showTempo(engine, {0, notes.positions});
}

}  // namespace quavrix
