// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/score_fixture.h"

#include <gtest/gtest.h>

#include "score/beat_grid.h"

namespace quavrix::test {

ScoreFixture::ScoreFixture(std::uint32_t positions) {
  allocateNotes(*notes, positions * FRAMES_PER_POSITION, prompter);
  CellGeometry g;
  g.left = 0;
  g.right = FIXTURE_KEY_WIDTH * KEY_COUNT;
  g.keyTop = 0;
  g.keyBottom = FIXTURE_BAND_HEIGHT;
  g.noteTop = 0;
  g.noteBottom = FIXTURE_BAND_HEIGHT;
  g.noteHeight = static_cast<float>(FIXTURE_BAND_HEIGHT);
  grid->setGeometry(g);
  grid->setVisibleWindow(0, std::min<std::uint32_t>(positions, FIXTURE_BAND_HEIGHT));
  refresh();
}

void ScoreFixture::addLines(std::initializer_list<std::uint32_t> positions, std::uint8_t flags) {
  for (std::uint32_t p : positions) notes->lineMap[p] = flags;
  refresh();
}

void ScoreFixture::show(std::uint32_t start, std::uint32_t end) {
  grid->setVisibleWindow(start, end);
  refresh();
}

void ScoreFixture::refresh() {
  refreshGrid(*notes, *grid);
}

ScreenPoint ScoreFixture::at(int key, std::uint32_t position) const {
  for (std::uint32_t c = 0; c + 1 < grid->columnCount; ++c) {
    if (grid->columnPositions[c] == position) {
      const int row = key - 1 - static_cast<int>(grid->firstKeyRow);
      return {row * FIXTURE_KEY_WIDTH + FIXTURE_KEY_WIDTH / 2, grid->columnRects[c].top};
    }
  }
  ADD_FAILURE() << "no column at position " << position;
  return {-1, -1};
}

}  // namespace quavrix::test

#include "score/strobe.h"

namespace quavrix::test {

EditorFixture::EditorFixture(std::uint32_t positions)
    : ScoreFixture(positions),
      ctx{*notes, *grid, *strobe, prompter, {tempoText, divisorText, beatsInBarText}} {
  allocateStrobe(*strobe, *notes, prompter);
}

}  // namespace quavrix::test
