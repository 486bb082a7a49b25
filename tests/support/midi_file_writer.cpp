// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/midi_file_writer.h"

#include <fstream>

namespace quavrix::test {

namespace {

void variableLength(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = v & 0x7f;
    v >>= 7;
  } while (v != 0);
  while (n > 0) {
    --n;
    out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
  }
}

void be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xff);
}

}  // namespace

MidiTrackWriter& MidiTrackWriter::event(std::uint32_t tick,
                                        const std::vector<std::uint8_t>& bytes) {
  variableLength(data_, tick - now_);
  now_ = tick;
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  return *this;
}

MidiTrackWriter& MidiTrackWriter::noteOn(std::uint32_t tick, int channel, int key, int velocity) {
  return event(tick, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                      static_cast<std::uint8_t>(velocity)});
}

MidiTrackWriter& MidiTrackWriter::noteOff(std::uint32_t tick, int channel, int key) {
  return event(tick,
               {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 64});
}

MidiTrackWriter& MidiTrackWriter::program(std::uint32_t tick, int channel, int program) {
  return event(tick,
               {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
}

MidiTrackWriter& MidiTrackWriter::tempo(std::uint32_t tick, std::uint32_t microsPerQuarter) {
  return event(tick, {0xff, 0x51, 0x03, static_cast<std::uint8_t>(microsPerQuarter >> 16),
                      static_cast<std::uint8_t>(microsPerQuarter >> 8),
                      static_cast<std::uint8_t>(microsPerQuarter)});
}

MidiTrackWriter& MidiTrackWriter::raw(const std::vector<std::uint8_t>& bytes, std::uint32_t ticks) {
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  now_ += ticks;
  return *this;
}

std::vector<std::uint8_t> MidiTrackWriter::body(bool endOfTrack) const {
  std::vector<std::uint8_t> out = data_;
  if (endOfTrack) out.insert(out.end(), {0x00, 0xff, 0x2f, 0x00});
  return out;
}

std::vector<std::uint8_t> smfBytes(int format, int division,
                                   const std::vector<std::vector<std::uint8_t>>& bodies) {
  std::vector<std::uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  const auto tracks = bodies.size();
  for (const int v : {format, static_cast<int>(tracks), division}) {
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
  }
  for (const auto& body : bodies) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    be32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

bool writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace quavrix::test
