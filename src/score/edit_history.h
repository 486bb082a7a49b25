#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The two edit histories of the score. Neither stores snapshots: every entry
// is one byte of the line map or one note slot, with its value before and
// after the change. The grid history groups its entries so that one editor
// operation is undone as a whole; the note history undoes one entry a call.

#include <array>
#include <cstdint>

namespace quavrix {

struct NoteStore;
struct CellGrid;

inline constexpr int HISTORY_CAPACITY = 2048;
// When an entry is written past this index, the oldest entries are dropped.
inline constexpr int HISTORY_TRIM_INDEX = 2040;
// Number of most recent entries a trim keeps.
inline constexpr int HISTORY_TRIM_KEEP = 1024;
// Slot number of a note history entry whose note no longer exists (dropped by
// compaction); undo and redo step over it without writing.
inline constexpr std::uint32_t HISTORY_VOID_SLOT = 0xFFFFFFFFu;

struct GridHistory {
  struct Entry {
    std::uint8_t oldByte = 0;  // 0x80 on both bytes: continues the group before it
    std::uint8_t newByte = 0;
  };
  std::array<Entry, HISTORY_CAPACITY> entries{};
  std::array<std::uint32_t, HISTORY_CAPACITY> positions{};
  std::uint16_t count = 0;     // entries in effect; the next one is written at count
  std::uint16_t recorded = 0;  // entries count .. recorded - 1 can be redone
  int groupStart = 1;          // the next recorded change begins a new group
  int modified = 0;            // a grid change was recorded since the last save or load

  bool empty() const { return count == 0; }
  bool canRedo() const { return count < recorded; }
};

struct NoteHistory {
  struct Entry {
    std::int32_t oldWord = 0;
    std::int32_t newWord = 0;
  };
  std::array<Entry, HISTORY_CAPACITY> entries{};
  std::array<std::uint32_t, HISTORY_CAPACITY> slots{};
  // 1: the entry belongs to the group of the entry before it (several notes
  // placed by one command are undone and redone together).
  std::array<std::uint8_t, HISTORY_CAPACITY> joined{};
  std::uint16_t count = 0;
  std::uint16_t recorded = 0;
  int modified = 0;   // a note change was recorded since the last save or load
  int grouping = 0;   // between beginNoteGroup and endNoteGroup
  int groupOpen = 0;  // the group has its first entry

  bool empty() const { return count == 0; }
  bool canRedo() const { return count < recorded; }
};

// Called by setLine before it writes the byte.
void recordGridChange(NoteStore& notes, std::uint32_t position, std::uint8_t newByte);
// Beat-editor Undo and Redo: one group per call. Both end with rebuildLineIndex.
void undoGrid(NoteStore& notes);
void redoGrid(NoteStore& notes);
void clearGridHistory(NoteStore& notes);

// Called by every recorded note write before it writes the slot.
void recordNoteChange(NoteStore& notes, std::uint32_t slot, std::int32_t newWord);
// Edit menu Undo and Redo: one entry, or one group of entries, per call, then rebuildCells.
void undoNote(NoteStore& notes, CellGrid& grid);
void redoNote(NoteStore& notes, CellGrid& grid);
// The note changes recorded between these two calls form one undo group.
void beginNoteGroup(NoteStore& notes);
void endNoteGroup(NoteStore& notes);
void clearNoteHistory(NoteStore& notes);

// Moves note history entries along with note slots that moved, so that undo
// reaches the notes where they now are. Entries naming slots from .. from +
// length - 1 are shifted by to - from.
void translateNoteHistory(NoteHistory& history, std::uint32_t from, std::uint32_t to,
                          std::uint32_t length);

}  // namespace quavrix
