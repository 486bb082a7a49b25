#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The beat editor: the Bar, Beat and Division pages turn the seeded beats
// into a usable grid. The view owns the panel and the mouse selection; it
// calls these with a command number and positions. Commands act as modes: a
// pressed button becomes the page's current command and is applied to the
// selection, and every later selection applies it again.

#include <cstdint>
#include <string>

#include "score/cell_grid.h"
#include "score/note_store.h"
#include "score/strobe_state.h"

namespace quavrix {

class Prompter;

// The display texts the editor formats (the view state holds them).
struct EditorTexts {
  std::string& tempo;       // "%3.2f", "Fixed %3.2f" or "Unknown"
  std::string& divisor;     // "2" .. "24"
  std::string& beatsInBar;  // "%4d" or "Unknown"
};

struct EditorContext {
  NoteStore& notes;
  CellGrid& grid;
  StrobeState& strobe;
  Prompter& prompter;
  EditorTexts texts;
};

// Command numbers of the pages.
enum EditorCommand : int {
  CMD_NONE = 0,
  CMD_UNDO = 106,
  CMD_REDO = 107,
  CMD_BAR_LINE = 111,
  CMD_BAR_DELETE = 112,
  CMD_BAR_EXTEND = 113,
  CMD_BAR_START = 114,
  CMD_BAR_END = 115,
  CMD_BAR_RESET = 116,
  CMD_BAR_SAVE_MIDI = 117,
  CMD_FIX = 122,
  CMD_LOCK_BOTH_ENDS = 124,
  CMD_UNLOCK = 125,
  CMD_LOCK_ALL = 126,
  CMD_UNLOCK_WHOLE = 127,
  CMD_BEAT_DELETE = 128,
  CMD_APPEND = 129,
  CMD_APPEND_HELP = 130,
  CMD_APPEND_FREE = 131,
  CMD_APPEND_BEFORE = 132,
  CMD_APPEND_AFTER = 133,
  CMD_AUTOFILL = 134,
  CMD_AUTOFILL_HELP = 135,
  CMD_MOVE_TOP = 136,
  CMD_MOVE_BOTTOM = 137,
  CMD_MOVE_UP_13 = 138,
  CMD_MOVE_DOWN_13 = 139,
  CMD_MOVE_UP_4 = 140,
  CMD_MOVE_DOWN_4 = 141,
  CMD_TAP = 142,
  CMD_STROBO = 143,
  CMD_EXTEND = 144,
  CMD_EXTEND_HELP = 145,
  CMD_DIVISION_DELETE = 161,
  CMD_DIVISION_APPEND = 162,
  CMD_DIVISION_EXTEND = 163,
  CMD_DIVISOR_FIRST = 164,
  CMD_DIVISOR_LAST = 173,
  CMD_ORPHAN_DISCARD = 180,
  CMD_ORPHAN_ASK = 183,
};

// Opens the panel on the Beat page with no command.
void openEditor(EditorContext& ctx);
// Shows another page; tap mode, the help page and the stroboscope go off.
void showPage(EditorContext& ctx, EditorPage page);
// Closes the panel; from the Division page this runs the orphan check when
// lines changed since.
void closeEditor(EditorContext& ctx);

void barCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s, std::uint32_t e);
void beatCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s, std::uint32_t e,
                 std::uint32_t vs, std::uint32_t ve);
void divisionCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s,
                     std::uint32_t e);

// A drag on the note area ended while the panel is open: applies the current
// command of the page to [s, e] (the Beat page measures the interval first).
void selectRange(EditorContext& ctx, EditorPage page, std::uint32_t s, std::uint32_t e);

// Commands 164 .. 173: the divisor 2, 3, 4, 5, 6, 8, 9, 12, 16 or 24 and its text.
void setDivisor(EditorContext& ctx, int command);

// Commands 131 .. 133 pressed as options: the mode that Append (129) becomes.
void setAppendOption(NoteStore& notes, int command);

// Whether the Beat page takes the command while its help page is showing.
bool helpPageAccepts(int helpPage, int command);

}  // namespace quavrix
