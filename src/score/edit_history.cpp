// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/edit_history.h"

#include <algorithm>

#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/note_store.h"

namespace quavrix {

namespace {

// Keeps the most recent entries, in order, once the history is nearly full.
// `last` is the index of the entry just written; returns the new index of it.
template <typename History, typename Targets>
std::uint16_t trim(History& history, Targets& targets, std::uint16_t last) {
  const int first = last + 1 - HISTORY_TRIM_KEEP;
  if constexpr (requires { history.joined; }) {
    std::copy(history.joined.begin() + first, history.joined.begin() + last + 1,
              history.joined.begin());
    history.joined[0] = 0;  // a group cut by the trim starts afresh
  }
  std::copy(history.entries.begin() + first, history.entries.begin() + last + 1,
            history.entries.begin());
  std::copy(targets.begin() + first, targets.begin() + last + 1, targets.begin());
  return static_cast<std::uint16_t>(HISTORY_TRIM_KEEP - 1);
}

}  // namespace

void recordGridChange(NoteStore& notes, std::uint32_t position, std::uint8_t newByte) {
  if (position >= notes.lineMap.size()) return;
  GridHistory& h = notes.gridHistory;
  std::uint8_t oldByte = notes.lineMap[position];
  if (h.groupStart) {
    h.groupStart = 0;
  } else {
    oldByte |= LINE_GROUP_MARK;
    newByte |= LINE_GROUP_MARK;
  }
  if (h.count > 0 && h.entries[h.count - 1].newByte == newByte &&
      h.positions[h.count - 1] == position) {
    return;
  }
  std::uint16_t at = h.count;
  h.entries[at] = {oldByte, newByte};
  h.positions[at] = position;
  if (at > HISTORY_TRIM_INDEX) at = trim(h, h.positions, at);
  h.count = static_cast<std::uint16_t>(at + 1);
  h.recorded = h.count;
  h.modified = 1;
}

void undoGrid(NoteStore& notes) {
  GridHistory& h = notes.gridHistory;
  if (h.empty()) return;
  bool more = true;
  while (more && h.count > 0) {
    --h.count;
    const GridHistory::Entry entry = h.entries[h.count];
    const std::uint32_t position = h.positions[h.count];
    if (position != 0 && position < notes.positions) {
      notes.lineMap[position] = entry.oldByte & static_cast<std::uint8_t>(~LINE_GROUP_MARK);
      notes.gridChanged = 1;
    }
    more = (entry.oldByte & LINE_GROUP_MARK) != 0;
  }
  notes.autosaveDirty = 1;
  syncMarkers(notes);
  rebuildLineIndex(notes);
}

void redoGrid(NoteStore& notes) {
  GridHistory& h = notes.gridHistory;
  if (!h.canRedo()) return;
  bool more = true;
  while (more && h.count < h.recorded) {
    const GridHistory::Entry entry = h.entries[h.count];
    const std::uint32_t position = h.positions[h.count];
    ++h.count;
    more = h.count < h.recorded && (h.entries[h.count].oldByte & LINE_GROUP_MARK) != 0;
    if (position != 0 && position < notes.positions) {
      notes.lineMap[position] = entry.newByte & static_cast<std::uint8_t>(~LINE_GROUP_MARK);
      notes.gridChanged = 1;
    }
  }
  notes.autosaveDirty = 1;
  syncMarkers(notes);
  rebuildLineIndex(notes);
}

void clearGridHistory(NoteStore& notes) {
  GridHistory& h = notes.gridHistory;
  h.entries.fill({});
  h.positions.fill(0);
  h.count = 0;
  h.recorded = 0;
  h.groupStart = 1;
  h.modified = 0;
}

void recordNoteChange(NoteStore& notes, std::uint32_t slot, std::int32_t newWord) {
  if (slot >= notes.slots.size()) return;
  NoteHistory& h = notes.noteHistory;
  const std::int32_t oldWord = notes.slots[slot];
  if (h.count > 0 && h.entries[h.count - 1].newWord == newWord && h.slots[h.count - 1] == slot) {
    return;
  }
  std::uint16_t at = h.count;
  h.entries[at] = {oldWord, newWord};
  h.slots[at] = slot;
  h.joined[at] = h.grouping && h.groupOpen ? 1 : 0;
  if (h.grouping) h.groupOpen = 1;
  if (at > HISTORY_TRIM_INDEX) at = trim(h, h.slots, at);
  h.count = static_cast<std::uint16_t>(at + 1);
  h.recorded = h.count;
  h.modified = 1;
}

// An entry is applied only while its slot still holds what the entry expects:
// a slot that something else has changed since is left alone rather than
// overwritten with a note from another time.
void undoNote(NoteStore& notes, CellGrid& grid) {
  NoteHistory& h = notes.noteHistory;
  while (!h.empty()) {
    --h.count;
    const NoteHistory::Entry entry = h.entries[h.count];
    const std::uint32_t slot = h.slots[h.count];
    if (slot < notes.slots.size() && notes.slots[slot] == entry.newWord) {
      notes.slots[slot] = entry.oldWord;
      notes.autosaveDirty = 1;
    }
    if (!h.joined[h.count]) break;
  }
  rebuildCells(grid, notes);
}

void redoNote(NoteStore& notes, CellGrid& grid) {
  NoteHistory& h = notes.noteHistory;
  for (bool first = true; h.canRedo() && (first || h.joined[h.count]); first = false) {
    const NoteHistory::Entry entry = h.entries[h.count];
    const std::uint32_t slot = h.slots[h.count];
    ++h.count;
    if (slot < notes.slots.size() && notes.slots[slot] == entry.oldWord) {
      notes.slots[slot] = entry.newWord;
      // A redo changes the score as much as an undo does; the autosave must see it.
      notes.autosaveDirty = 1;
    }
  }
  rebuildCells(grid, notes);
}

void beginNoteGroup(NoteStore& notes) {
  notes.noteHistory.grouping = 1;
  notes.noteHistory.groupOpen = 0;
}

void endNoteGroup(NoteStore& notes) {
  notes.noteHistory.grouping = 0;
  notes.noteHistory.groupOpen = 0;
}

void clearNoteHistory(NoteStore& notes) {
  NoteHistory& h = notes.noteHistory;
  h.entries.fill({});
  h.slots.fill(0);
  h.joined.fill(0);
  h.count = 0;
  h.recorded = 0;
  h.modified = 0;
}

void translateNoteHistory(NoteHistory& history, std::uint32_t from, std::uint32_t to,
                          std::uint32_t length) {
  for (std::uint16_t k = 0; k < history.recorded; ++k) {
    std::uint32_t& slot = history.slots[k];
    if (slot != HISTORY_VOID_SLOT && slot >= from && slot - from < length) slot = slot - from + to;
  }
}

}  // namespace quavrix
