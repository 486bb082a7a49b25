// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the MIDI file reader: a song it takes must have
// its events in time order, at finite times within the song's length.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "synth/midi_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavrix;
  MidiSong song;
  std::string error;
  if (!parseMidiFile(data, size, song, error)) return 0;
  double previous = 0.0;
  for (const MidiEvent& e : song.events) {
    if (!std::isfinite(e.seconds) || e.seconds < previous || e.seconds > song.lengthSeconds ||
        e.channel > 15 || e.key > 127 || e.velocity > 127)
      std::abort();
    previous = e.seconds;
  }
  return 0;
}
