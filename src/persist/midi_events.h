#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces both MIDI exports share: the entries collected from the grid and
// the notes, their ticks, the events built from them and the chunks that
// hold the events. Only the export's own files include this.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "persist/settings.h"
#include "score/note_store.h"

namespace quavrix::midi {

inline constexpr std::uint8_t META = 0xFF;
inline constexpr std::uint8_t META_TRACK_NAME = 0x03;
inline constexpr std::uint8_t META_TEMPO = 0x51;
inline constexpr std::uint8_t META_TIME_SIGNATURE = 0x58;
inline constexpr std::uint8_t META_END_OF_TRACK = 0x2F;
inline constexpr int PERCUSSION_CHANNEL = 9;
inline constexpr int MIN_EXPORT_KEY = 1;
inline constexpr int MAX_EXPORT_KEY = 85;
// Largest microseconds per quarter a tempo event holds (three bytes).
inline constexpr std::uint32_t MAX_TEMPO_MICROS = 0xFFFFFF;

// One collected position of the range: a line, a live note, or both.
struct Entry {
  std::uint32_t position = 0;
  std::uint8_t flags = 0;
  std::int32_t note = 0;
  int tempo = 0;  // BPM found at a bar entry (single tempo), 0 = none
  // Held in 32 bits: a long range must not wrap around.
  std::int32_t tick = 0;
  std::int32_t endTick = 0;
};

// Order of messages that share a tick.
enum Rank : std::uint8_t { RANK_META = 0, RANK_CHANNEL = 1, RANK_NOTE_OFF = 2, RANK_NOTE_ON = 3 };

struct Event {
  std::int32_t tick = 0;
  Rank rank = RANK_CHANNEL;
  std::vector<std::uint8_t> bytes;
};

inline bool isBeat(const Entry& e) {
  return (e.flags & LINE_BEAT) != 0;
}
inline bool isDivision(const Entry& e) {
  return (e.flags & LINE_DIVISION) != 0;
}
inline bool isBar(const Entry& e) {
  return (e.flags & LINE_BAR) != 0;
}

// Every position of start..end with a line or a live note, in order.
std::vector<Entry> collectEntries(const NoteStore& notes, std::uint32_t start, std::uint32_t end);
// 240 ticks per beat counted from the first entry; divisions share their beat
// evenly and notes behind a division sit on it.
void assignTicks(std::vector<Entry>& entries);
// Note-offs 8 ticks before the line that follows a note's end.
void assignEndTicks(std::vector<Entry>& entries);

Event tempoEvent(std::int32_t tick, std::uint32_t microsPerQuarter);
Event timeSignatureEvent(std::int32_t tick, int beatsPerBar);
Event trackNameEvent(const std::string& name);
Event programEvent(int channel, int program);
Event noteEvent(std::int32_t tick, int channel, int key, int velocity);

// Velocity of a note from a track level 0..1.
int velocityFor(float level);
// The exported program of track t: the 0-based preset place, 0 for none.
int exportedProgram(const SettingValues& values, int track);

// The track 1..7 whose output flag is set that the entry's note goes to, or
// 0 when the entry exports no note (none, the tick track, a track left out).
int exportedTrack(const Entry& e, const SettingValues& values);
bool keyInRange(const Entry& e);

// Sorts the events (by tick, then by rank) into an "MTrk" chunk ending with
// the end-of-track event.
std::vector<std::uint8_t> trackChunk(std::vector<Event>& events, std::ostream& diagnostics);
// "MThd" with 240 ticks per quarter, then the chunks.
std::vector<std::uint8_t> midiFile(int format,
                                   const std::vector<std::vector<std::uint8_t>>& chunks);

// The grid tempo's file from the collected entries, their ticks assigned:
// false, with the text of the refusal in `refusal`, when it cannot be built.
bool buildTempoMapFile(std::vector<Entry>& entries, const SettingValues& values,
                       const std::array<std::string, 8>& trackNames, std::ostream& diagnostics,
                       std::vector<std::uint8_t>& file, std::string& refusal);

}  // namespace quavrix::midi
