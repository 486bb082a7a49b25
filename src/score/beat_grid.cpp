// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/beat_grid.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quavrix {

std::uint32_t nextLine(const NoteStore& notes, std::uint32_t from, std::uint8_t mask) {
  const std::uint32_t n = notes.positions;
  if (from >= n) return n;
  const std::uint8_t* map = notes.lineMap.data();
  std::uint32_t p = from;
  // Most of the map is empty: skip it eight bytes at a time.
  const std::uint64_t wide = 0x0101010101010101ull * mask;
  while (p < n && (p & 7u) != 0) {
    if (map[p] & mask) return p;
    ++p;
  }
  while (p + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, map + p, sizeof word);
    if (word & wide) break;
    p += 8;
  }
  for (; p < n; ++p) {
    if (map[p] & mask) return p;
  }
  return n;
}

std::uint32_t previousLine(const NoteStore& notes, std::uint32_t from, std::uint32_t floor,
                           std::uint8_t mask) {
  if (notes.positions == 0) return NO_LINE;
  for (std::uint32_t p = std::min(from, notes.positions - 1) + 1; p-- > floor;) {
    if (notes.lineMap[p] & mask) return p;
  }
  return NO_LINE;
}

void setLine(NoteStore& notes, std::uint32_t position, std::uint8_t value, bool record) {
  if (position >= notes.positions) return;
  value &= static_cast<std::uint8_t>(~LINE_GROUP_MARK);
  if (record) recordGridChange(notes, position, value);
  notes.lineMap[position] = value;
  notes.gridChanged = 1;
  notes.autosaveDirty = 1;
}

void rebuildLineIndex(NoteStore& notes) {
  std::uint32_t count = 0;
  if (notes.lineIndex.size() < notes.positions) notes.lineIndex.resize(notes.positions);
  for (std::uint32_t p = nextLine(notes, 0); p < notes.positions; p = nextLine(notes, p + 1)) {
    notes.lineIndex[count++] = p;
  }
  notes.lineCount = count;
}

void seedBeats(NoteStore& notes, std::span<const float> onsets) {
  if (notes.lineMap.empty()) return;
  std::fill(notes.lineMap.begin(), notes.lineMap.end(), 0);
  // The marker bits are gone with the map, so are the markers.
  notes.startMarker = 0;
  notes.endMarker = 0;
  const std::uint32_t n =
      static_cast<std::uint32_t>(std::min<std::size_t>(notes.positions, onsets.size()));
  bool active = false;
  for (std::uint32_t p = 0; p < n; ++p) {
    // NaN compares unequal to 0 and so starts a beat like any other mark.
    if (onsets[p] == 0.0f) {
      active = false;
    } else if (!active) {
      notes.lineMap[p] = LINE_BEAT;
      active = true;
    }
  }
}

float measureInterval(const NoteStore& notes, std::uint32_t start, std::uint32_t end) {
  if (notes.intervalFixed || start >= end || notes.lineMap.empty()) return 0.0f;
  constexpr int MAX_BEATS = 1024;
  const std::uint32_t stop = std::min(end, notes.positions);
  int count = 0;
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  for (std::uint32_t p = nextLine(notes, start, LINE_BEAT); p < stop && count < MAX_BEATS;
       p = nextLine(notes, p + 1, LINE_BEAT)) {
    if (count == 0) first = p;
    last = p;
    ++count;
  }
  if (count < 2) return 0.0f;
  return static_cast<float>(static_cast<std::int32_t>(last - first)) /
         static_cast<float>(count - 1);
}

int beatsInBar(const NoteStore& notes, std::uint32_t start, std::uint32_t end) {
  if (start >= end || notes.lineMap.empty()) return 0;
  int bars = 0;
  int count = 0;
  for (std::uint32_t p = std::min(end, notes.positions); p > start; --p) {
    const std::uint8_t byte = notes.lineMap[p];
    if (byte & LINE_BAR) {
      ++bars;
      if (bars == 2) return count;
      count = 1;
    } else if (bars == 1 && (byte & LINE_BEAT)) {
      ++count;
    }
  }
  return 0;
}

std::string intervalText(const NoteStore& notes) {
  if (notes.beatInterval <= 0.0f) return "Unknown";
  char text[64];
  std::snprintf(text, sizeof text, notes.intervalFixed ? "Fixed %3.2f" : "%3.2f",
                BPM_FACTOR / notes.beatInterval);
  return text;
}

std::string beatsInBarText(int count) {
  if (count < 1) return "Unknown";
  char text[32];
  std::snprintf(text, sizeof text, "%4d", count);
  return text;
}

void syncMarkers(NoteStore& notes) {
  notes.startMarker = 0;
  notes.endMarker = 0;
  const std::uint8_t markers = LINE_START | LINE_END;
  for (std::uint32_t p = nextLine(notes, 0, markers); p < notes.positions;
       p = nextLine(notes, p + 1, markers)) {
    if (notes.lineMap[p] & LINE_START) notes.startMarker = p;
    if (notes.lineMap[p] & LINE_END) notes.endMarker = p;
  }
}

bool moveSlots(NoteStore& notes, std::uint32_t from, std::uint32_t to) {
  const std::size_t size = notes.slots.size();
  if (from == to) return true;
  if (from >= size) return false;
  std::uint32_t length = 0;
  while (length < SLOTS_PER_LINE && from + length < size && notes.slots[from + length] != 0) {
    ++length;
  }
  if (length == 0) return true;
  if (static_cast<std::size_t>(to) + length > size) return false;
  // Slots that the run lands on and that are not part of it belong to another
  // line: overwriting them would lose notes.
  for (std::uint32_t d = to; d < to + length; ++d) {
    if ((d < from || d >= from + length) && notes.slots[d] != 0) return false;
  }
  auto* base = notes.slots.data();
  if (to > from) {
    std::copy_backward(base + from, base + from + length, base + to + length);
    std::fill(base + from, base + std::min(to, from + length), 0);
  } else {
    std::copy(base + from, base + from + length, base + to);
    std::fill(base + std::max(from, to + length), base + from + length, 0);
  }
  translateNoteHistory(notes.noteHistory, from, to, length);
  notes.autosaveDirty = 1;
  return true;
}

bool moveLine(NoteStore& notes, std::uint32_t from, std::uint32_t to) {
  if (from >= notes.positions || to >= notes.positions) return false;
  if (!moveSlots(notes, from, to)) return false;
  const std::uint8_t byte = notes.lineMap[from];
  notes.lineMap[from] = 0;
  notes.lineMap[to] = byte;
  if (byte & LINE_START) notes.startMarker = to;
  if (byte & LINE_END) notes.endMarker = to;
  notes.gridChanged = 1;
  notes.autosaveDirty = 1;
  return true;
}

}  // namespace quavrix
