// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/tempo_ramp.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "support/midi_score.h"

namespace quavrix::test {

std::vector<std::uint32_t> putTempoRamp(NoteStore& notes, std::uint32_t start,
                                        const std::vector<RampSegment>& segments) {
  std::vector<std::uint32_t> beats;
  double at = start;
  for (const RampSegment& s : segments) {
    for (int b = 0; b < s.beats; ++b) {
      const auto p = static_cast<std::uint32_t>(std::lround(at));
      putLine(notes, p, b % s.beatsPerBar == 0 ? LINE_BEAT | LINE_BAR : LINE_BEAT);
      beats.push_back(p);
      const double bpm = s.fromBpm + (s.toBpm - s.fromBpm) * b / std::max(1, s.beats - 1);
      at += BPM_FACTOR / bpm;
    }
  }
  const auto end = static_cast<std::uint32_t>(std::lround(at));
  putLine(notes, end, LINE_BEAT | LINE_BAR | LINE_END);
  beats.push_back(end);
  notes.lineMap[beats.front()] |= LINE_START;
  notes.startMarker = beats.front();
  notes.endMarker = end;
  return beats;
}

std::vector<PlacedNote> putRampNotes(NoteStore& notes, const std::vector<std::uint32_t>& beats) {
  std::vector<PlacedNote> placed;
  const std::uint32_t start = beats.front();
  for (std::size_t b = 0; b + 1 < beats.size(); ++b) {
    const std::uint32_t interval = beats[b + 1] - beats[b];
    const int track = 1 + static_cast<int>(b % 7);
    const int key = 20 + static_cast<int>(b % 50);
    if (b % 3 == 2) {
      // Half a beat each: the beat's note and the division's.
      const std::uint32_t middle = beats[b] + interval / 2;
      putLine(notes, middle, LINE_DIVISION);
      putNote(notes, beats[b], track, key, static_cast<int>(interval / 2) - 1);
      putNote(notes, middle, 1, key + 12, static_cast<int>(interval - interval / 2) - 1);
      placed.push_back({track, key, beats[b], positionSeconds(start, beats[b])});
      placed.push_back({1, key + 12, middle, positionSeconds(start, middle)});
    } else {
      putNote(notes, beats[b], track, key, static_cast<int>(interval) - 1);
      placed.push_back({track, key, beats[b], positionSeconds(start, beats[b])});
    }
  }
  return placed;
}

double positionSeconds(std::uint32_t from, std::uint32_t to) {
  return (static_cast<double>(to) - from) * FRAMES_PER_POSITION / SAMPLE_RATE;
}

CommandResult checkMidiTimes(const std::string& mid, const std::vector<PlacedNote>& notes,
                             const std::vector<double>& bars, double toleranceMs) {
  std::ostringstream j;
  j << std::setprecision(9) << "{\"notes\": [";
  for (std::size_t i = 0; i < notes.size(); ++i) {
    j << (i ? ", " : "") << "[" << notes[i].track << ", " << notes[i].key + KEY_TO_MIDI << ", "
      << notes[i].seconds << "]";
  }
  j << "]";
  if (!bars.empty()) {
    j << ", \"bars\": [";
    for (std::size_t i = 0; i < bars.size(); ++i) j << (i ? ", " : "") << bars[i];
    j << "]";
  }
  j << "}";
  const std::string json = mid + ".json";
  std::ofstream(json) << j.str();
  return runCommand(std::string("/usr/bin/python3 ") + QUAVRIX_SOURCE_DIR +
                    "/tests/persist/check_midi_times.py " + mid + " " + json + " " +
                    std::to_string(toleranceMs));
}

}  // namespace quavrix::test
