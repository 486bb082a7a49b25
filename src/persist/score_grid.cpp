// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/score_grid.h"

#include <algorithm>
#include <numeric>

namespace quavrix {

namespace {

struct GridPoint {
  std::uint32_t position = 0;
  std::int64_t time = 0;
};

// Measures from the bar lines among beats 0..beatCount-1; the beats before
// the first bar line are a pickup when they are fewer than the bar after them.
std::vector<GridMeasure> measuresFromBars(const std::vector<bool>& bar, int beatCount) {
  std::vector<int> starts;
  for (int i = 0; i < beatCount; ++i) {
    if (bar[i]) starts.push_back(i);
  }
  std::vector<GridMeasure> measures;
  if (starts.empty()) {
    for (int b = 0; b < beatCount; b += BEATS_WITHOUT_BARS) {
      measures.push_back({b, std::min(BEATS_WITHOUT_BARS, beatCount - b), false, 0.0f});
    }
    return measures;
  }
  if (starts.front() > 0) measures.push_back({0, starts.front(), false, 0.0f});
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const int next = i + 1 < starts.size() ? starts[i + 1] : beatCount;
    measures.push_back({starts[i], next - starts[i], false, 0.0f});
  }
  if (starts.front() > 0 && measures.size() > 1 && measures[0].beats < measures[1].beats) {
    measures[0].pickup = true;
  }
  return measures;
}

}  // namespace

ExportRange scoreRange(const NoteStore& notes) {
  ExportRange range{0, notes.positions == 0 ? 0 : notes.positions - 1};
  if (notes.startMarker != 0 && notes.startMarker < range.end) range.start = notes.startMarker;
  if (notes.endMarker > range.start && notes.endMarker < range.end) range.end = notes.endMarker;
  return range;
}

bool buildScoreGrid(const NoteStore& notes, const SettingValues& values, ExportRange range,
                    ScoreGrid& grid, std::string& reason) {
  grid = ScoreGrid{};
  if (notes.positions == 0 || notes.lineMap.empty() || notes.slots.empty() ||
      range.end >= notes.positions || range.end < range.start) {
    reason = "there is no grid to write";
    return false;
  }
  std::vector<std::uint32_t> beatPositions;
  std::vector<bool> bar;
  std::vector<std::uint32_t> divisions;  // positions of the division lines inside the beats
  for (std::uint32_t p = range.start; p <= range.end; ++p) {
    const std::uint8_t flags = notes.lineMap[p];
    if ((flags & LINE_BEAT) != 0) {
      beatPositions.push_back(p);
      bar.push_back((flags & LINE_BAR) != 0);
    } else if ((flags & LINE_DIVISION) != 0 && !beatPositions.empty()) {
      divisions.push_back(p);
    }
  }
  if (beatPositions.size() < 2) {
    reason = "the range needs two beat lines at least";
    return false;
  }
  const int beatCount = static_cast<int>(beatPositions.size()) - 1;
  grid.beats.resize(static_cast<std::size_t>(beatCount));
  std::size_t d = 0;
  for (int i = 0; i < beatCount; ++i) {
    GridBeat& beat = grid.beats[static_cast<std::size_t>(i)];
    beat.position = beatPositions[static_cast<std::size_t>(i)];
    while (d < divisions.size() && divisions[d] < beatPositions[static_cast<std::size_t>(i) + 1]) {
      ++beat.parts;
      ++d;
    }
    grid.unitsPerBeat = std::lcm(grid.unitsPerBeat, static_cast<std::int64_t>(beat.parts));
    if (beat.parts > MAX_PARTS_PER_BEAT || grid.unitsPerBeat > MAX_UNITS_PER_BEAT) {
      reason = "the beats are divided too finely or too unevenly to write";
      return false;
    }
  }

  // Every grid line with its time, the closing beat last.
  std::vector<GridPoint> points;
  d = 0;
  for (int i = 0; i < beatCount; ++i) {
    const GridBeat& beat = grid.beats[static_cast<std::size_t>(i)];
    points.push_back({beat.position, grid.beatStart(i)});
    const std::int64_t step = grid.unitsPerBeat / beat.parts;
    for (int part = 1; part < beat.parts; ++part, ++d) {
      points.push_back({divisions[d], grid.beatStart(i) + part * step});
    }
  }
  const std::uint32_t closing = beatPositions.back();
  points.push_back({closing, grid.beatStart(beatCount)});

  grid.measures = measuresFromBars(bar, beatCount);
  for (GridMeasure& m : grid.measures) {
    const std::uint32_t span = beatPositions[static_cast<std::size_t>(m.firstBeat + m.beats)] -
                               beatPositions[static_cast<std::size_t>(m.firstBeat)];
    m.tempo = static_cast<float>(m.beats * BPM_FACTOR / span);
  }

  const auto after = [&](std::uint32_t position) {
    return std::upper_bound(points.begin(), points.end(), position,
                            [](std::uint32_t p, const GridPoint& g) { return p < g.position; });
  };
  for (std::uint32_t s = beatPositions.front(); s < closing; ++s) {
    const std::int32_t word = notes.slots[s];
    if (word <= 0) continue;  // empty or deleted
    const int track = noteTrack(word);
    const int key = noteKey(word);
    if (track < FIRST_SETTING_TRACK || track > LAST_SETTING_TRACK ||
        values.midiOutput[track] == 0 || key < 1 || key + KEY_TO_MIDI > 127) {
      continue;
    }
    // A note belongs to the line its slot run starts on, and lasts to the
    // first line after its end position.
    const auto line = after(s) - 1;
    const std::uint64_t endPosition = static_cast<std::uint64_t>(s) + noteDuration(word);
    const auto endLine =
        endPosition >= closing ? points.end() - 1 : after(static_cast<std::uint32_t>(endPosition));
    grid.notes.push_back({track, key + KEY_TO_MIDI, line->time, endLine->time});
  }
  std::stable_sort(grid.notes.begin(), grid.notes.end(), [](const GridNote& a, const GridNote& b) {
    if (a.start != b.start) return a.start < b.start;
    if (a.track != b.track) return a.track < b.track;
    return a.midiKey < b.midiKey;
  });
  return true;
}

}  // namespace quavrix
