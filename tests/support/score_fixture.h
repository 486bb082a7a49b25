#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A small score with a cell grid laid out on an imaginary screen, for tests of
// the note, grid and editor operations.

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "score/cell_grid.h"
#include "score/note_store.h"
#include "support/scripted_prompter.h"

namespace quavrix::test {

// Key rows are 10 pixels wide from x = 0; the time band spans 60000 pixels, so
// a window of up to 60000 positions gives every position its own pixel row.
inline constexpr int FIXTURE_KEY_WIDTH = 10;
inline constexpr int FIXTURE_BAND_HEIGHT = 60000;

struct ScoreFixture {
  explicit ScoreFixture(std::uint32_t positions = 40000);

  // Writes line bytes directly (not recorded) and refreshes the grid.
  void addLines(std::initializer_list<std::uint32_t> positions, std::uint8_t flags = LINE_BEAT);
  // Shows positions [start, end) and rebuilds the columns and cells.
  void show(std::uint32_t start, std::uint32_t end);
  void refresh();
  // A point inside the cell of `key` on the column of the line at `position`.
  ScreenPoint at(int key, std::uint32_t position) const;

  std::unique_ptr<NoteStore> notes = std::make_unique<NoteStore>();
  std::unique_ptr<CellGrid> grid = std::make_unique<CellGrid>();
  ScriptedPrompter prompter;
};

}  // namespace quavrix::test

#include <string>

#include "score/beat_editor/beat_editor.h"
#include "score/strobe_state.h"

namespace quavrix::test {

// A score with the beat editor's context around it: the stroboscope and the
// display texts the editor writes.
struct EditorFixture : ScoreFixture {
  explicit EditorFixture(std::uint32_t positions = 40000);

  std::unique_ptr<StrobeState> strobe = std::make_unique<StrobeState>();
  std::string tempoText = "Unknown";
  std::string divisorText = "4";
  std::string beatsInBarText = "Unknown";
  EditorContext ctx;
};

}  // namespace quavrix::test
