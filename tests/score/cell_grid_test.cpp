// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/cell_grid.h"

#include <gtest/gtest.h>

#include "score/beat_grid.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

using test::ScoreFixture;

TEST(CellGrid, ColumnsOverflowAt1022Lines) {
  ScoreFixture f(20000);
  for (std::uint32_t k = 0; k < 1500; ++k) f.notes->lineMap[1000 + 10 * k] = LINE_BEAT;
  rebuildLineIndex(*f.notes);
  f.grid->setVisibleWindow(900, 16100);
  EXPECT_EQ(rebuildColumns(*f.grid, *f.notes), -1);
  EXPECT_EQ(f.grid->columnOverflow, 1);
  EXPECT_EQ(f.grid->columnCount, 1023u);
  EXPECT_EQ(f.grid->columnPositions[1021], 1000u + 10 * 1021);
  EXPECT_EQ(f.grid->columnPositions[1022], 16100u);

  f.grid->setVisibleWindow(900, 3000);
  EXPECT_EQ(rebuildColumns(*f.grid, *f.notes), 0);
  EXPECT_EQ(f.grid->columnOverflow, 0);
  EXPECT_EQ(f.grid->columnCount, 201u);
}

TEST(CellGrid, NotReadyUntilGeometryAndNotesExist) {
  auto grid = std::make_unique<CellGrid>();
  NoteStore notes;
  EXPECT_EQ(rebuildColumns(*grid, notes), -1);
  ScoreFixture f;
  auto fresh = std::make_unique<CellGrid>();
  EXPECT_EQ(rebuildColumns(*fresh, *f.notes), -1);  // no geometry yet
  EXPECT_EQ(fresh->keyRows, 84u);
}

TEST(CellGrid, RectanglesFollowTheGeometry) {
  ScoreFixture f;
  f.addLines({1000, 1500});
  f.notes->lineMap[1250] = LINE_DIVISION;
  f.notes->lineMap[1300] = LINE_LOCK;  // not a visible line: no column
  f.show(1000, 2000);
  ASSERT_EQ(f.grid->columnCount, 4u);
  EXPECT_EQ(f.grid->keyRects[0].left, 0);
  EXPECT_EQ(f.grid->keyRects[0].right, 8);
  EXPECT_EQ(f.grid->keyRects[83].left, 830);
  EXPECT_EQ(f.grid->keyRects[83].right, 838);
  EXPECT_EQ(f.grid->keyRects[5].bottom, test::FIXTURE_BAND_HEIGHT);
  EXPECT_EQ(f.grid->columnRects[0].top, 0);
  EXPECT_EQ(f.grid->columnRects[0].bottom, 15000);
  EXPECT_EQ(f.grid->columnRects[1].top, 15000);
  EXPECT_EQ(f.grid->columnRects[2].top, 30000);
  EXPECT_EQ(f.grid->columnRects[2].bottom, 60000);
  EXPECT_EQ(f.grid->columnRects[3].top, 60000);

  CellHit hit;
  EXPECT_EQ(hitCell(*f.grid, *f.notes, {15, 15001}, hit), 0);
  EXPECT_EQ(hit.key, 2);
  EXPECT_EQ(hit.position, 1250u);
  EXPECT_EQ(hit.column, 1);
  EXPECT_EQ(hitCell(*f.grid, *f.notes, {9, 100}, hit), -1);    // the gap between key rows
  EXPECT_EQ(hitCell(*f.grid, *f.notes, {5, 60000}, hit), -1);  // below the last line's band

  f.grid->setKeyRange(36, 12);
  rebuildColumns(*f.grid, *f.notes);
  EXPECT_EQ(hitCell(*f.grid, *f.notes, {0, 10}, hit), 0);
  EXPECT_EQ(hit.key, 37);
}

TEST(CellGrid, CellsMarkStartAndHoldColumns) {
  ScoreFixture f;
  f.addLines({1000, 1100, 1200, 1300});
  f.notes->slots[1000] = makeNote(2, 10, 100);  // ends exactly on the next line
  f.notes->slots[1001] = makeNote(3, 11, 250);  // runs to 1251
  f.notes->slots[1002] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(makeNote(4, 12, 250)) | NOTE_DELETED);
  f.notes->slots[1003] = makeNote(4, 13, 10);
  f.show(900, 1400);
  EXPECT_EQ(f.grid->cell(2, 9, 0), CELL_START);
  EXPECT_EQ(f.grid->cell(2, 9, 1), 0);
  EXPECT_EQ(f.grid->cell(3, 10, 0), CELL_START);
  EXPECT_EQ(f.grid->cell(3, 10, 1), CELL_HOLD);
  EXPECT_EQ(f.grid->cell(3, 10, 2), CELL_HOLD);
  EXPECT_EQ(f.grid->cell(3, 10, 3), 0);
  EXPECT_EQ(f.grid->cell(4, 11, 0), 0);  // deleted notes have no cells
  EXPECT_EQ(f.grid->cell(4, 12, 0), CELL_START);

  // A rebuild after the notes went clears the old marks.
  f.notes->slots[1001] = 0;
  f.notes->slots[1002] = 0;
  f.notes->slots[1003] = 0;
  rebuildCells(*f.grid, *f.notes);
  EXPECT_EQ(f.grid->cell(3, 10, 1), 0);
  EXPECT_EQ(f.grid->cell(4, 12, 0), 0);
  EXPECT_EQ(f.grid->cell(2, 9, 0), CELL_START);
}

TEST(CellGrid, ABrokenNoteWordEndsTheRebuildQuietly) {
  ScoreFixture f;
  f.addLines({1000, 1100});
  f.notes->slots[1000] = makeNote(1, 10, 50);
  f.notes->slots[1100] = makeNote(1, 90, 50);  // key above 84
  f.notes->slots[1101] = makeNote(1, 11, 50);
  f.show(900, 1400);
  EXPECT_EQ(f.grid->cell(1, 9, 0), CELL_START);
  EXPECT_EQ(f.grid->cell(1, 10, 1), 0);
}

}  // namespace
}  // namespace quavrix
