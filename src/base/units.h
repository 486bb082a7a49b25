#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Units, constants and bit layouts shared by every layer of Quavrix.

#include <cstdint>

namespace quavrix {

// Audio format of everything the program plays and analyses.
inline constexpr int SAMPLE_RATE = 44100;
// Every sample buffer starts with this many silent frames; frame f of a file
// lives at buffer index LEAD_IN_FRAMES + f.
inline constexpr int LEAD_IN_FRAMES = 8192;

// A position is the time unit of the grid and the notes: 32 frames (~0.73 ms).
inline constexpr int FRAMES_PER_POSITION = 32;
// Positions 0 .. LEAD_IN_POSITIONS - 1 are the silent lead-in.
inline constexpr int LEAD_IN_POSITIONS = LEAD_IN_FRAMES / FRAMES_PER_POSITION;

// Tempo in beats per minute = BPM_FACTOR / beat interval in positions.
inline constexpr double BPM_FACTOR = 82687.5;  // 60 * 44100 / 32
// Shortest and longest beat interval the beat editor accepts (187 and 50 BPM).
inline constexpr float MIN_INTERVAL = 442.17914f;
inline constexpr float MAX_INTERVAL = 1653.75f;

// LineMap flag bits, one byte per position.
inline constexpr std::uint8_t LINE_DIVISION = 0x01;
inline constexpr std::uint8_t LINE_BEAT = 0x04;
inline constexpr std::uint8_t LINE_LOCK = 0x08;
inline constexpr std::uint8_t LINE_BAR = 0x10;
inline constexpr std::uint8_t LINE_END = 0x20;
inline constexpr std::uint8_t LINE_START = 0x40;
// Never stored in the map: the grid history marks the start of an undo group with it.
inline constexpr std::uint8_t LINE_GROUP_MARK = 0x80;
// The lines that are drawn and that hold columns of cells.
inline constexpr std::uint8_t LINE_VISIBLE = LINE_BEAT | LINE_DIVISION;

// Tracks: 0 is the tick track, 1..7 are instrument tracks.
inline constexpr int TRACK_COUNT = 8;
// Keys 1..84; key k sounds MIDI note k + KEY_TO_MIDI.
inline constexpr int KEY_COUNT = 84;
inline constexpr int KEY_TO_MIDI = 23;
// The notes of one line occupy at most this many slots behind it.
inline constexpr int SLOTS_PER_LINE = 16;

// Note word: one signed 32-bit value per position slot.
//   bit 31      deleted mark (awaits compaction)
//   bits 24..30 track
//   bits 16..23 key
//   bits 0..15  duration in positions from the slot's own position
inline constexpr std::uint32_t NOTE_DELETED = 0x80000000u;
inline constexpr std::uint32_t NOTE_DURATION_MASK = 0xFFFFu;

constexpr std::int32_t makeNote(int track, int key, int duration) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(track & 0x7F) << 24) |
                                   (static_cast<std::uint32_t>(key & 0xFF) << 16) |
                                   (static_cast<std::uint32_t>(duration) & NOTE_DURATION_MASK));
}
constexpr bool noteDeleted(std::int32_t word) {
  return (static_cast<std::uint32_t>(word) & NOTE_DELETED) != 0;
}
constexpr int noteTrack(std::int32_t word) {
  return static_cast<int>((static_cast<std::uint32_t>(word) >> 24) & 0x7F);
}
constexpr int noteKey(std::int32_t word) {
  return static_cast<int>((static_cast<std::uint32_t>(word) >> 16) & 0xFF);
}
constexpr int noteDuration(std::int32_t word) {
  return static_cast<int>(static_cast<std::uint32_t>(word) & NOTE_DURATION_MASK);
}
// Upper 16 bits: (deleted << 15) | (track << 8) | key, the value the note-off table holds.
constexpr std::uint16_t noteHead(std::int32_t word) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(word) >> 16);
}

// Note-off table entry bit that marks the note-off of a deleted note.
inline constexpr std::uint16_t NOTE_OFF_DELETED = 0x8000;

// CellGrid cell values.
inline constexpr std::uint8_t CELL_START = 8;
inline constexpr std::uint8_t CELL_HOLD = 1;

}  // namespace quavrix
