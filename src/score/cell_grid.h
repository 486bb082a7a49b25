#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The notes of the visible window as cells: one byte per track, key row and
// visible grid line (column), with the rectangles the view draws and hit-tests.
// Time runs down the screen: a column is a horizontal band between two lines;
// key rows are vertical strips, the lowest key at the left.

#include <array>
#include <cstdint>
#include <vector>

#include "base/units.h"

namespace quavrix {

struct NoteStore;

inline constexpr int CELL_COLUMNS = 1024;
// Lines of the window that get a column; later ones overflow.
inline constexpr int MAX_COLUMN_LINES = CELL_COLUMNS - 2;
// A note marks at most this many columns after its start column.
inline constexpr int MAX_HOLD_COLUMNS = 256;

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

struct ScreenRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  // Right and bottom edges are outside, as for every rectangle on screen.
  bool contains(ScreenPoint p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
};

// Where the note area lies on screen; set by the view whenever its layout changes.
struct CellGeometry {
  std::int32_t left = 0;  // horizontal extent of the key rows
  std::int32_t right = 0;
  std::int32_t keyTop = 0;  // vertical extent of the key-row rectangles
  std::int32_t keyBottom = 0;
  std::uint16_t noteTop = 0;  // vertical extent of the time band
  std::uint16_t noteBottom = 0;
  float noteHeight = 0.0f;  // pixels that the visible window spans
};

// What lies under a point of the note area.
struct CellHit {
  int key = 0;                 // 1 .. 84
  std::uint32_t position = 0;  // position of the column's line
  int column = 0;
};

struct CellGrid {
  // [track][key row][column]: 0, CELL_START or CELL_HOLD.
  std::vector<std::uint8_t> cells =
      std::vector<std::uint8_t>(static_cast<std::size_t>(TRACK_COUNT) * KEY_COUNT * CELL_COLUMNS);
  // Positions of the visible lines, ascending, then the end of the visible window.
  std::array<std::uint32_t, CELL_COLUMNS + 1> columnPositions{};
  std::uint32_t columnCount = 0;
  std::array<ScreenRect, KEY_COUNT> keyRects{};
  std::array<ScreenRect, CELL_COLUMNS> columnRects{};
  std::uint32_t firstKeyRow = 0;  // key number of row r is firstKeyRow + r + 1
  std::uint32_t keyRows = KEY_COUNT;
  std::uint32_t visibleStart = 0;  // positions of the top and bottom of the window
  std::uint32_t visibleEnd = 0;
  float keyRowWidth = 0.0f;
  CellGeometry geometry;
  int enabled = 0;         // 1 once the view has set the geometry
  int columnOverflow = 0;  // 1 when the last rebuildColumns ran out of columns

  std::uint8_t cell(int track, int keyRow, int column) const {
    return cells[index(track, keyRow, column)];
  }
  std::uint8_t& cell(int track, int keyRow, int column) {
    return cells[index(track, keyRow, column)];
  }
  static std::size_t index(int track, int keyRow, int column) {
    return (static_cast<std::size_t>(track) * KEY_COUNT + keyRow) * CELL_COLUMNS + column;
  }

  // The view's one entry point for the screen layout; enables the grid.
  void setGeometry(const CellGeometry& g) {
    geometry = g;
    enabled = 1;
  }
  // The part of the recording shown, as positions; the caller rebuilds after it.
  void setVisibleWindow(std::uint32_t start, std::uint32_t end) {
    visibleStart = start;
    visibleEnd = end;
  }
  // Key-row scroll and zoom; rows is 1 .. 84 and first + rows at most 84.
  void setKeyRange(std::uint32_t first, std::uint32_t rows);

 private:
  // What the last rebuild may have marked: clearing touches only those rows,
  // up to that column. Few of the 672 rows hold notes at a time.
  int usedColumns_ = CELL_COLUMNS;
  std::array<std::uint8_t, TRACK_COUNT* KEY_COUNT> usedRows_ = filledRows();
  static std::array<std::uint8_t, TRACK_COUNT * KEY_COUNT> filledRows() {
    std::array<std::uint8_t, TRACK_COUNT * KEY_COUNT> rows{};
    rows.fill(1);
    return rows;
  }
  friend void rebuildCells(CellGrid& grid, const NoteStore& notes);
};

// Rebuilds the column positions and rectangles for the visible window.
// Returns 0, or -1 when the grid is not ready or the columns overflowed (then
// columnOverflow is 1).
int rebuildColumns(CellGrid& grid, const NoteStore& notes);

// Rebuilds the cells from the note slots of the visible columns.
void rebuildCells(CellGrid& grid, const NoteStore& notes);

// Key row and column under a point, with no range test. Returns false when
// the point misses either.
bool locateCell(const CellGrid& grid, ScreenPoint point, CellHit& hit);

// As locateCell, and the column must lie below N and the key be at most 84.
// Returns 0 or -1.
int hitCell(const CellGrid& grid, const NoteStore& notes, ScreenPoint point, CellHit& hit);

// rebuildLineIndex, rebuildColumns, rebuildCells.
void refreshGrid(NoteStore& notes, CellGrid& grid);

}  // namespace quavrix
