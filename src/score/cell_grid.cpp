// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/cell_grid.h"

#include <algorithm>
#include <cstring>

#include "score/beat_grid.h"
#include "score/note_store.h"

namespace quavrix {

void CellGrid::setKeyRange(std::uint32_t first, std::uint32_t rows) {
  keyRows = std::clamp<std::uint32_t>(rows, 1, KEY_COUNT);
  firstKeyRow = std::min<std::uint32_t>(first, KEY_COUNT - keyRows);
}

int rebuildColumns(CellGrid& grid, const NoteStore& notes) {
  if (!grid.enabled || !notes.ready()) {
    grid.columnOverflow = 1;
    return -1;
  }
  const std::uint32_t start = grid.visibleStart;
  const std::uint32_t end = grid.visibleEnd;
  const std::uint32_t stop = std::min(end, notes.positions);
  std::uint32_t count = 0;
  bool overflow = false;
  for (std::uint32_t p = nextLine(notes, start, LINE_VISIBLE); p < stop;
       p = nextLine(notes, p + 1, LINE_VISIBLE)) {
    grid.columnPositions[count++] = p;
    if (count + 3 > CELL_COLUMNS) {
      overflow = true;
      break;
    }
  }
  grid.columnPositions[count++] = end;
  grid.columnCount = count;

  const CellGeometry& g = grid.geometry;
  const float width = static_cast<float>(g.right - g.left) / static_cast<float>(grid.keyRows);
  grid.keyRowWidth = width;
  for (std::uint32_t k = 0; k < grid.keyRows; ++k) {
    ScreenRect& r = grid.keyRects[k];
    r.left = g.left + static_cast<std::int32_t>(static_cast<float>(k) * width);
    r.top = g.keyTop;
    r.right = static_cast<std::int32_t>(static_cast<float>(k + 1) * width + g.left - 2.0);
    r.bottom = g.keyBottom;
  }

  if (end > start) {
    const float span = static_cast<float>(end - start);
    const auto yOf = [&](std::uint32_t q) {
      return static_cast<std::int32_t>(static_cast<float>(q - start) * g.noteHeight / span +
                                       static_cast<float>(g.noteTop));
    };
    std::uint32_t written = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t q = grid.columnPositions[i];
      if (q == 0 || q > end) break;
      if (q < start) continue;
      ScreenRect& r = grid.columnRects[written++];
      r.left = g.left;
      r.right = g.right;
      r.top = yOf(q);
      r.bottom = i + 1 < count ? yOf(grid.columnPositions[i + 1]) : g.noteBottom;
    }
  }
  grid.columnOverflow = overflow ? 1 : 0;
  return overflow ? -1 : 0;
}

void rebuildCells(CellGrid& grid, const NoteStore& notes) {
  if (grid.usedColumns_ > 0) {
    for (int row = 0; row < TRACK_COUNT * KEY_COUNT; ++row) {
      if (!grid.usedRows_[row]) continue;
      std::memset(grid.cells.data() + static_cast<std::size_t>(row) * CELL_COLUMNS, 0,
                  static_cast<std::size_t>(grid.usedColumns_));
    }
  }
  grid.usedColumns_ = 0;
  grid.usedRows_.fill(0);
  const std::size_t slotCount = notes.slots.size();
  const std::uint32_t count = std::min<std::uint32_t>(grid.columnCount, CELL_COLUMNS);
  int used = 0;
  for (std::uint32_t c = 0; c < count; ++c) {
    const std::uint32_t p = grid.columnPositions[c];
    if (p > grid.visibleEnd) break;
    for (std::uint32_t i = 0; i < SLOTS_PER_LINE && p + i < slotCount; ++i) {
      const std::int32_t word = notes.slots[p + i];
      if (word == 0) break;
      if (noteDeleted(word)) continue;
      const int track = noteTrack(word);
      const int key = noteKey(word);
      if (track >= TRACK_COUNT || key == 0 || key > KEY_COUNT) {
        grid.usedColumns_ = std::max(used, static_cast<int>(c) + 1);
        return;
      }
      grid.cell(track, key - 1, static_cast<int>(c)) = CELL_START;
      grid.usedRows_[track * KEY_COUNT + key - 1] = 1;
      used = std::max(used, static_cast<int>(c) + 1);
      const std::uint64_t end = static_cast<std::uint64_t>(p) + i + noteDuration(word);
      const std::uint32_t last = std::min<std::uint32_t>(c + MAX_HOLD_COLUMNS, count - 1);
      for (std::uint32_t later = c + 1; later <= last && grid.columnPositions[later] < end;
           ++later) {
        grid.cell(track, key - 1, static_cast<int>(later)) = CELL_HOLD;
        used = std::max(used, static_cast<int>(later) + 1);
      }
    }
  }
  // Notes that start above the window and are still held inside it show
  // their tail from the first column on.
  const std::uint32_t start = grid.visibleStart;
  if (count > 1 && start > 0) {
    const std::uint32_t floor = start > MAX_NOTE_DURATION ? start - MAX_NOTE_DURATION : 0;
    for (std::uint32_t p = std::min(start, notes.positions); p-- > floor;) {
      if (!(notes.lineMap[p] & LINE_VISIBLE)) continue;
      for (std::uint32_t i = 0; i < SLOTS_PER_LINE && p + i < slotCount; ++i) {
        const std::int32_t word = notes.slots[p + i];
        if (word == 0) break;
        if (noteDeleted(word)) continue;
        const int track = noteTrack(word);
        const int key = noteKey(word);
        if (track >= TRACK_COUNT || key == 0 || key > KEY_COUNT) continue;
        const std::uint64_t end = static_cast<std::uint64_t>(p) + i + noteDuration(word);
        const std::uint32_t last = std::min<std::uint32_t>(MAX_HOLD_COLUMNS, count - 1);
        for (std::uint32_t c = 0; c < last && grid.columnPositions[c] < end; ++c) {
          std::uint8_t& cell = grid.cell(track, key - 1, static_cast<int>(c));
          if (cell == 0) cell = CELL_HOLD;
          grid.usedRows_[track * KEY_COUNT + key - 1] = 1;
          used = std::max(used, static_cast<int>(c) + 1);
        }
      }
    }
  }
  grid.usedColumns_ = used;
}

bool locateCell(const CellGrid& grid, ScreenPoint point, CellHit& hit) {
  int row = -1;
  for (std::uint32_t r = 0; r < grid.keyRows; ++r) {
    if (grid.keyRects[r].contains(point)) {
      row = static_cast<int>(r);
      break;
    }
  }
  if (row < 0 || grid.columnCount < 2) return false;
  for (std::uint32_t c = 0; c + 1 < grid.columnCount; ++c) {
    if (grid.columnRects[c].contains(point)) {
      hit.key = static_cast<int>(grid.firstKeyRow) + row + 1;
      hit.position = grid.columnPositions[c];
      hit.column = static_cast<int>(c);
      return true;
    }
  }
  return false;
}

int hitCell(const CellGrid& grid, const NoteStore& notes, ScreenPoint point, CellHit& hit) {
  if (!locateCell(grid, point, hit)) return -1;
  return hit.position < notes.positions && hit.key <= KEY_COUNT ? 0 : -1;
}

void refreshGrid(NoteStore& notes, CellGrid& grid) {
  rebuildLineIndex(notes);
  rebuildColumns(grid, notes);
  rebuildCells(grid, notes);
}

}  // namespace quavrix
