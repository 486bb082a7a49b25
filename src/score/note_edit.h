#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Note operations: append and delete from the note area, the orphan check
// after grid lines changed, and the commit that compacts the notes.

#include <cstdint>
#include <iosfwd>

#include "score/cell_grid.h"
#include "score/note_store.h"

namespace quavrix {

class Prompter;

// The note appended last (also an append that found no room or no end line);
// the view state keeps it for deleteNoteAt.
struct LastNote {
  int track = -1;  // -1: nothing appended yet
  int key = 0;
  std::uint32_t line = 0;
};

// Appends a note of `track` from the column under `press` to just before the
// line after the column under `release`, on the key under `press`. Returns 1
// when a note was written.
int appendNote(NoteStore& notes, CellGrid& grid, Prompter& prompter, int track, LastNote& last,
               ScreenPoint press, ScreenPoint release);

// Deletes the note of `track` under the point. Returns 1 when one was deleted.
int deleteNoteAt(NoteStore& notes, CellGrid& grid, int track, const LastNote& last,
                 ScreenPoint point);

// Marks the note of track and key on the line as deleted (it keeps its slot
// until compaction). Returns 1 when a note was found.
int deleteNote(NoteStore& notes, int track, int key, std::uint32_t line);

// Handles the notes left behind by removed or moved lines according to the
// orphan policy. Returns the number of orphans handled, 0 when declined.
int checkOrphans(NoteStore& notes, Prompter& prompter);

// Copies a note word onto the line at `line`, ending before the line after it.
void moveNoteToLine(NoteStore& notes, Prompter& prompter, std::uint32_t line, std::int32_t word);

// With `compact`, compacts the notes and clears the note history (the
// modified flag stays: a commit is not a save). Writes the event table to
// `console` when given: before compacting, and after. The caller silences
// the sampler and keeps playback stopped around a compaction.
void commitNotes(NoteStore& notes, bool compact, std::ostream* console);

}  // namespace quavrix
