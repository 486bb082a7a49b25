// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/bar_numbers.h"

#include <algorithm>
#include <cstdio>

#include "base/units.h"
#include "score/beat_grid.h"

namespace quavrix {

std::uint32_t firstBar(const NoteStore& notes) {
  if (notes.startMarker != 0 && hasFlag(notes, notes.startMarker, LINE_START)) {
    return notes.startMarker;
  }
  const std::uint32_t* lines = notes.lineIndex.data();
  for (std::uint32_t i = 0; i < notes.lineCount; ++i) {
    if (hasFlag(notes, lines[i], LINE_BAR)) return lines[i];
  }
  return NO_LINE;
}

BarBeat barBeatAt(const NoteStore& notes, std::uint32_t position) {
  const std::uint32_t origin = firstBar(notes);
  if (origin == NO_LINE || position < origin) return {};
  const std::uint32_t* begin = notes.lineIndex.data();
  const std::uint32_t* end = begin + notes.lineCount;
  BarBeat at;
  for (const std::uint32_t* line = std::lower_bound(begin, end, origin);
       line != end && *line <= position; ++line) {
    if (hasFlag(notes, *line, LINE_BAR)) {
      ++at.bar;
      at.beat = 1;
    } else if (hasFlag(notes, *line, LINE_BEAT)) {
      ++at.beat;
    }
  }
  // A START marker that was put on a position the index does not hold yet
  // still begins bar 1.
  if (at.bar == 0) at = {1, 1};
  return at;
}

std::string barBeatText(BarBeat at) {
  if (at.bar < 1) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", at.bar, at.beat);
  return text;
}

std::string playTimeText(std::int64_t bufferIndex) {
  const std::int64_t frames = std::max<std::int64_t>(0, bufferIndex - LEAD_IN_FRAMES);
  const std::int64_t hundredths = frames * 100 / SAMPLE_RATE;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d.%02d", static_cast<int>(hundredths / 6000),
                static_cast<int>(hundredths / 100 % 60), static_cast<int>(hundredths % 100));
  return text;
}

}  // namespace quavrix
