#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Fixtures for the MIDI export: scores built straight into a NoteStore, and a
// small reader for the files the export writes.

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "score/note_store.h"

namespace quavrix::test {

// A score of `positions` positions with empty grid and slots.
NoteStore emptyScore(std::uint32_t positions);

// Sets a line byte (LINE_* flags) at a position.
void putLine(NoteStore& notes, std::uint32_t position, std::uint8_t flags);
// Puts a note word into the slot at a position.
void putNote(NoteStore& notes, std::uint32_t position, int track, int key, int duration);

// START bar at `start`, then `beats` beats `interval` positions apart with a
// bar every `beatsPerBar`, the last one the END bar; sets the markers.
// Returns the position of every beat, START and END included.
std::vector<std::uint32_t> putBeats(NoteStore& notes, std::uint32_t start, std::uint32_t interval,
                                    int beats, int beatsPerBar = 4);

struct MidiEvent {
  std::int64_t tick = 0;
  std::vector<std::uint8_t> bytes;  // status byte first; meta events start with 0xFF

  friend auto operator<=>(const MidiEvent&, const MidiEvent&) = default;
};

struct MidiFileContents {
  bool ok = false;
  std::string error;  // why ok is false
  int format = -1;
  int tracks = 0;
  int division = 0;
  std::vector<MidiEvent> events;                    // of the first track, absolute ticks
  std::vector<std::vector<MidiEvent>> trackEvents;  // of every track
  bool endOfTrackLast = false;                      // in every track
};

// Reads an SMF as our export writes it (no running status).
MidiFileContents readMidi(const std::vector<std::uint8_t>& bytes);
MidiFileContents readMidiFile(const std::string& path);
std::vector<std::uint8_t> readBytes(const std::string& path);

// A 64-bit FNV-1a digest, to pin a whole file's bytes in a test.
std::uint64_t fingerprint(const std::vector<std::uint8_t>& bytes);

}  // namespace quavrix::test
