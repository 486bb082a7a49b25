// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/midi_file_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/read_file.h"

namespace quavrix {

namespace {

constexpr std::uint32_t DEFAULT_TEMPO = 500000;  // microseconds per quarter note: 120 BPM

struct TickEvent {
  std::uint64_t tick;
  int track;
  std::size_t order;
  MidiEvent event;
};

struct TempoChange {
  std::uint64_t tick;
  std::uint32_t microsPerQuarter;
};

class Cursor {
 public:
  Cursor(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  bool done() const { return at_ >= n_; }
  bool byte(std::uint8_t& v) {
    if (at_ >= n_) return false;
    v = p_[at_++];
    return true;
  }
  bool peek(std::uint8_t& v) const {
    if (at_ >= n_) return false;
    v = p_[at_];
    return true;
  }
  // Variable-length quantity of at most four bytes.
  bool varLen(std::uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b;
      if (!byte(b)) return false;
      v = (v << 7) | (b & 0x7f);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }
  bool skip(std::size_t count) {
    if (count > n_ - at_) return false;
    at_ += count;
    return true;
  }
  const std::uint8_t* here() const { return p_ + at_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t at_ = 0;
};

std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// Reads one track; stops quietly at its end marker or at the first damage.
void readTrack(Cursor c, int track, std::vector<TickEvent>& events,
               std::vector<TempoChange>& tempos, std::uint64_t& lastTick) {
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  std::size_t order = 0;
  while (!c.done()) {
    std::uint32_t delta;
    if (!c.varLen(delta)) return;
    tick += delta;
    lastTick = std::max(lastTick, tick);
    std::uint8_t status;
    if (!c.peek(status)) return;
    if (status & 0x80) {
      c.skip(1);
    } else {
      if (running == 0) return;  // data without a status to run on
      status = running;
    }
    if (status == 0xff) {
      std::uint8_t type;
      std::uint32_t length;
      if (!c.byte(type) || !c.varLen(length)) return;
      const std::uint8_t* data = c.here();
      if (!c.skip(length)) return;
      if (type == 0x2f) return;
      if (type == 0x51 && length == 3) {
        const std::uint32_t tempo = (std::uint32_t{data[0]} << 16) | (data[1] << 8) | data[2];
        if (tempo > 0) tempos.push_back({tick, tempo});
      }
      continue;
    }
    if (status == 0xf0 || status == 0xf7) {
      std::uint32_t length;
      if (!c.varLen(length) || !c.skip(length)) return;
      running = 0;
      continue;
    }
    if (status >= 0xf0) return;  // no other system message belongs in a file
    running = status;
    const std::uint8_t type = status & 0xf0;
    const auto channel = static_cast<std::uint8_t>(status & 0x0f);
    std::uint8_t a = 0, b = 0;
    if (!c.byte(a)) return;
    if (type != 0xc0 && type != 0xd0 && !c.byte(b)) return;
    a &= 0x7f;
    b &= 0x7f;
    MidiEvent e;
    e.channel = channel;
    if (type == 0x90 && b > 0) {
      e.kind = MidiEventKind::NoteOn;
      e.key = a;
      e.velocity = b;
    } else if (type == 0x80 || type == 0x90) {
      e.kind = MidiEventKind::NoteOff;
      e.key = a;
    } else if (type == 0xc0) {
      e.kind = MidiEventKind::ProgramChange;
      e.key = a;
    } else {
      continue;
    }
    events.push_back({tick, track, order++, e});
  }
}

bool parseImage(const std::uint8_t* data, std::size_t size, MidiSong& song, std::string& error) {
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) {
    error = "not a Standard MIDI File";
    return false;
  }
  const std::uint32_t headerLength = be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) {
    error = "damaged MIDI file header";
    return false;
  }
  song.format = be16(data + 8);
  song.trackCount = be16(data + 10);
  song.division = be16(data + 12);
  if (song.format > 1) {
    error = "MIDI file format " + std::to_string(song.format) + " is not supported (only 0 and 1)";
    return false;
  }
  if (song.division == 0) {
    error = "MIDI file has no time division";
    return false;
  }

  std::vector<TickEvent> events;
  std::vector<TempoChange> tempos;
  std::uint64_t lastTick = 0;
  std::size_t at = 8 + headerLength;
  int track = 0;
  while (track < song.trackCount && size - at >= 8) {
    const std::uint32_t length = be32(data + at + 4);
    const bool isTrack = std::memcmp(data + at, "MTrk", 4) == 0;
    at += 8;
    // A track cut short by the end of the file is read as far as it goes.
    const std::size_t available = std::min<std::size_t>(length, size - at);
    if (isTrack) readTrack(Cursor(data + at, available), track++, events, tempos, lastTick);
    at += available;
  }
  song.trackCount = track;

  std::stable_sort(events.begin(), events.end(), [](const TickEvent& x, const TickEvent& y) {
    if (x.tick != y.tick) return x.tick < y.tick;
    if (x.track != y.track) return x.track < y.track;
    return x.order < y.order;
  });
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& x, const TempoChange& y) { return x.tick < y.tick; });
  song.tempoChanges = static_cast<int>(tempos.size());

  // Seconds of a tick: SMPTE divisions count frames, the others quarter
  // notes at the tempo in force.
  std::size_t nextTempo = 0;
  std::uint64_t anchorTick = 0;
  double anchorSeconds = 0.0;
  std::uint32_t tempo = DEFAULT_TEMPO;
  const bool smpte = (song.division & 0x8000) != 0;
  double smpteTicksPerSecond = 0.0;
  if (smpte) {
    const int fps = -static_cast<std::int8_t>(song.division >> 8);
    const int perFrame = song.division & 0xff;
    smpteTicksPerSecond = (fps == 29 ? 29.97 : fps) * perFrame;
    if (smpteTicksPerSecond <= 0.0) {
      error = "damaged SMPTE time division";
      return false;
    }
  }
  auto secondsAt = [&](std::uint64_t tick) {
    if (smpte) return static_cast<double>(tick) / smpteTicksPerSecond;
    while (nextTempo < tempos.size() && tempos[nextTempo].tick <= tick) {
      anchorSeconds +=
          static_cast<double>(tempos[nextTempo].tick - anchorTick) * tempo * 1e-6 / song.division;
      anchorTick = tempos[nextTempo].tick;
      tempo = tempos[nextTempo].microsPerQuarter;
      ++nextTempo;
    }
    return anchorSeconds + static_cast<double>(tick - anchorTick) * tempo * 1e-6 / song.division;
  };
  song.events.reserve(events.size());
  for (TickEvent& e : events) {
    e.event.seconds = secondsAt(e.tick);
    song.events.push_back(e.event);
  }
  song.lengthSeconds = secondsAt(lastTick);
  return true;
}

}  // namespace

bool parseMidiFile(const std::uint8_t* data, std::size_t size, MidiSong& song, std::string& error) {
  song = MidiSong{};
  try {
    return parseImage(data, size, song, error);
  } catch (const std::bad_alloc&) {
    song = MidiSong{};
    error = "not enough memory";
    return false;
  }
}

bool readMidiFile(const std::string& path, MidiSong& song, std::string& error) {
  song = MidiSong{};
  std::vector<std::uint8_t> bytes;
  if (!readWholeFile(path, MIDI_FILE_MAX_BYTES, bytes, error)) return false;
  return parseMidiFile(bytes.data(), bytes.size(), song, error);
}

}  // namespace quavrix
