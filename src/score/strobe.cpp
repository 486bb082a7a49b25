// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/strobe.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "base/prompter.h"
#include "score/beat_grid.h"

namespace quavrix {

namespace {

std::string tempoText(float tempo) {
  char text[32];
  std::snprintf(text, sizeof text, "%3.2f", static_cast<double>(tempo));
  return text;
}

void clearTrain(StrobeState& strobe) {
  std::fill(strobe.strobeMap.begin(), strobe.strobeMap.end(), 0);
  std::fill(strobe.strobeList.begin(), strobe.strobeList.end(), 0);
  strobe.strobeCount = 0;
}

// Moves the first beat of the window by `step` and every later beat or
// division line of the window with it; lines that would leave the window or
// land on another line stay where they are.
void shiftFromStartingBeat(NoteStore& notes, std::uint32_t vs, std::uint32_t ve, int step) {
  if (vs >= ve) return;
  const std::uint32_t start = nextLine(notes, vs, LINE_BEAT);
  if (start >= ve || start >= notes.positions || start == 0) return;
  const std::int64_t target = static_cast<std::int64_t>(start) + step;
  if (step < 0 && target < static_cast<std::int64_t>(vs) + 1) return;
  if (step > 0 && target > static_cast<std::int64_t>(ve) - 1) return;
  const std::uint32_t to = static_cast<std::uint32_t>(target);
  if (to >= notes.positions || notes.lineMap[to] != 0) return;
  if (!moveLine(notes, start, to)) return;

  const std::uint32_t floor = std::max(start, to) + 1;
  const std::uint32_t last = std::min(ve, notes.positions) - 1;
  const auto shiftOne = [&](std::uint32_t line) {
    const std::int64_t dest = static_cast<std::int64_t>(line) + step;
    if (dest < floor || dest > last) return;
    if (notes.lineMap[dest] != 0) return;
    moveLine(notes, line, static_cast<std::uint32_t>(dest));
  };
  if (step < 0) {
    for (std::uint32_t p = floor; p <= last; ++p) {
      if (notes.lineMap[p] & LINE_VISIBLE) shiftOne(p);
    }
  } else {
    for (std::uint32_t p = last; p >= floor; --p) {
      if (notes.lineMap[p] & LINE_VISIBLE) shiftOne(p);
    }
  }
  rebuildLineIndex(notes);
}

void convertTrain(StrobeState& strobe, NoteStore& notes, CellGrid& grid) {
  if (strobe.mode == StrobeMode::Off) return;
  notes.gridHistory.groupStart = 1;
  const std::uint32_t end = std::min(strobe.rangeEnd, notes.positions);
  bool trainStarted = false;
  for (std::uint32_t p = strobe.rangeStart; p < end; ++p) {
    const bool onTrain = p < strobe.strobeMap.size() && strobe.strobeMap[p] != 0;
    trainStarted = trainStarted || onTrain;
    const std::uint8_t byte = notes.lineMap[p];
    if (byte & LINE_LOCK) continue;
    if (onTrain) {
      if (byte == 0) setLine(notes, p, LINE_BEAT, true);
    } else if (trainStarted && byte != 0) {
      setLine(notes, p, 0, true);
    }
  }
  notes.autosaveDirty = 1;
  syncMarkers(notes);
  refreshGrid(notes, grid);
}

}  // namespace

int allocateStrobe(StrobeState& strobe, const NoteStore& notes, Prompter& prompter) {
  strobe.allocated = 0;
  strobe.capacity = notes.positions;
  std::vector<std::uint8_t>().swap(strobe.strobeMap);
  std::vector<std::int32_t>().swap(strobe.strobeList);
  strobe.strobeCount = 0;
  try {
    strobe.strobeMap.assign(static_cast<std::size_t>(notes.positions) + POSITION_SLACK, 0);
    strobe.strobeList.assign(static_cast<std::size_t>(strobe.listCapacity) + 8, 0);
  } catch (const std::bad_alloc&) {
    std::vector<std::uint8_t>().swap(strobe.strobeMap);
    std::vector<std::int32_t>().swap(strobe.strobeList);
    prompter.error("INIT strobo \n Fatal ERR : insufficient memory ");
    return 0;
  }
  strobe.allocated = 1;
  return 1;
}

void layStrobe(StrobeState& strobe, const NoteStore& notes, Prompter& prompter, float x,
               std::uint32_t start, std::uint32_t end, std::uint32_t search) {
  if (strobe.mode == StrobeMode::Off || end <= start || strobe.capacity < end) return;
  if (notes.positions < end) return;
  strobe.rangeStart = start;
  strobe.rangeEnd = end;
  const std::uint32_t first = nextLine(notes, start, LINE_BEAT);
  if (search == 0 || first - start >= search || first == 0 || first >= end) {
    prompter.error("STROBO\n Please, append a beat as a STARTING BEAT.");
    return;
  }
  if (strobe.allocated) clearTrain(strobe);

  strobe.strobeInterval =
      std::clamp(strobe.strobeInterval * (1.0f + x), MIN_INTERVAL, MAX_INTERVAL);
  strobe.strobeTempo = static_cast<float>(BPM_FACTOR / strobe.strobeInterval);
  strobe.tempoText = tempoText(strobe.strobeTempo);

  const double interval = strobe.strobeInterval;
  std::int64_t count = static_cast<std::int64_t>((end - first) / interval);
  if (strobe.mode == StrobeMode::Start) ++count;
  // A long window would lay more beats than the list holds: the train stops there.
  count = std::min<std::int64_t>(count, strobe.listCapacity);
  if (!strobe.allocated) return;
  for (std::int64_t j = 0; j < count; ++j) {
    std::uint32_t p = static_cast<std::uint32_t>(static_cast<double>(j) * interval + first);
    if (p == 0) p = 1;
    if (p < strobe.strobeMap.size()) strobe.strobeMap[p] = STROBE_BEAT;
    strobe.strobeList[j] = static_cast<std::int32_t>(p);
  }
  strobe.strobeCount = static_cast<std::int32_t>(count);
}

void strobeRate(StrobeState& strobe, const NoteStore& notes, const CellGrid& grid,
                Prompter& prompter, int command, float y, float centreY, float halfHeight) {
  if (halfHeight <= 0.0f) return;
  const float scale = command == STROBE_RATE_X20 ? 20.0f : 1.0f;
  const float x = std::clamp((y - centreY) * scale / halfHeight / 200.0f, -20.0f, 20.0f);
  const std::uint32_t vs = grid.visibleStart;
  const std::uint32_t ve = grid.visibleEnd;
  layStrobe(strobe, notes, prompter, x, vs, ve, ve > vs ? ve - vs : 0);
}

void strobeCommand(StrobeState& strobe, NoteStore& notes, CellGrid& grid, Prompter& prompter,
                   int command) {
  const std::uint32_t vs = grid.visibleStart;
  const std::uint32_t ve = grid.visibleEnd;
  const std::uint32_t span = ve > vs ? ve - vs : 0;
  switch (command) {
    case STROBE_UP_LARGE:
    case STROBE_DOWN_LARGE:
    case STROBE_UP_SMALL:
    case STROBE_DOWN_SMALL: {
      // The small steps are 5 up and 4 down.
      static constexpr int STEPS[] = {-13, 13, -5, 4};
      shiftFromStartingBeat(notes, vs, ve, STEPS[command - STROBE_UP_LARGE]);
      refreshGrid(notes, grid);
      layStrobe(strobe, notes, prompter, 0.0f, vs, ve, span);
      break;
    }
    case STROBE_START:
      strobe.mode = StrobeMode::Start;
      layStrobe(strobe, notes, prompter, 0.0f, vs, ve, span);
      break;
    case STROBE_END_MINUS_ONE:
      strobe.mode = StrobeMode::EndMinusOne;
      layStrobe(strobe, notes, prompter, 0.0f, vs, ve, span);
      break;
    case STROBE_CLEAR:
      strobe.mode = StrobeMode::Off;
      if (strobe.allocated) clearTrain(strobe);
      break;
    case STROBE_CONVERT:
      convertTrain(strobe, notes, grid);
      break;
    default:
      break;
  }
}

void strobeTakeInterval(StrobeState& strobe, float beatInterval) {
  strobe.strobeInterval = std::clamp(beatInterval, MIN_INTERVAL, MAX_INTERVAL);
  if (beatInterval >= MIN_INTERVAL && beatInterval <= MAX_INTERVAL) {
    strobe.strobeTempo = static_cast<float>(BPM_FACTOR / strobe.strobeInterval);
    strobe.tempoText = tempoText(strobe.strobeTempo);
  }
}

int tapBeat(NoteStore& notes, CellGrid& grid, bool playing, std::uint64_t frame) {
  if (!notes.editor.tapMode || !playing || !notes.ready()) return 0;
  if (frame < FRAMES_PER_POSITION) return 0;
  const std::uint64_t p = frame / FRAMES_PER_POSITION;
  if (p <= grid.visibleStart || p >= grid.visibleEnd || p >= notes.positions) return 0;
  const std::uint32_t position = static_cast<std::uint32_t>(p);
  const std::uint8_t byte = notes.lineMap[position];
  const std::uint8_t beat = (byte & static_cast<std::uint8_t>(~LINE_DIVISION)) | LINE_BEAT;
  if (beat != byte) {
    notes.gridHistory.groupStart = 1;
    setLine(notes, position, beat, true);
  }
  refreshGrid(notes, grid);
  return 1;
}

}  // namespace quavrix
