// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/midi_score.h"

#include <fstream>
#include <iterator>

#include "base/units.h"

namespace quavrix::test {

NoteStore emptyScore(std::uint32_t positions) {
  NoteStore notes;
  notes.positions = positions;
  notes.totalFrames = positions * FRAMES_PER_POSITION;
  notes.lineMap.assign(positions + 32, 0);
  notes.slots.assign(positions + 32, 0);
  notes.noteOffs.assign(positions + 32, 0);
  notes.allocated = 1;
  notes.initialised = 1;
  return notes;
}

void putLine(NoteStore& notes, std::uint32_t position, std::uint8_t flags) {
  notes.lineMap.at(position) = flags;
}

void putNote(NoteStore& notes, std::uint32_t position, int track, int key, int duration) {
  notes.slots.at(position) = makeNote(track, key, duration);
}

std::vector<std::uint32_t> putBeats(NoteStore& notes, std::uint32_t start, std::uint32_t interval,
                                    int beats, int beatsPerBar) {
  std::vector<std::uint32_t> at;
  for (int b = 0; b <= beats; ++b) {
    const std::uint32_t p = start + static_cast<std::uint32_t>(b) * interval;
    std::uint8_t flags = LINE_BEAT;
    if (b % beatsPerBar == 0 || b == beats) flags |= LINE_BAR;
    if (b == 0) flags |= LINE_START;
    if (b == beats) flags |= LINE_END;
    putLine(notes, p, flags);
    at.push_back(p);
  }
  notes.startMarker = at.front();
  notes.endMarker = at.back();
  return at;
}

namespace {

struct Cursor {
  const std::vector<std::uint8_t>& b;
  std::size_t at = 0;
  bool failed = false;
  std::uint32_t big(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | byte();
    return v;
  }
  std::uint8_t byte() {
    if (at >= b.size()) {
      failed = true;
      return 0;
    }
    return b[at++];
  }
  std::uint32_t vlq() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint8_t c = byte();
      v = (v << 7) | (c & 0x7F);
      if ((c & 0x80) == 0) return v;
    }
    failed = true;
    return v;
  }
};

}  // namespace

MidiFileContents readMidi(const std::vector<std::uint8_t>& bytes) {
  MidiFileContents m;
  Cursor c{bytes};
  if (c.big(4) != 0x4D546864 || c.big(4) != 6) {
    m.error = "no MThd header of length 6";
    return m;
  }
  m.format = static_cast<int>(c.big(2));
  m.tracks = static_cast<int>(c.big(2));
  m.division = static_cast<int>(c.big(2));
  m.endOfTrackLast = true;
  for (int t = 0; t < m.tracks; ++t) {
    if (c.big(4) != 0x4D54726B) {
      m.error = "no MTrk chunk";
      return m;
    }
    const std::size_t length = c.big(4);
    const std::size_t end = c.at + length;
    if (end > bytes.size() || (t + 1 == m.tracks && end != bytes.size())) {
      m.error = "track length does not match the file";
      return m;
    }
    std::vector<MidiEvent> events;
    std::int64_t tick = 0;
    while (c.at < end && !c.failed) {
      tick += c.vlq();
      MidiEvent e{tick, {c.byte()}};
      const std::uint8_t status = e.bytes[0];
      if (status == 0xFF) {
        e.bytes.push_back(c.byte());
        const std::uint32_t n = c.vlq();
        e.bytes.push_back(static_cast<std::uint8_t>(n));
        for (std::uint32_t i = 0; i < n; ++i) e.bytes.push_back(c.byte());
      } else if (status < 0x80) {
        m.error = "running status or stray data byte";
        return m;
      } else {
        const int hi = status & 0xF0;
        const int n = (hi == 0xC0 || hi == 0xD0) ? 1 : 2;
        for (int i = 0; i < n; ++i) e.bytes.push_back(c.byte());
      }
      events.push_back(std::move(e));
    }
    if (c.failed || c.at != end) {
      m.error = "truncated track";
      return m;
    }
    m.endOfTrackLast = m.endOfTrackLast && !events.empty() && events.back().bytes.size() == 3 &&
                       events.back().bytes[0] == 0xFF && events.back().bytes[1] == 0x2F;
    m.trackEvents.push_back(std::move(events));
  }
  if (!m.trackEvents.empty()) m.events = m.trackEvents.front();
  m.ok = true;
  return m;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
}

MidiFileContents readMidiFile(const std::string& path) {
  return readMidi(readBytes(path));
}

std::uint64_t fingerprint(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ULL;
  return h;
}

}  // namespace quavrix::test
