// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/score_song.h"

#include <algorithm>
#include <stdexcept>

#include "support/midi_score.h"

namespace quavrix::test {

ScoreSong::ScoreSong(std::uint32_t positions, std::uint32_t first, std::uint32_t interval)
    : notes(emptyScore(positions)), interval(interval) {
  beats.push_back(first);
}

void ScoreSong::addBeats(int count, bool bar, std::vector<int> beatParts) {
  for (int i = 0; i < count; ++i) {
    const std::uint32_t at = beats.back();
    const int split = i < static_cast<int>(beatParts.size()) ? beatParts[i] : 1;
    putLine(notes, at, static_cast<std::uint8_t>(LINE_BEAT | (bar && i == 0 ? LINE_BAR : 0)));
    for (int d = 1; d < split; ++d) {
      putLine(notes, at + static_cast<std::uint32_t>(d) * interval / split, LINE_DIVISION);
    }
    parts.push_back(split);
    beats.push_back(at + interval);
  }
}

void ScoreSong::close() {
  putLine(notes, beats.back(), LINE_BEAT | LINE_BAR);
  parts.push_back(1);
}

void ScoreSong::setMarkers(int startBeat, int endBeat) {
  notes.startMarker = beats.at(static_cast<std::size_t>(startBeat));
  notes.endMarker = beats.at(static_cast<std::size_t>(endBeat));
  notes.lineMap[notes.startMarker] |= LINE_START;
  notes.lineMap[notes.endMarker] |= LINE_END;
}

std::uint32_t ScoreSong::line(int beat, int part) const {
  if (part == 0) return beats.at(static_cast<std::size_t>(beat));
  const auto b = static_cast<std::size_t>(beat);
  const int split = parts.at(b);
  return beats.at(b) + static_cast<std::uint32_t>(part) * (beats.at(b + 1) - beats[b]) /
                           static_cast<std::uint32_t>(split);
}

void ScoreSong::addNote(int track, int midiKey, int beat, int part, int endBeat, int endPart) {
  std::uint32_t slot = line(beat, part);
  while (notes.slots.at(slot) != 0) ++slot;
  const std::uint32_t end = line(endBeat, endPart);
  if (end <= slot) throw std::logic_error("a note must end after it starts");
  putNote(notes, slot, track, midiKey - KEY_TO_MIDI, static_cast<int>(end - 1 - slot));
  const auto at = [&](int b, int p) {
    return b + static_cast<double>(p) / parts.at(static_cast<std::size_t>(b));
  };
  placed.push_back({track, midiKey, at(beat, part), at(endBeat, endPart) - at(beat, part)});
}

std::vector<SongNote> ScoreSong::expected(int fromBeat, int toBeat) const {
  std::vector<SongNote> out;
  for (SongNote n : placed) {
    if (midiOutput[n.track] == 0 || n.start < fromBeat || n.start >= toBeat) continue;
    n.start -= fromBeat;
    out.push_back(n);
  }
  std::sort(out.begin(), out.end(), [](const SongNote& a, const SongNote& b) {
    if (a.track != b.track) return a.track < b.track;
    if (a.start != b.start) return a.start < b.start;
    return a.midiKey < b.midiKey;
  });
  return out;
}

ScoreSong richSong(std::uint32_t interval) {
  ScoreSong s(30000, 1000, interval);
  s.keySetting = 9;  // the roll names Eb "C": the key of Eb
  s.midiOutput[1] = 1;
  s.midiOutput[4] = 1;
  s.addBeats(1, false, {2});          // beat 0: pickup
  s.addBeats(4, true, {2, 4, 3, 1});  // beats 1-4
  s.addBeats(4, true, {2, 1, 1, 6});  // beats 5-8
  s.addBeats(3, true, {1, 3, 1});     // beats 9-11 (3/4)
  s.addBeats(3, true);                // beats 12-14 (3/4)
  s.addBeats(4, true, {1, 1, 1, 2});  // beats 15-18
  s.close();                          // beat 19
  struct N {
    int track, key, beat, part, endBeat, endPart;
  };
  static constexpr N NOTES[] = {
      {1, 70, 0, 1, 1, 0},                                                // pickup eighth
      {1, 63, 1, 0, 2, 0},   {1, 67, 1, 0, 2, 0},   {1, 70, 1, 0, 2, 0},  // chord
      {1, 72, 2, 0, 2, 3},   {1, 74, 2, 3, 3, 0},                         // dotted 8th + 16th
      {1, 75, 3, 0, 3, 1},   {1, 74, 3, 1, 3, 2},   {1, 72, 3, 2, 4, 0},  // triplet
      {1, 70, 4, 0, 5, 1},                                                // over the bar line
      {1, 67, 6, 0, 8, 0},   {1, 75, 6, 0, 7, 0},   {1, 74, 7, 0, 8, 0},  // held under moving
      {1, 72, 8, 0, 8, 2},   {1, 70, 8, 2, 8, 3},   {1, 68, 8, 3, 9, 0},  // six parts
      {1, 66, 12, 0, 15, 0},                                              // Gb, dotted half
      {1, 64, 15, 0, 16, 0}, {1, 63, 17, 0, 18, 1},                       // E natural; dotted
      {4, 39, 1, 0, 3, 0},   {4, 46, 3, 0, 5, 0},   {4, 44, 5, 0, 9, 0},   {4, 39, 9, 0, 10, 0},
      {4, 43, 10, 0, 10, 1}, {4, 46, 10, 1, 10, 2}, {4, 43, 10, 2, 11, 0}, {4, 39, 11, 0, 12, 0},
      {4, 46, 12, 0, 13, 0}, {4, 39, 13, 0, 15, 0}, {4, 46, 13, 0, 15, 0}, {4, 39, 15, 0, 19, 0},
      {2, 60, 1, 0, 2, 0},  // not exported
  };
  for (const N& n : NOTES) s.addNote(n.track, n.key, n.beat, n.part, n.endBeat, n.endPart);
  return s;
}

}  // namespace quavrix::test
