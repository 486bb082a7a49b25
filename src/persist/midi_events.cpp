// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/midi_events.h"

#include <algorithm>
#include <ostream>

#include "persist/midi_export.h"

namespace quavrix::midi {

namespace {

constexpr std::uint8_t NOTE_ON = 0x90;
constexpr std::uint8_t PROGRAM_CHANGE = 0xC0;

void writeBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<Entry> collectEntries(const NoteStore& notes, std::uint32_t start, std::uint32_t end) {
  std::vector<Entry> entries;
  for (std::uint32_t p = start; p <= end; ++p) {
    const std::uint8_t flags = notes.lineMap[p];
    const std::int32_t word = notes.slots[p];
    if (flags == 0 && word <= 0) continue;
    entries.push_back({p, flags, word > 0 ? word : 0, 0, 0, 0});
  }
  return entries;
}

void assignTicks(std::vector<Entry>& entries) {
  const std::size_t j = entries.size();
  std::int32_t beats = 0;
  for (std::size_t k = 0; k < j; ++k) {
    if (k > 0 && isBeat(entries[k])) ++beats;
    entries[k].tick = beats * MIDI_TICKS_PER_QUARTER;
  }
  // Divisions share their beat evenly; notes behind a division sit on it.
  for (std::size_t i = 0; i + 1 < j; ++i) {
    if (!isBeat(entries[i])) continue;
    std::size_t next = i + 1;
    int divisions = 0;
    for (; next < j && !isBeat(entries[next]); ++next) divisions += isDivision(entries[next]);
    const std::int32_t step = divisions == 0 ? 0 : MIDI_TICKS_PER_QUARTER / (divisions + 1);
    std::int32_t tick = entries[i].tick;
    bool afterDivision = false;
    for (std::size_t d = i + 1; d < next && d + 1 < j; ++d) {
      if (isDivision(entries[d])) {
        tick += step;
        entries[d].tick = tick;
        afterDivision = true;
      } else if (entries[d].flags == 0 && afterDivision) {
        entries[d].tick = tick;
      }
    }
  }
}

void assignEndTicks(std::vector<Entry>& entries) {
  const std::size_t j = entries.size();
  const Entry& last = entries[j - 1];
  for (std::size_t i = 0; i + 1 < j; ++i) {
    Entry& e = entries[i];
    const std::uint64_t endPosition =
        static_cast<std::uint64_t>(e.position) + static_cast<std::uint32_t>(noteDuration(e.note));
    if (endPosition >= last.position) {
      e.endTick = last.tick - MIDI_NOTE_OFF_LEAD;
    } else {
      std::size_t f = i + 1;
      while (f < j && entries[f].position <= endPosition) ++f;
      e.endTick = entries[f].tick - MIDI_NOTE_OFF_LEAD;
    }
    // A short note of a chord can end before the next note of the same chord,
    // which shares its tick; its note-off must still follow its note-on.
    e.endTick = std::max(e.endTick, e.tick + 1);
  }
  entries[j - 1].endTick = last.tick;
}

Event tempoEvent(std::int32_t tick, std::uint32_t micros) {
  return {tick,
          RANK_META,
          {META, META_TEMPO, 3, static_cast<std::uint8_t>(micros >> 16),
           static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)}};
}

Event timeSignatureEvent(std::int32_t tick, int beatsPerBar) {
  // Beats are quarter notes (denominator 2^2), 24 clocks per click, 8
  // thirty-seconds per quarter.
  const auto n = static_cast<std::uint8_t>(std::clamp(beatsPerBar, 1, 255));
  return {tick, RANK_META, {META, META_TIME_SIGNATURE, 4, n, 2, 24, 8}};
}

Event trackNameEvent(const std::string& name) {
  // Names are short (a preset name is at most 20 bytes): one length byte.
  const std::size_t size = std::min<std::size_t>(name.size(), 0x7F);
  Event e{0, RANK_META, {META, META_TRACK_NAME, static_cast<std::uint8_t>(size)}};
  e.bytes.reserve(3 + size);
  for (std::size_t i = 0; i < size; ++i) e.bytes.push_back(static_cast<std::uint8_t>(name[i]));
  return e;
}

Event programEvent(int channel, int program) {
  return {0,
          RANK_CHANNEL,
          {static_cast<std::uint8_t>(PROGRAM_CHANGE + channel),
           static_cast<std::uint8_t>(program & 0x7F)}};
}

Event noteEvent(std::int32_t tick, int channel, int key, int velocity) {
  return {tick,
          velocity == 0 ? RANK_NOTE_OFF : RANK_NOTE_ON,
          {static_cast<std::uint8_t>(NOTE_ON + channel), static_cast<std::uint8_t>(key & 0x7F),
           static_cast<std::uint8_t>(velocity & 0x7F)}};
}

int velocityFor(float level) {
  const float v = level * 127.0f;
  if (!(v > 0.0f)) return 0;
  return v >= 127.0f ? 127 : static_cast<int>(v);
}

int exportedProgram(const SettingValues& values, int track) {
  const int program = values.trackProgram[track];
  return program > 0 ? program - 1 : 0;
}

int exportedTrack(const Entry& e, const SettingValues& values) {
  if (e.note <= 0) return 0;
  const int t = noteTrack(e.note);
  if (t < FIRST_SETTING_TRACK || t > LAST_SETTING_TRACK || values.midiOutput[t] == 0) return 0;
  return t;
}

bool keyInRange(const Entry& e) {
  const int key = noteKey(e.note);
  return key >= MIN_EXPORT_KEY && key <= MAX_EXPORT_KEY;
}

std::vector<std::uint8_t> trackChunk(std::vector<Event>& events, std::ostream& diagnostics) {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank;
  });
  std::vector<std::uint8_t> track;
  std::int32_t previous = 0;
  for (const Event& e : events) {
    std::int64_t delta = static_cast<std::int64_t>(e.tick) - previous;
    if (delta < 0) {
      diagnostics << "Error: negative delta tick value: " << delta
                  << "\nTimestamps must be sorted first\n";
      delta = 0;
    }
    appendVariableLength(
        track, static_cast<std::uint32_t>(std::min<std::int64_t>(delta, 0xFFFFFFFF)), diagnostics);
    track.insert(track.end(), e.bytes.begin(), e.bytes.end());
    previous = std::max(previous, e.tick);
  }
  track.insert(track.end(), {0x00, META, META_END_OF_TRACK, 0x00});

  std::vector<std::uint8_t> chunk = {'M', 'T', 'r', 'k'};
  writeBig(chunk, static_cast<std::uint32_t>(track.size()), 4);
  chunk.insert(chunk.end(), track.begin(), track.end());
  return chunk;
}

std::vector<std::uint8_t> midiFile(int format,
                                   const std::vector<std::vector<std::uint8_t>>& chunks) {
  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  writeBig(file, 6, 4);
  writeBig(file, static_cast<std::uint32_t>(format), 2);
  writeBig(file, static_cast<std::uint32_t>(chunks.size()), 2);
  writeBig(file, MIDI_TICKS_PER_QUARTER, 2);
  for (const auto& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

}  // namespace quavrix::midi
