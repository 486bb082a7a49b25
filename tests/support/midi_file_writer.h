#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Builds Standard MIDI Files byte by byte for the reader's tests: events at
// absolute ticks, written with their deltas, and raw bytes for running status
// and damaged tracks.

#include <cstdint>
#include <string>
#include <vector>

namespace quavrix::test {

class MidiTrackWriter {
 public:
  // An event at an absolute tick (not before the previous one).
  MidiTrackWriter& event(std::uint32_t tick, const std::vector<std::uint8_t>& bytes);
  MidiTrackWriter& noteOn(std::uint32_t tick, int channel, int key, int velocity);
  MidiTrackWriter& noteOff(std::uint32_t tick, int channel, int key);
  MidiTrackWriter& program(std::uint32_t tick, int channel, int program);
  MidiTrackWriter& tempo(std::uint32_t tick, std::uint32_t microsPerQuarter);
  // Bytes appended as they are, delta times included; `ticks` is the sum of
  // the deltas inside them, so that later events keep their absolute ticks.
  MidiTrackWriter& raw(const std::vector<std::uint8_t>& bytes, std::uint32_t ticks = 0);
  // The track's body, closed with an end-of-track event unless told not to.
  std::vector<std::uint8_t> body(bool endOfTrack = true) const;

 private:
  std::vector<std::uint8_t> data_;
  std::uint32_t now_ = 0;
};

// "MThd" and one "MTrk" per body.
std::vector<std::uint8_t> smfBytes(int format, int division,
                                   const std::vector<std::vector<std::uint8_t>>& bodies);
bool writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace quavrix::test
