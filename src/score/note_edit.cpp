// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/note_edit.h"

#include <algorithm>

#include "base/prompter.h"
#include "score/beat_grid.h"

namespace quavrix {

namespace {

constexpr std::uint32_t LIVE_BITS = 0x7FFFFFFFu;

std::uint16_t headOf(int track, int key) {
  return static_cast<std::uint16_t>((track << 8) | key);
}

}  // namespace

int appendNote(NoteStore& notes, CellGrid& grid, Prompter& prompter, int track, LastNote& last,
               ScreenPoint press, ScreenPoint release) {
  CellHit from;
  CellHit to;
  if (!notes.ready() || track < 0 || track >= TRACK_COUNT) return 0;
  if (!locateCell(grid, press, from) || !locateCell(grid, release, to)) return 0;
  const std::uint32_t n = notes.positions;
  if (from.position >= n || to.position >= n || from.key > KEY_COUNT || to.key > KEY_COUNT) {
    return 0;
  }
  const int key = from.key;
  // The note may not overlap a note of the same track and key.
  for (int c = std::min(from.column, to.column); c <= std::max(from.column, to.column); ++c) {
    if (grid.cell(track, key - 1, c) != 0) return 0;
  }

  const std::uint32_t start = std::min(from.position, to.position);
  const std::uint32_t endLine = nextLine(notes, std::max(from.position, to.position) + 1);
  int appended = 0;
  if (endLine < n) {
    const std::uint16_t head = headOf(track, key);
    std::uint32_t i = 0;
    for (; i < SLOTS_PER_LINE; ++i) {
      const std::uint32_t slot = start + i;
      const std::int32_t word = notes.slots[slot];
      if (noteHead(word) == head) break;  // the same note is already on this line
      if (word != 0 && !noteDeleted(word)) continue;
      const std::int64_t duration = static_cast<std::int64_t>(endLine) - 1 - slot;
      // A duration outside 16 bits would wrap into a different note: refuse it.
      if (duration < 0 || duration > MAX_NOTE_DURATION) break;
      const std::int32_t note = makeNote(track, key, static_cast<int>(duration));
      recordNoteChange(notes, slot, note);
      notes.slots[slot] = note;
      placeNoteOff(notes, endLine - 1, head);
      notes.autosaveDirty = 1;
      appended = 1;
      break;
    }
    if (i == SLOTS_PER_LINE) {
      prompter.notify(
          "APPEND\n Too much notes on a BEAT or a DIVISION. \n Can not append note any more.",
          Icon::Question);
    }
  }
  last = {track, key, start};
  rebuildCells(grid, notes);
  return appended;
}

int deleteNoteAt(NoteStore& notes, CellGrid& grid, int track, const LastNote& last,
                 ScreenPoint point) {
  CellHit hit;
  if (!notes.ready() || track < 0 || track >= TRACK_COUNT) return 0;
  if (!locateCell(grid, point, hit) || hit.position >= notes.positions || hit.key > KEY_COUNT) {
    return 0;
  }
  const int key = hit.key;
  std::uint32_t line = 0;
  if (grid.cell(track, key - 1, hit.column) == 0) {
    if (last.track != track || last.key != key || last.line > hit.position) return 0;
    line = last.line;
  } else {
    // Cells of a note always begin with its start column inside the window.
    bool found = false;
    for (int c = hit.column; c >= 0 && grid.cell(track, key - 1, c) != 0; --c) {
      if (grid.cell(track, key - 1, c) == CELL_START) {
        line = grid.columnPositions[c];
        found = true;
        break;
      }
    }
    if (!found) return 0;
  }
  const int deleted = deleteNote(notes, track, key, line);
  rebuildCells(grid, notes);
  return deleted;
}

int deleteNote(NoteStore& notes, int track, int key, std::uint32_t line) {
  const std::size_t size = notes.slots.size();
  for (std::uint32_t i = 0; i < SLOTS_PER_LINE && line + i < size; ++i) {
    const std::uint32_t slot = line + i;
    const std::int32_t word = notes.slots[slot];
    if (word == 0) return 0;
    // Comparing all of bits 24..31 lets a deleted word never match.
    if (static_cast<int>(static_cast<std::uint32_t>(word) >> 24) != track || noteKey(word) != key) {
      continue;
    }
    const std::int32_t deleted =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | NOTE_DELETED);
    recordNoteChange(notes, slot, deleted);
    notes.slots[slot] = deleted;
    const std::uint32_t end = slot + static_cast<std::uint32_t>(noteDuration(word));
    const std::uint16_t head = headOf(track, key);
    for (std::uint32_t back = 0; back < SLOTS_PER_LINE && back <= end; ++back) {
      const std::size_t at = end - back;
      if (at >= notes.noteOffs.size()) continue;
      std::uint16_t& entry = notes.noteOffs[at];
      if (entry == 0) break;
      if ((entry & ~NOTE_OFF_DELETED) == head) entry |= NOTE_OFF_DELETED;
    }
    notes.autosaveDirty = 1;
    return 1;
  }
  return 0;
}

void moveNoteToLine(NoteStore& notes, Prompter& prompter, std::uint32_t line, std::int32_t word) {
  const std::uint32_t next = nextLine(notes, line + 1);
  const bool hasNext = next < notes.positions;
  for (std::uint32_t i = 0; i < SLOTS_PER_LINE && line + i < notes.slots.size(); ++i) {
    const std::uint32_t slot = line + i;
    const std::int32_t here = notes.slots[slot];
    if (noteHead(here) == noteHead(word)) return;  // already there
    if ((static_cast<std::uint32_t>(here) & LIVE_BITS) != 0) continue;
    // Without a line after the target the note keeps its own length; either
    // way the 16-bit duration must not wrap.
    const std::int64_t duration =
        hasNext ? static_cast<std::int64_t>(next) - line - 1 - i : noteDuration(word);
    const std::int64_t clamped = std::clamp<std::int64_t>(duration, 0, MAX_NOTE_DURATION);
    const std::int32_t moved =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(word) & ~NOTE_DURATION_MASK) |
                                  static_cast<std::uint32_t>(clamped));
    recordNoteChange(notes, slot, moved);
    notes.slots[slot] = moved;
    notes.autosaveDirty = 1;
    return;
  }
  prompter.notify(" Too much notes, Can not append notes!", Icon::Question);
}

int checkOrphans(NoteStore& notes, Prompter& prompter) {
  if (!notes.ready()) return 0;
  const std::uint32_t n = notes.positions;
  int count = 0;
  bool asked = false;
  for (std::uint32_t i = nextLine(notes, 0); i < n;) {
    std::uint32_t e = nextLine(notes, i + 1);
    const bool lastLine = e >= n;
    if (lastLine) e = n - 1;
    const std::uint32_t middle =
        static_cast<std::uint32_t>((static_cast<std::uint64_t>(i) + e) / 2);
    bool inRun = true;
    for (std::uint32_t j = i + 1; j < e; ++j) {
      const std::int32_t word = notes.slots[j];
      if (noteHead(word) == 0) {
        inRun = false;
        continue;
      }
      // Deleted notes are on their way out already: nothing to ask or move.
      if (inRun || noteDeleted(word)) continue;
      if (!asked) {
        asked = true;
        if (notes.ask && !prompter.ask(" Some notes will be deleted. Are you sure ? ")) {
          prompter.information("  You can use Undo boutton.");
          return 0;
        }
      }
      if (notes.forward) {
        moveNoteToLine(notes, prompter, i, word);
      } else if (notes.neighbor) {
        if (j < middle) {
          moveNoteToLine(notes, prompter, i, word);
        } else if (!lastLine) {
          moveNoteToLine(notes, prompter, e, word);
        }
      }
      // Recorded, so that Undo brings the orphan back.
      const std::int32_t deleted =
          static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | NOTE_DELETED);
      recordNoteChange(notes, j, deleted);
      notes.slots[j] = deleted;
      notes.autosaveDirty = 1;
      ++count;
    }
    if (lastLine) break;
    i = e;
  }
  return count;
}

void commitNotes(NoteStore& notes, bool compact, std::ostream* console) {
  if (compact) {
    if (console) dumpEvents(notes, *console, false);
    // Cleared before compacting, so that no deleted note is kept for undo.
    const int modified = notes.noteHistory.modified;
    clearNoteHistory(notes);
    notes.noteHistory.modified = modified;
    compactNotes(notes);
  }
  if (console) dumpEvents(notes, *console, true);
}

}  // namespace quavrix
