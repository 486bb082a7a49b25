#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Editing commands: notes on the roll, the beat editor's panel and pages, the
// stroboscope and tap tempo, as plain calls on the engine. The view turns
// clicks into these; tests and tools call them directly.

#include <cstdint>

#include "score/beat_editor/beat_editor.h"
#include "score/cell_grid.h"

namespace quavrix {

struct Engine;

// The beat editor's context over the engine's score, grid, stroboscope,
// prompter and display texts. Valid as long as the engine.
EditorContext editorContext(Engine& engine);

// ---- notes -----------------------------------------------------------------------

// Appends a note of `track` from the press to the release point (screen
// points in the roll). Returns 1 when a note was written.
int appendNoteAt(Engine& engine, int track, ScreenPoint press, ScreenPoint release);
// Deletes the note of `track` under the point. Returns 1 when one was deleted.
int deleteNoteAt(Engine& engine, int track, ScreenPoint point);
// The note history (Edit menu, bottom bar, Ctrl+Z / Ctrl+Y).
void undoNoteEdit(Engine& engine);
void redoNoteEdit(Engine& engine);

// ---- beat-editor panel --------------------------------------------------------

bool editorOpen(const Engine& engine);
// Opens the panel on the Beat page, or closes it (with the orphan check on
// the Division page).
void toggleEditor(Engine& engine);
void showEditorPage(Engine& engine, EditorPage page);
// The "M I D I   SAVE   .MID" menu item: stroboscope, help page and tap mode
// off, the Bar page shown, then the panel toggled.
void toggleEditorForMidiSave(Engine& engine);

// The line range the mouse selected (positions, lower first; 0, 0 = none).
void setSelection(Engine& engine, std::uint32_t start, std::uint32_t end);
void clearSelection(Engine& engine);
// A selection drag ended while the panel is open: the page shown applies its
// current command to the selection.
void commitSelection(Engine& engine);

// A panel button (codes 106..183) pressed on the page shown. Codes that the
// page does not take do nothing. Returns whether the code was taken.
bool editorCommand(Engine& engine, int code);

// The stroboscope's rate bars (151 x20, 152 x1): a press or drag at y.
void strobeRateAt(Engine& engine, int code, float y);

// A tap (Enter, or an arrow key in tap mode) at the frame playback has
// reached. Returns 1 when a beat was set.
int tap(Engine& engine);

}  // namespace quavrix
