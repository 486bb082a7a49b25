// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/note_list_midi.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <tuple>

#include "persist/midi_export.h"

namespace quavrix {

namespace {

constexpr int TICKS_PER_QUARTER = 480;
constexpr double TICKS_PER_SECOND = TICKS_PER_QUARTER * 2.0;  // 120 BPM

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> noteListMidi(const std::vector<ModelNote>& notes) {
  struct Event {
    std::uint32_t tick;
    bool on;
    int pitch, velocity;
  };
  std::vector<Event> events;
  for (const ModelNote& n : notes) {
    const auto on =
        static_cast<std::uint32_t>(std::lround(std::max(n.start, 0.0) * TICKS_PER_SECOND));
    const auto off = std::max(
        on + 1, static_cast<std::uint32_t>(std::lround(std::max(n.end, 0.0) * TICKS_PER_SECOND)));
    events.push_back({on, true, n.pitch, n.velocity});
    events.push_back({off, false, n.pitch, 0});
  }
  // Releases before attacks at the same tick, so repeated notes sound again.
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return std::tie(a.tick, a.on) < std::tie(b.tick, b.on);
  });
  std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 500000 us
  std::ostringstream ignored;
  std::uint32_t last = 0;
  for (const Event& e : events) {
    appendVariableLength(track, e.tick - last, ignored);
    last = e.tick;
    track.push_back(e.on ? 0x90 : 0x80);
    track.push_back(static_cast<std::uint8_t>(std::clamp(e.pitch, 0, 127)));
    track.push_back(static_cast<std::uint8_t>(e.on ? std::clamp(e.velocity, 1, 127) : 0));
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> file = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, TICKS_PER_QUARTER >> 8, TICKS_PER_QUARTER & 0xFF,
      'M', 'T', 'r', 'k'};
  put32(file, static_cast<std::uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

}  // namespace quavrix
