#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Songs for the score export, built beat by beat into a NoteStore: bars of
// any length, beats split into any number of parts, and notes placed from
// one grid point to another, with the notes' onsets and lengths in beats
// kept aside as a notation program should read them back.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "score/note_store.h"

namespace quavrix::test {

struct SongNote {
  int track = 0;
  int midiKey = 0;
  double start = 0.0;   // beats from the first beat of the range
  double length = 0.0;  // beats
};

struct ScoreSong {
  explicit ScoreSong(std::uint32_t positions = 30000, std::uint32_t first = 1000,
                     std::uint32_t interval = 689);

  // Adds `count` beats, the first one a bar line when `bar`; beat i is split
  // into parts[i] equal parts by division lines (1 where missing).
  void addBeats(int count, bool bar, std::vector<int> parts = {});
  // The line that closes the last bar; after it, no more beats.
  void close();
  // START and END markers on two bar lines, given by beat index.
  void setMarkers(int startBeat, int endBeat);

  std::uint32_t line(int beat, int part) const;
  // A note from a grid point to a later one, in the first free slot behind
  // its line, ending one position before the line it lasts to.
  void addNote(int track, int midiKey, int beat, int part, int endBeat, int endPart);

  // The notes of the exported tracks whose start lies in [fromBeat, toBeat),
  // in beats from fromBeat, ordered by track, start and key.
  std::vector<SongNote> expected(int fromBeat = 0, int toBeat = 1 << 30) const;

  NoteStore notes;
  // Tracks exported (entries 1..7, as the settings' output flags) and the
  // key setting.
  std::array<std::int32_t, 10> midiOutput{};
  std::int32_t keySetting = 0;
  std::uint32_t interval;  // positions per beat of the beats added next
  std::vector<std::uint32_t> beats;
  std::vector<int> parts;
  std::vector<SongNote> placed;
};

// Key of Eb; a pickup of one beat, bars of 4/4, 4/4, 3/4, 3/4, 4/4; eighths,
// sixteenths, triplets and a beat of six; a dotted quarter; a chord, a note tied over a bar line,
// rests, a held note under moving ones; a melody on track 1 and a bass on
// track 4 (both exported) and a note on track 2 (not exported).
ScoreSong richSong(std::uint32_t interval = 689);

}  // namespace quavrix::test
