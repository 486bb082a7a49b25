#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The beat grid: one flag byte per position in NoteStore::lineMap. Every grid
// query is a scan of that map; every user-visible change is a write of single
// bytes through setLine, which records it for undo.

#include <cstdint>
#include <span>
#include <string>

#include "score/note_store.h"

namespace quavrix {

// The only recorded write of a line byte. Positions at or beyond N are ignored.
void setLine(NoteStore& notes, std::uint32_t position, std::uint8_t value, bool record);

// Refills lineIndex with every position that holds a line.
void rebuildLineIndex(NoteStore& notes);

// Resets the grid to one beat at the first position of every run of non-zero
// onset values (one value per position).
void seedBeats(NoteStore& notes, std::span<const float> onsets);

// Mean beat interval of the beats in [start, end), or 0.
float measureInterval(const NoteStore& notes, std::uint32_t start, std::uint32_t end);

// Number of beats in the last bar of [start, end], or 0 without two bar lines.
int beatsInBar(const NoteStore& notes, std::uint32_t start, std::uint32_t end);

// Tempo display of the beat page: "%3.2f", "Fixed %3.2f" or "Unknown".
std::string intervalText(const NoteStore& notes);

// "%4d" of a beats-in-bar count, or "Unknown" below 1.
std::string beatsInBarText(int count);

// First position >= from (below N) whose byte has any of `mask`'s bits, or N.
std::uint32_t nextLine(const NoteStore& notes, std::uint32_t from, std::uint8_t mask = 0xFF);

// Last position in [floor, from] (from clipped to N - 1) whose byte has any of
// `mask`'s bits, or NO_LINE.
inline constexpr std::uint32_t NO_LINE = 0xFFFFFFFFu;
std::uint32_t previousLine(const NoteStore& notes, std::uint32_t from, std::uint32_t floor,
                           std::uint8_t mask = 0xFF);

inline bool hasFlag(const NoteStore& notes, std::uint32_t position, std::uint8_t flag) {
  return position < notes.positions && (notes.lineMap[position] & flag) != 0;
}

// Takes the START and END marker positions from the marker bits of the map
// (0 where none is set), after an operation that may have moved or removed them.
void syncMarkers(NoteStore& notes);

// Moves the notes of the line at `from` (its run of occupied slots) to the
// run at `to`, keeping every note's end relative to its start. Refuses (false,
// nothing changed) when the run would leave the slot table or land on notes
// that do not move with it. Note history entries follow the notes.
bool moveSlots(NoteStore& notes, std::uint32_t from, std::uint32_t to);

// Moves a line byte and its notes from one position to another by direct,
// unrecorded writes. Returns false (nothing changed) when the notes cannot move.
bool moveLine(NoteStore& notes, std::uint32_t from, std::uint32_t to);

}  // namespace quavrix
