// SPDX-License-Identifier: GPL-3.0-or-later
// The grid tempo: a tempo event wherever the beat interval changes, so that
// every line is heard where it lies in the recording; time signatures where
// the number of beats in a bar changes; one track per exported instrument.

#include <ostream>

#include "persist/midi_events.h"
#include "persist/midi_export.h"

namespace quavrix::midi {

namespace {

// Microseconds of a beat `interval` positions long, rounded.
std::uint64_t intervalMicros(std::uint32_t interval) {
  const std::uint64_t frames = static_cast<std::uint64_t>(interval) * FRAMES_PER_POSITION;
  return (frames * 1000000 + SAMPLE_RATE / 2) / SAMPLE_RATE;
}

// The tempo of every beat, from its line to the next beat line; the range's
// first entry starts a beat whatever line it is, as its tick 0 does.
bool addTempoMap(const std::vector<Entry>& entries, std::vector<Event>& events,
                 std::string& refusal) {
  std::vector<std::size_t> beats;
  for (std::size_t k = 0; k < entries.size(); ++k)
    if (k == 0 || isBeat(entries[k])) beats.push_back(k);
  if (beats.size() < 2) {
    refusal = MIDI_NO_NEXT_LINE_TEXT;
    return false;
  }
  std::uint64_t written = 0;
  for (std::size_t i = 0; i + 1 < beats.size(); ++i) {
    const Entry& from = entries[beats[i]];
    const std::uint32_t interval = entries[beats[i + 1]].position - from.position;
    const std::uint64_t micros = intervalMicros(interval);
    if (micros > MAX_TEMPO_MICROS) {
      refusal = beatTooLongText(from.position, interval);
      return false;
    }
    if (micros == written) continue;
    events.push_back(tempoEvent(from.tick, static_cast<std::uint32_t>(micros)));
    written = micros;
  }
  return true;
}

// A time signature at the start and wherever the beats between bar lines
// change. A range that starts inside a bar begins with a short bar, so that
// the following bar lines fall where the grid has them. The beats after the
// last bar line make no bar of their own; a range without bar lines is 4/4.
void addTimeSignatures(const std::vector<Entry>& entries, std::vector<Event>& events) {
  std::vector<std::size_t> bars;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (k == 0 || (isBar(entries[k]) && isBeat(entries[k]))) bars.push_back(k);
  }
  int written = 0;
  for (std::size_t i = 0; i + 1 < bars.size(); ++i) {
    const std::int32_t from = entries[bars[i]].tick;
    const int beats = (entries[bars[i + 1]].tick - from) / MIDI_TICKS_PER_QUARTER;
    if (beats == written) continue;
    events.push_back(timeSignatureEvent(from, beats));
    written = beats;
  }
  if (written == 0) events.push_back(timeSignatureEvent(0, 4));
}

}  // namespace

bool buildTempoMapFile(std::vector<Entry>& entries, const SettingValues& values,
                       const std::array<std::string, 8>& trackNames, std::ostream& diagnostics,
                       std::vector<std::uint8_t>& file, std::string& refusal) {
  std::vector<Event> conductor;
  if (!addTempoMap(entries, conductor, refusal)) return false;
  addTimeSignatures(entries, conductor);
  // The tick track's percussion channel, as the single-tempo file sets it.
  conductor.push_back(programEvent(PERCUSSION_CHANNEL, 0));

  std::array<std::vector<Event>, 8> tracks;
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    if (values.midiOutput[t] == 0) continue;
    const std::string& name = trackNames[t];
    tracks[t].push_back(trackNameEvent(name.empty() ? "Track " + std::to_string(t) : name));
    tracks[t].push_back(programEvent(t, exportedProgram(values, t)));
  }
  // The last entry is the END line itself: nothing starts there.
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    const Entry& e = entries[i];
    const int t = exportedTrack(e, values);
    if (t == 0) continue;
    if (!keyInRange(e)) {
      refusal = MIDI_BAD_KEY_TEXT;
      return false;
    }
    const int midiKey = noteKey(e.note) + KEY_TO_MIDI;
    const int velocity = velocityFor(values.level[t + LEVEL_TRACK_OFFSET]);
    tracks[t].push_back(noteEvent(e.tick, t, midiKey, velocity));
    tracks[t].push_back(noteEvent(e.endTick, t, midiKey, 0));
  }

  std::vector<std::vector<std::uint8_t>> chunks = {trackChunk(conductor, diagnostics)};
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t)
    if (values.midiOutput[t] != 0) chunks.push_back(trackChunk(tracks[t], diagnostics));
  file = midiFile(1, chunks);
  return true;
}

}  // namespace quavrix::midi
