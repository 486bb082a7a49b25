// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/midi_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <new>
#include <ostream>

#include "base/atomic_file.h"
#include "base/units.h"
#include "persist/midi_events.h"

namespace quavrix {

using midi::Entry;
using midi::Event;
using midi::isBar;
using midi::isBeat;

namespace {

std::uint32_t bpmMicros(int bpm) {
  return static_cast<std::uint32_t>(60.0 / bpm * 1000000.0 + 0.5);
}

// Finds the tempo of every bar that is followed directly by bar lines; in
// practice the tempo of the first beat. Returns the message of the first
// failure, or nullptr.
const char* findTempos(std::vector<Entry>& entries) {
  const std::size_t j = entries.size();
  std::size_t k = 0;
  while (isBar(entries[k])) {
    std::size_t k2 = k + 1;
    while (k2 < j && (entries[k2].flags & (LINE_BAR | LINE_BEAT)) == 0) ++k2;
    if (k2 >= j) return MIDI_NO_NEXT_LINE_TEXT;
    int beats = 0;
    for (std::size_t i = k + 1; i <= k2; ++i) beats += isBeat(entries[i]) ? 1 : 0;
    if (beats == 0) return MIDI_NO_NEXT_LINE_TEXT;
    const std::int64_t span = static_cast<std::int64_t>(entries[k2].position) - entries[k].position;
    if (span < 1) return MIDI_BAD_BAR_LINES_TEXT;
    const float bpmExact =
        static_cast<float>(beats) * static_cast<float>(BPM_FACTOR) / static_cast<float>(span);
    const int bpm = static_cast<int>(bpmExact);
    if (bpm < MIDI_MIN_BPM) return MIDI_TOO_SLOW_TEXT;
    if (bpm > MIDI_MAX_BPM) return MIDI_TOO_FAST_TEXT;
    entries[k].tempo = bpm;
    if (k2 == 0 || k2 >= j - 1) break;
    k = k2;
  }
  return nullptr;
}

}  // namespace

std::string midiPathForDat(const std::string& datPath) {
  const std::size_t at = datPath.rfind(".dat");
  if (at == std::string::npos) return std::string();
  std::string out = datPath;
  out.replace(at, 4, ".mid");
  return out;
}

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value,
                          std::ostream& diagnostics) {
  if (value > MIDI_MAX_VLQ) {
    diagnostics << "Error: number too large to convert to VLV\n";
    value = MIDI_MAX_VLQ;
  }
  std::array<std::uint8_t, 4> groups{};
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n-- > 0) out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0x00)));
}

MidiRange wholeGridRange(const NoteStore& notes) {
  MidiRange range{notes.startMarker, notes.endMarker};
  const std::uint32_t n =
      std::min<std::uint32_t>(notes.positions, static_cast<std::uint32_t>(notes.lineMap.size()));
  if (range.start == 0) {
    // The first bar line; but notes before it (a pickup) start the range at
    // the beat line before the first of them, so that none is left out.
    std::uint32_t firstBeat = 0;
    std::uint32_t lastBeat = 0;
    for (std::uint32_t p = 0; p < n && range.start == 0; ++p) {
      const std::uint8_t flags = notes.lineMap[p];
      if (flags & LINE_BEAT) {
        if (firstBeat == 0) firstBeat = p;
        lastBeat = p;
      }
      if ((flags & (LINE_BAR | LINE_BEAT)) == (LINE_BAR | LINE_BEAT)) {
        range.start = p;
      } else if (p < notes.slots.size() && notes.slots[p] > 0) {
        range.start = lastBeat != 0 ? lastBeat : p;
      }
    }
    if (range.start == 0) range.start = firstBeat;
  }
  if (range.end == 0) {
    for (std::uint32_t p = n; p-- > 0;) {
      if (notes.lineMap[p] & LINE_BEAT) {
        range.end = p;
        break;
      }
    }
  }
  return range;
}

std::string beatTooLongText(std::uint32_t position, std::uint32_t interval) {
  const double at =
      (static_cast<double>(position) * FRAMES_PER_POSITION - LEAD_IN_FRAMES) / SAMPLE_RATE;
  const double lasts = static_cast<double>(interval) * FRAMES_PER_POSITION / SAMPLE_RATE;
  const double limit = static_cast<double>(midi::MAX_TEMPO_MICROS) / 1e6;
  char text[200];
  std::snprintf(text, sizeof text,
                "MIDI SAVE\n The beat at %d:%06.3f lasts %.3f seconds,\n longer than a MIDI "
                "tempo can hold ( %.3f s ).\n\n Nothing was saved.",
                static_cast<int>(std::max(at, 0.0) / 60), std::fmod(std::max(at, 0.0), 60.0), lasts,
                limit);
  return text;
}

namespace {

// Without an END marker the last line is no more than the last beat: its
// notes (in the slots behind it) are taken too, closed by one more beat as
// long as the one before.
void closeAfterLastLine(const NoteStore& notes, std::uint32_t end, std::vector<Entry>& entries) {
  const std::uint32_t slotsEnd =
      std::min<std::uint32_t>(end + SLOTS_PER_LINE, static_cast<std::uint32_t>(notes.slots.size()));
  for (std::uint32_t p = end + 1; p < slotsEnd; ++p)
    if (notes.slots[p] > 0) entries.push_back({p, 0, notes.slots[p], 0, 0, 0});
  std::uint32_t previous = end;
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    if (isBeat(*e) && e->position < end) {
      previous = e->position;
      break;
    }
  }
  if (previous == end) return;  // a single beat: no length to repeat
  const std::uint32_t closing = std::max(end + (end - previous), entries.back().position + 1);
  entries.push_back({closing, LINE_BEAT, 0, 0, 0, 0});
}

// The one-track file of the single tempo: the tempo of the first beat, again
// on bar notes whose bar has a tempo of its own.
int buildSingleTempoFile(std::vector<Entry>& entries, const SettingValues& values,
                         Prompter& prompter, std::ostream& diagnostics,
                         std::vector<std::uint8_t>& file) {
  if (const char* failure = findTempos(entries)) {
    prompter.error(failure);
    return MIDI_EXPORT_REFUSED;
  }
  if (entries[0].tempo == 0) {
    prompter.error(MIDI_NO_TEMPO_TEXT);
    return MIDI_EXPORT_REFUSED;
  }
  midi::assignTicks(entries);
  midi::assignEndTicks(entries);

  std::vector<Event> events;
  events.push_back(midi::tempoEvent(0, bpmMicros(entries[0].tempo)));
  events.push_back(midi::programEvent(midi::PERCUSSION_CHANNEL, 0));
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t)
    events.push_back(midi::programEvent(t, midi::exportedProgram(values, t)));
  int lastTempo = 0;
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    const Entry& e = entries[i];
    const int t = midi::exportedTrack(e, values);
    if (t == 0) continue;
    if (!midi::keyInRange(e)) {
      prompter.error(MIDI_BAD_KEY_TEXT);
      return MIDI_EXPORT_REFUSED;
    }
    if (e.tempo != 0) {
      const float tempo = static_cast<float>(e.tempo);
      if (lastTempo < 0.94f * tempo || lastTempo > 1.06f * tempo) {
        events.push_back(midi::tempoEvent(e.tick, bpmMicros(e.tempo)));
        lastTempo = e.tempo;
      }
    }
    const int midiKey = noteKey(e.note) + KEY_TO_MIDI;
    const int velocity = midi::velocityFor(values.level[t + LEVEL_TRACK_OFFSET]);
    events.push_back(midi::noteEvent(e.tick, t, midiKey, velocity));
    events.push_back(midi::noteEvent(e.endTick, t, midiKey, 0));
  }
  file = midi::midiFile(0, {midi::trackChunk(events, diagnostics)});
  return MIDI_EXPORT_WRITTEN;
}

}  // namespace

int buildMidiFile(const NoteStore& notes, const SettingValues& values, std::uint32_t start,
                  std::uint32_t end, Prompter& prompter, std::ostream& diagnostics,
                  std::vector<std::uint8_t>& file, const MidiExportOptions& options) {
  if (notes.positions == 0 || notes.lineMap.empty() || notes.slots.empty()) {
    return MIDI_EXPORT_STOPPED;
  }
  if (end < start) {
    prompter.error(MIDI_END_BEFORE_START_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  if (end == 0 || end > notes.positions || end >= notes.lineMap.size() ||
      end >= notes.slots.size()) {
    prompter.error(MIDI_END_OUT_OF_SCOPE_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  std::vector<Entry> entries = midi::collectEntries(notes, start, end);
  if (entries.empty()) {
    prompter.error(MIDI_NO_LINES_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  if (options.notesOnLastLine) closeAfterLastLine(notes, end, entries);
  if (options.tempo == MidiTempo::Single)
    return buildSingleTempoFile(entries, values, prompter, diagnostics, file);

  midi::assignTicks(entries);
  midi::assignEndTicks(entries);
  std::string refusal;
  if (!midi::buildTempoMapFile(entries, values, options.trackNames, diagnostics, file, refusal)) {
    prompter.error(refusal);
    return MIDI_EXPORT_REFUSED;
  }
  return MIDI_EXPORT_WRITTEN;
}

int exportMidi(const NoteStore& notes, const SettingValues& values, const std::string& path,
               std::uint32_t start, std::uint32_t end, Prompter& prompter,
               std::ostream& diagnostics, std::string* failure, const MidiExportOptions& options) {
  std::vector<std::uint8_t> file;
  int built = MIDI_EXPORT_STOPPED;
  try {
    built = buildMidiFile(notes, values, start, end, prompter, diagnostics, file, options);
  } catch (const std::bad_alloc&) {
    built = MIDI_EXPORT_WRITE_FAILED;  // reported below like any other failed write
    if (failure) *failure = "not enough memory";
  }
  if (built == MIDI_EXPORT_STOPPED || built == MIDI_EXPORT_REFUSED) return built;
  // Through a temporary file renamed over the target: an old file survives a failure.
  if (built != MIDI_EXPORT_WRITTEN || path.empty() ||
      !writeFileAtomically(path, file.data(), file.size(), failure)) {
    diagnostics << "Error: could not write: " << path << "\n";
    prompter.error(std::string(MIDI_WRITE_FAILED_TEXT) + path);
    return MIDI_EXPORT_WRITE_FAILED;
  }
  if (options.namePathWhenDone) {
    prompter.information(std::string(MIDI_COMPLETED_TEXT) + "\n\n " + path);
  } else {
    prompter.information(MIDI_COMPLETED_TEXT);
  }
  return MIDI_EXPORT_WRITTEN;
}

int saveMidiFile(const std::string& datPath, std::string& midiPath, const NoteStore& notes,
                 const SettingValues& values, Prompter& prompter, std::ostream& diagnostics,
                 std::string* failure, const MidiExportOptions& options) {
  if (datPath.size() <= 5) {
    prompter.information(MIDI_NO_DAT_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  midiPath.clear();
  if (datPath.find(".dat") == std::string::npos) {
    prompter.information(MIDI_NO_DAT_EXTENSION_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  midiPath = midiPathForDat(datPath);
  return exportMidi(notes, values, midiPath, notes.startMarker, notes.endMarker, prompter,
                    diagnostics, failure, options);
}

}  // namespace quavrix
