// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/note_store.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <ostream>
#include <unordered_set>

#include "base/prompter.h"
#include "score/beat_grid.h"

namespace quavrix {

namespace {

constexpr std::uint32_t LIVE_BITS = 0x7FFFFFFFu;

template <typename T>
void release(LargeBuffer<T>& v) {
  LargeBuffer<T>().swap(v);
}

std::int32_t withDuration(std::int32_t word, std::int64_t duration) {
  const std::int64_t clamped = std::clamp<std::int64_t>(duration, 0, MAX_NOTE_DURATION);
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(word) & ~NOTE_DURATION_MASK) |
                                   static_cast<std::uint32_t>(clamped));
}

// Shifts the duration of a history word by `delta` so that the note keeps its
// end after its start slot moved `delta` positions earlier.
std::int32_t shiftedWord(std::int32_t word, std::int64_t delta) {
  if ((static_cast<std::uint32_t>(word) & LIVE_BITS) == 0) return word;
  return withDuration(word, noteDuration(word) + delta);
}

// Where one note that history entries name went during compaction.
struct SlotMove {
  std::uint32_t from;
  std::uint32_t to;
};

// Points the note history at the slots the notes were packed into; entries
// whose note was dropped can no longer be undone or redone and become void.
void followCompaction(NoteStore& notes, const std::vector<SlotMove>& moves) {
  NoteHistory& history = notes.noteHistory;
  for (std::uint16_t k = 0; k < history.count; ++k) {
    std::uint32_t& slot = history.slots[k];
    const auto it = std::lower_bound(moves.begin(), moves.end(), slot,
                                     [](const SlotMove& m, std::uint32_t s) { return m.from < s; });
    if (it == moves.end() || it->from != slot) {
      slot = HISTORY_VOID_SLOT;
      continue;
    }
    const std::int64_t delta = static_cast<std::int64_t>(it->from) - it->to;
    slot = it->to;
    history.entries[k].oldWord = shiftedWord(history.entries[k].oldWord, delta);
    history.entries[k].newWord = shiftedWord(history.entries[k].newWord, delta);
  }
  // Compaction may have changed the length of a live note; the latest entry of
  // each slot must describe what the slot holds now, or undo would refuse it.
  std::unordered_set<std::uint32_t> seen;
  for (int k = history.count - 1; k >= 0; --k) {
    const std::uint32_t slot = history.slots[k];
    if (slot == HISTORY_VOID_SLOT || !seen.insert(slot).second) continue;
    history.entries[k].newWord = notes.slots[slot];
  }
}

}  // namespace

int allocateScoreArrays(ScoreArrays& arrays, std::uint32_t totalFrames, Prompter& prompter) {
  const std::uint32_t n = totalFrames / FRAMES_PER_POSITION;
  arrays = ScoreArrays{};
  try {
    const std::size_t size = static_cast<std::size_t>(n) + POSITION_SLACK;
    // Fresh buffers read as zeros; pages a score never writes are never touched.
    arrays.lineMap.resize(size);
    arrays.slots.resize(size);
    arrays.noteOffs.resize(size);
    arrays.lineIndex.resize(size);
  } catch (const std::bad_alloc&) {
    arrays = ScoreArrays{};
    prompter.error("INIT note\n Fatal ERR :  insufficient memory ");
    return 0;
  }
  arrays.positions = n;
  arrays.totalFrames = totalFrames;
  return 1;
}

void installScoreArrays(NoteStore& notes, ScoreArrays&& arrays) {
  notes.lineMap = std::move(arrays.lineMap);
  notes.slots = std::move(arrays.slots);
  notes.noteOffs = std::move(arrays.noteOffs);
  notes.lineIndex = std::move(arrays.lineIndex);
  notes.positions = arrays.positions;
  notes.totalFrames = arrays.totalFrames;
  notes.lineCount = 0;
  notes.allocated = 1;
  // Nothing of the previous recording may survive into this one: its history
  // entries and markers name positions of another map.
  clearGridHistory(notes);
  clearNoteHistory(notes);
  notes.startMarker = 0;
  notes.endMarker = 0;
  notes.gridChanged = 0;
  notes.autosaveDirty = 0;
  notes.initialised = 1;
  arrays = ScoreArrays{};
}

int allocateNotes(NoteStore& notes, std::uint32_t totalFrames, Prompter& prompter) {
  notes.allocated = 0;
  notes.initialised = 0;
  release(notes.lineMap);
  release(notes.slots);
  release(notes.noteOffs);
  release(notes.lineIndex);
  notes.positions = 0;
  notes.lineCount = 0;
  ScoreArrays arrays;
  if (!allocateScoreArrays(arrays, totalFrames, prompter)) return 0;
  installScoreArrays(notes, std::move(arrays));
  return 1;
}

void clearNotes(NoteStore& notes) {
  if (notes.slots.empty()) return;
  std::fill(notes.slots.begin(), notes.slots.end(), 0);
}

bool placeNoteOff(NoteStore& notes, std::uint32_t end, std::uint16_t value) {
  const std::size_t size = notes.noteOffs.size();
  for (std::uint32_t back = 0; back < SLOTS_PER_LINE && back <= end; ++back) {
    const std::size_t at = end - back;
    if (at >= size) continue;
    std::uint16_t& entry = notes.noteOffs[at];
    if (entry == 0 || (entry & NOTE_OFF_DELETED) != 0) {
      entry = value;
      return true;
    }
  }
  return false;
}

void buildNoteOffs(NoteStore& notes) {
  if (notes.noteOffs.empty()) return;
  // The whole table, slack included: a rebuild must not keep note-offs of
  // notes that are gone.
  std::fill(notes.noteOffs.begin(), notes.noteOffs.end(), 0);
  for (std::uint32_t p = 0; p < notes.positions; ++p) {
    const std::int32_t word = notes.slots[p];
    if ((static_cast<std::uint32_t>(word) & LIVE_BITS) == 0) continue;
    placeNoteOff(notes, p + static_cast<std::uint32_t>(noteDuration(word)), noteHead(word));
  }
}

void compactNotes(NoteStore& notes) {
  if (!notes.ready()) return;
  const std::uint32_t n = notes.positions;
  NoteHistory& history = notes.noteHistory;
  // Undone entries name slots that compaction is about to reuse.
  history.recorded = history.count;

  // Deleted notes that history entries still name are kept (and moved with
  // their line), so that undoing the deletion brings them back.
  std::vector<std::uint32_t> referenced;
  referenced.reserve(history.count);
  for (std::uint16_t k = 0; k < history.count; ++k) {
    if (history.slots[k] != HISTORY_VOID_SLOT) referenced.push_back(history.slots[k]);
  }
  std::sort(referenced.begin(), referenced.end());
  const auto isReferenced = [&referenced](std::uint32_t slot) {
    return std::binary_search(referenced.begin(), referenced.end(), slot);
  };

  std::vector<std::int32_t> scratch(notes.slots.size(), 0);
  std::vector<SlotMove> moves;
  const std::uint32_t* lineBegin = notes.lineIndex.data();
  // The last line never ends a note: a note reaching past the second-to-last
  // line keeps its own end.
  const std::uint32_t* lineLast =
      notes.lineCount >= 2 ? lineBegin + (notes.lineCount - 1) : lineBegin;

  // A run that reaches into the next line's slots hands them over: a slot is
  // packed once, by the first line whose run reaches it.
  std::uint32_t consumedUntil = 0;
  for (std::uint32_t i = nextLine(notes, 0); i < n; i = nextLine(notes, i + 1)) {
    const std::uint32_t firstOffset = consumedUntil > i ? consumedUntil - i : 0;
    for (std::uint32_t j = firstOffset; j < SLOTS_PER_LINE; ++j) {
      const std::uint32_t from = i + j;
      const std::int32_t word = notes.slots[from];
      if (word == 0) break;
      consumedUntil = from + 1;
      const bool deleted = noteDeleted(word);
      const bool keep = isReferenced(from);
      if (deleted && !keep) continue;

      const std::int64_t ownEnd = static_cast<std::int64_t>(j) + noteDuration(word);
      std::int64_t end = ownEnd;
      if (!deleted && notes.lineCount >= 2) {
        const std::uint32_t* next =
            std::upper_bound(lineBegin, lineLast, i + static_cast<std::uint32_t>(ownEnd));
        if (next != lineLast) end = static_cast<std::int64_t>(*next) - i - 1;
      }
      std::uint32_t k = 0;
      while (k < SLOTS_PER_LINE && scratch[i + k] != 0) ++k;
      if (k == SLOTS_PER_LINE) continue;  // no room left on this line: the note is dropped
      std::int64_t duration = end - k;
      // A line far away must not wrap the 16-bit duration: keep the note's own end.
      if (duration > MAX_NOTE_DURATION) duration = ownEnd - k;
      scratch[i + k] = withDuration(word, duration);
      if (keep) moves.push_back({from, i + k});
    }
  }
  std::copy(scratch.begin(), scratch.begin() + n, notes.slots.begin());
  std::fill(notes.slots.begin() + n, notes.slots.end(), 0);
  followCompaction(notes, moves);
  buildNoteOffs(notes);
}

void dumpEvents(const NoteStore& notes, std::ostream& out, bool after) {
  out << (after
              ? "\n------------------------- After ----------------------------------------------\n"
              : "\n------------------------- Before "
                "---------------------------------------------\n");
  char line[256];
  for (std::uint32_t idx = 0; idx < notes.positions && idx < notes.slots.size(); ++idx) {
    const std::int32_t word = notes.slots[idx];
    if (word != 0) {
      const int duration = noteDuration(word);
      std::snprintf(line, sizeof line,
                    noteDeleted(word)
                        ? "ON -DEL  Idx:%8d - Prg:%4d Key:%4d     -Dur%6d     To%8d\n"
                        : "ON       Idx:%8d - Prg:%4d Key:%4d     -Dur%6d     To%8d\n",
                    static_cast<int>(idx), noteTrack(word), noteKey(word), duration,
                    static_cast<int>(idx) + duration);
      out << line;
    }
    const std::uint16_t off = notes.noteOffs[idx];
    if (off != 0) {
      std::snprintf(line, sizeof line,
                    (off & NOTE_OFF_DELETED) ? "OFF-DEL  Idx:%8d - Prg:%4d Key:%4d\n"
                                             : "OFF      Idx:%8d - Prg:%4d Key:%4d\n",
                    static_cast<int>(idx), (off >> 8) & 0x7F, off & 0xFF);
      out << line;
    }
  }
}

void setOrphanPolicy(NoteStore& notes, int command) {
  switch (command) {
    case 180:
      notes.discard = 1, notes.forward = 0, notes.neighbor = 0;
      break;
    case 181:
      notes.discard = 0, notes.forward = 1, notes.neighbor = 0;
      break;
    case 182:
      notes.discard = 0, notes.forward = 0, notes.neighbor = 1;
      break;
    case 183:
      notes.ask = notes.ask ? 0 : 1;
      break;
    default:
      break;
  }
}

}  // namespace quavrix
