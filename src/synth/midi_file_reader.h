#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads Standard MIDI Files (format 0 and 1) into one time-ordered list of the
// events a General MIDI player needs: notes and program changes, with every
// time converted to seconds through the file's tempo changes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quavrix {

enum class MidiEventKind : std::uint8_t { NoteOn, NoteOff, ProgramChange };

struct MidiEvent {
  double seconds = 0.0;
  MidiEventKind kind = MidiEventKind::NoteOn;
  std::uint8_t channel = 0;  // 0..15; 9 is the drum channel
  std::uint8_t key = 0;      // note number, or the program of a program change
  std::uint8_t velocity = 0;
};

struct MidiSong {
  int format = 0;
  int trackCount = 0;
  int division = 0;
  std::vector<MidiEvent> events;  // by time, then by track and file order
  double lengthSeconds = 0.0;     // time of the last event of any track
  int tempoChanges = 0;
};

// Larger files are refused unread: even dense arrangements stay far below.
inline constexpr std::size_t MIDI_FILE_MAX_BYTES = 256u << 20;

// Parses a file image. False with a one-line reason in `error` when it is not
// a format 0 or 1 file; damage inside a track ends that track.
bool parseMidiFile(const std::uint8_t* data, std::size_t size, MidiSong& song, std::string& error);
// Reads and parses a file. A file that cannot be read (missing, a folder, a
// read error, too large) gives the system's reason in `error`.
bool readMidiFile(const std::string& path, MidiSong& song, std::string& error);

}  // namespace quavrix
