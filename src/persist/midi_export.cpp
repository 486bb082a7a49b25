#include "persist/midi_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <ostream>

#include "base/atomic_file.h"
#include "base/units.h"

namespace quavrix {

namespace {

constexpr std::uint8_t META = 0xFF;
constexpr std::uint8_t META_TEMPO = 0x51;
constexpr std::uint8_t META_END_OF_TRACK = 0x2F;
constexpr std::uint8_t NOTE_ON = 0x90;
constexpr std::uint8_t PROGRAM_CHANGE = 0xC0;
constexpr int PERCUSSION_CHANNEL = 9;
constexpr int MIN_EXPORT_KEY = 1;
constexpr int MAX_EXPORT_KEY = 85;

// One collected position of the range: a line, a live note, or both.
struct Entry {
  std::uint32_t position = 0;
  std::uint8_t flags = 0;
  std::int32_t note = 0;
  int tempo = 0;  // BPM found at a bar entry, 0 = none
  // Held in 32 bits: a long range must not wrap around.
  std::int32_t tick = 0;
  std::int32_t endTick = 0;
};

// Order of messages that share a tick.
enum Rank : std::uint8_t { RANK_META = 0, RANK_CHANNEL = 1, RANK_NOTE_OFF = 2, RANK_NOTE_ON = 3 };

struct Event {
  std::int32_t tick = 0;
  Rank rank = RANK_CHANNEL;
  std::uint8_t size = 0;
  std::array<std::uint8_t, 6> bytes{};
};

bool isBeat(const Entry& e) {
  return (e.flags & LINE_BEAT) != 0;
}
bool isDivision(const Entry& e) {
  return (e.flags & LINE_DIVISION) != 0;
}
bool isBar(const Entry& e) {
  return (e.flags & LINE_BAR) != 0;
}

Event tempoEvent(std::int32_t tick, int bpm) {
  const auto micros = static_cast<std::uint32_t>(60.0 / bpm * 1000000.0 + 0.5);
  return {tick,
          RANK_META,
          6,
          {META, META_TEMPO, 3, static_cast<std::uint8_t>(micros >> 16),
           static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)}};
}

Event programEvent(int channel, int program) {
  return {0,
          RANK_CHANNEL,
          2,
          {static_cast<std::uint8_t>(PROGRAM_CHANGE + channel),
           static_cast<std::uint8_t>(program & 0x7F)}};
}

Event noteEvent(std::int32_t tick, int channel, int key, int velocity) {
  return {tick,
          velocity == 0 ? RANK_NOTE_OFF : RANK_NOTE_ON,
          3,
          {static_cast<std::uint8_t>(NOTE_ON + channel), static_cast<std::uint8_t>(key & 0x7F),
           static_cast<std::uint8_t>(velocity & 0x7F)}};
}

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

int velocityFor(float level) {
  const float v = level * 127.0f;
  if (!(v > 0.0f)) return 0;
  return v >= 127.0f ? 127 : static_cast<int>(v);
}

void writeBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> writeFile(std::vector<Event>& events, std::ostream& diagnostics) {
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
    track.insert(track.end(), e.bytes.begin(), e.bytes.begin() + e.size);
    previous = std::max(previous, e.tick);
  }
  track.insert(track.end(), {0x00, META, META_END_OF_TRACK, 0x00});

  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  writeBig(file, 6, 4);
  writeBig(file, 0, 2);  // format 0: one track
  writeBig(file, 1, 2);
  writeBig(file, MIDI_TICKS_PER_QUARTER, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  writeBig(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
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

int buildMidiFile(const NoteStore& notes, const SettingValues& values, std::uint32_t start,
                  std::uint32_t end, Prompter& prompter, std::ostream& diagnostics,
                  std::vector<std::uint8_t>& file) {
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
  std::vector<Entry> entries = collectEntries(notes, start, end);
  if (entries.empty()) {
    prompter.error(MIDI_NO_LINES_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  if (const char* failure = findTempos(entries)) {
    prompter.error(failure);
    return MIDI_EXPORT_REFUSED;
  }
  if (entries[0].tempo == 0) {
    prompter.error(MIDI_NO_TEMPO_TEXT);
    return MIDI_EXPORT_REFUSED;
  }
  assignTicks(entries);
  assignEndTicks(entries);

  std::vector<Event> events;
  events.push_back(tempoEvent(0, entries[0].tempo));
  events.push_back(programEvent(PERCUSSION_CHANNEL, 0));
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    const int program = values.trackProgram[t];
    events.push_back(programEvent(t, program > 0 ? program - 1 : 0));
  }
  int lastTempo = 0;
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.note <= 0) continue;
    const int t = noteTrack(e.note);
    if (t < FIRST_SETTING_TRACK || t > LAST_SETTING_TRACK || values.midiOutput[t] == 0) continue;
    const int key = noteKey(e.note);
    if (key < MIN_EXPORT_KEY || key > MAX_EXPORT_KEY) {
      prompter.error(MIDI_BAD_KEY_TEXT);
      return MIDI_EXPORT_REFUSED;
    }
    if (e.tempo != 0) {
      const float tempo = static_cast<float>(e.tempo);
      if (lastTempo < 0.94f * tempo || lastTempo > 1.06f * tempo) {
        events.push_back(tempoEvent(e.tick, e.tempo));
        lastTempo = e.tempo;
      }
    }
    const int midiKey = key + KEY_TO_MIDI;
    events.push_back(
        noteEvent(e.tick, t, midiKey, velocityFor(values.level[t + LEVEL_TRACK_OFFSET])));
    events.push_back(noteEvent(e.endTick, t, midiKey, 0));
  }
  file = writeFile(events, diagnostics);
  return MIDI_EXPORT_WRITTEN;
}

int exportMidi(const NoteStore& notes, const SettingValues& values, const std::string& path,
               std::uint32_t start, std::uint32_t end, Prompter& prompter,
               std::ostream& diagnostics, std::string* failure) {
  std::vector<std::uint8_t> file;
  int built = MIDI_EXPORT_STOPPED;
  try {
    built = buildMidiFile(notes, values, start, end, prompter, diagnostics, file);
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
  prompter.information(MIDI_COMPLETED_TEXT);
  return MIDI_EXPORT_WRITTEN;
}

int saveMidiFile(const std::string& datPath, std::string& midiPath, const NoteStore& notes,
                 const SettingValues& values, Prompter& prompter, std::ostream& diagnostics,
                 std::string* failure) {
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
                    diagnostics, failure);
}

}  // namespace quavrix
