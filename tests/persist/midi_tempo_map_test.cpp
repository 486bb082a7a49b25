// SPDX-License-Identifier: GPL-3.0-or-later
// The grid tempo: a tempo event per change of the beat interval, time
// signatures from the bar lines, a track per exported instrument, the range
// taken without markers, and long songs that keep their time.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "midi_export_values.h"
#include "persist/midi_export.h"
#include "support/midi_score.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "support/tempo_ramp.h"

namespace quavrix {
namespace {

using test::MidiEvent;
using Bytes = std::vector<std::uint8_t>;

using test::exportAll;

MidiExportOptions grid() {
  MidiExportOptions o;
  o.tempo = MidiTempo::Grid;
  return o;
}

struct Built {
  int result = 0;
  test::MidiFileContents midi;
  test::ScriptedPrompter prompter;
};

std::unique_ptr<Built> build(const NoteStore& notes, const SettingValues& values = exportAll(),
                             const MidiExportOptions& options = grid()) {
  auto b = std::make_unique<Built>();
  std::ostringstream log;
  Bytes file;
  b->result = buildMidiFile(notes, values, notes.startMarker, notes.endMarker, b->prompter, log,
                            file, options);
  if (b->result == MIDI_EXPORT_WRITTEN) {
    b->midi = test::readMidi(file);
    EXPECT_TRUE(b->midi.ok) << b->midi.error;
    EXPECT_TRUE(b->midi.endOfTrackLast);
  }
  return b;
}

std::vector<MidiEvent> meta(const std::vector<MidiEvent>& events, std::uint8_t type) {
  std::vector<MidiEvent> out;
  for (const auto& e : events)
    if (e.bytes[0] == 0xFF && e.bytes[1] == type) out.push_back(e);
  return out;
}

Bytes tempoBytes(std::uint32_t micros) {
  return {0xFF,
          0x51,
          0x03,
          static_cast<std::uint8_t>(micros >> 16),
          static_cast<std::uint8_t>(micros >> 8),
          static_cast<std::uint8_t>(micros)};
}

// Beat lines `intervals` apart from 1000, START and END on the first and last.
NoteStore beatsApart(const std::vector<std::uint32_t>& intervals, std::uint8_t firstFlags) {
  std::uint32_t total = 1000;
  for (const auto i : intervals) total += i;
  NoteStore notes = test::emptyScore(total + 1000);
  std::uint32_t p = 1000;
  test::putLine(notes, p, firstFlags | LINE_BEAT | LINE_START);
  for (const auto i : intervals) test::putLine(notes, p += i, LINE_BEAT);
  notes.lineMap[p] |= LINE_BAR | LINE_END;
  notes.startMarker = 1000;
  notes.endMarker = p;
  return notes;
}

TEST(MidiTempoMap, ATempoEventWhereverTheBeatIntervalChanges) {
  // 600 positions = 0.435374 s; 441 = 0.32 s; 30 and 250 BPM, far outside
  // what the single tempo accepts, are kept as they are.
  const auto b = build(beatsApart({600, 600, 441, 2756, 330}, LINE_BAR));
  ASSERT_EQ(b->result, MIDI_EXPORT_WRITTEN) << b->prompter.last();
  EXPECT_EQ(b->midi.format, 1);
  const auto tempos = meta(b->midi.trackEvents[0], 0x51);
  const std::vector<std::pair<std::int64_t, std::uint32_t>> want = {
      {0, 435374}, {480, 320000}, {720, 1999819}, {960, 239456}};
  ASSERT_EQ(tempos.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(tempos[i].tick, want[i].first);
    EXPECT_EQ(tempos[i].bytes, tempoBytes(want[i].second)) << i;
  }
}

TEST(MidiTempoMap, ABeatLongerThanATempoCanHoldIsRefused) {
  // Three bytes hold 16.777215 s: 23121 positions fit, 23122 do not.
  EXPECT_EQ(build(beatsApart({600, 23121}, LINE_BAR))->result, MIDI_EXPORT_WRITTEN);
  const auto b = build(beatsApart({600, 23122}, LINE_BAR));
  EXPECT_EQ(b->result, MIDI_EXPORT_REFUSED);
  ASSERT_EQ(b->prompter.shown.size(), 1u);
  EXPECT_EQ(b->prompter.shown[0].icon, Icon::Error);
  // The beat at position 1600 is (1600 x 32 - 8192) / 44100 s into the recording.
  EXPECT_EQ(b->prompter.last(),
            "MIDI SAVE\n The beat at 0:00.975 lasts 16.778 seconds,\n longer than a MIDI tempo "
            "can hold ( 16.777 s ).\n\n Nothing was saved.");
}

TEST(MidiTempoMap, TimeSignaturesFollowTheBarLines) {
  struct Case {
    const char* name;
    std::vector<int> barLengths;  // beats of each bar, the first may be a pickup
    bool startOnBar;
    std::vector<std::pair<std::int64_t, int>> want;  // tick, beats per bar
  };
  const Case cases[] = {
      {"4/4 then 3/4", {4, 4, 3, 3, 3}, true, {{0, 4}, {1920, 3}}},
      {"a pickup of two beats", {2, 4, 4}, false, {{0, 2}, {480, 4}}},
      {"no bar lines", {9}, false, {{0, 4}}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint32_t> intervals;
    for (const int n : c.barLengths) intervals.insert(intervals.end(), n, 600);
    NoteStore notes = beatsApart(intervals, c.startOnBar ? LINE_BAR : 0);
    std::uint32_t p = 1000;
    for (std::size_t i = 0; i + 1 < c.barLengths.size(); ++i) {
      p += 600 * c.barLengths[i];
      notes.lineMap[p] |= LINE_BAR;
    }
    if (c.barLengths.size() == 1) notes.lineMap[notes.endMarker] &= ~LINE_BAR;
    const auto b = build(notes);
    ASSERT_EQ(b->result, MIDI_EXPORT_WRITTEN) << c.name;
    const auto signatures = meta(b->midi.trackEvents[0], 0x58);
    ASSERT_EQ(signatures.size(), c.want.size()) << c.name;
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(signatures[i].tick, c.want[i].first) << c.name;
      EXPECT_EQ(signatures[i].bytes,
                (Bytes{0xFF, 0x58, 4, static_cast<std::uint8_t>(c.want[i].second), 2, 24, 8}))
          << c.name;
    }
  }
}

TEST(MidiTempoMap, EachExportedInstrumentHasANamedTrackWithTheSameNotes) {
  NoteStore notes = test::emptyScore(200000);
  const auto beats = test::putTempoRamp(notes, 1000, {{64, 120, 120, 4}});
  test::putRampNotes(notes, beats);
  SettingValues values = exportAll();
  values.midiOutput[5] = 0;
  values.level[LEVEL_TRACK_OFFSET + 3] = 1.0f;
  MidiExportOptions options = grid();
  options.trackNames[2] = "Strings";
  const auto b = build(notes, values, options);
  ASSERT_EQ(b->result, MIDI_EXPORT_WRITTEN) << b->prompter.last();
  const auto single = build(notes, values, MidiExportOptions{});
  ASSERT_EQ(single->result, MIDI_EXPORT_WRITTEN);

  // The tempo track, then tracks 1, 2, 3, 4, 6 and 7.
  const std::vector<int> exported = {1, 2, 3, 4, 6, 7};
  ASSERT_EQ(b->midi.tracks, 1 + static_cast<int>(exported.size()));
  std::vector<MidiEvent> gridNotes;
  for (std::size_t i = 0; i < exported.size(); ++i) {
    const int t = exported[i];
    const auto& events = b->midi.trackEvents[1 + i];
    ASSERT_GE(events.size(), 3u);
    const std::string name = t == 2 ? "Strings" : "Track " + std::to_string(t);
    Bytes nameEvent = {0xFF, 0x03, static_cast<std::uint8_t>(name.size())};
    for (const char ch : name) nameEvent.push_back(static_cast<std::uint8_t>(ch));
    EXPECT_EQ(events[0].bytes, nameEvent);
    EXPECT_EQ(events[1].bytes,
              (Bytes{static_cast<std::uint8_t>(0xC0 + t), static_cast<std::uint8_t>(9 + t)}));
    for (const auto& e : events) {
      if ((e.bytes[0] & 0xF0) != 0x90) continue;
      EXPECT_EQ(e.bytes[0], 0x90 + t) << "a note on another track's channel";
      gridNotes.push_back(e);
    }
  }
  // The percussion channel keeps its program in the tempo track.
  const auto& tempoTrack = b->midi.trackEvents[0];
  EXPECT_NE(std::find_if(tempoTrack.begin(), tempoTrack.end(),
                         [](const MidiEvent& e) {
                           return e.bytes == Bytes{0xC9, 0x00};
                         }),
            tempoTrack.end());

  // Channels, keys, velocities and ticks are those of the single tempo.
  std::vector<MidiEvent> singleNotes;
  for (const auto& e : single->midi.events)
    if ((e.bytes[0] & 0xF0) == 0x90) singleNotes.push_back(e);
  std::sort(gridNotes.begin(), gridNotes.end());
  std::sort(singleNotes.begin(), singleNotes.end());
  EXPECT_GT(singleNotes.size(), 80u);
  EXPECT_TRUE(gridNotes == singleNotes);
}

TEST(MidiTempoMap, WithoutMarkersTheWholeGridIsTheRange) {
  struct Case {
    const char* name;
    std::uint32_t start, end;  // markers, 0 = none
    std::uint32_t wantStart, wantEnd;
  };
  // Beats at 500 (no bar), 1000 (bar), 1500, 2000 (bar), 2500.
  NoteStore notes = test::emptyScore(4000);
  for (std::uint32_t p = 500; p <= 2500; p += 500) test::putLine(notes, p, LINE_BEAT);
  notes.lineMap[1000] |= LINE_BAR;
  notes.lineMap[2000] |= LINE_BAR;
  test::putLine(notes, 2700, LINE_DIVISION);
  const Case cases[] = {
      {"none", 0, 0, 1000, 2500},
      {"start only", 2000, 0, 2000, 2500},
      {"end only", 0, 2000, 1000, 2000},
      {"both", 1000, 2000, 1000, 2000},
  };
  for (const Case& c : cases) {
    notes.startMarker = c.start;
    notes.endMarker = c.end;
    const MidiRange r = wholeGridRange(notes);
    EXPECT_EQ(r.start, c.wantStart) << c.name;
    EXPECT_EQ(r.end, c.wantEnd) << c.name;
  }
  notes.startMarker = notes.endMarker = 0;
  // A pickup note before the first bar starts the range at the beat before it.
  test::putNote(notes, 503, 1, 40, 100);
  EXPECT_EQ(wholeGridRange(notes).start, 500u);
  // A grid of beats only starts at its first beat.
  notes.slots[503] = 0;
  notes.lineMap[1000] = notes.lineMap[2000] = LINE_BEAT;
  EXPECT_EQ(wholeGridRange(notes).start, 500u);
}

TEST(MidiTempoMap, ATenMinuteSongAt180BpmKeepsItsTime) {
  if (test::runCommand("/usr/bin/python3 -c 'import mido'").exitCode != 0)
    GTEST_SKIP() << "/usr/bin/python3 cannot import mido";
  // 1800 beats: 432000 ticks, far past what 16 bits hold.
  NoteStore notes = test::emptyScore(830000);
  const auto beats = test::putTempoRamp(notes, 1000, {{1800, 180, 180, 4}});
  const auto placed = test::putRampNotes(notes, beats);
  EXPECT_NEAR(test::positionSeconds(beats.front(), beats.back()), 600.0, 0.01);
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  const std::string mid = dir.file("long.mid");
  ASSERT_EQ(exportMidi(notes, exportAll(), mid, notes.startMarker, notes.endMarker, prompter, log,
                       nullptr, grid()),
            MIDI_EXPORT_WRITTEN)
      << prompter.last();
  const auto check = test::checkMidiTimes(mid, placed, {}, 3.0);
  EXPECT_EQ(check.exitCode, 0) << check.err << check.out;
  EXPECT_NE(check.out.find(std::to_string(placed.size()) + " notes"), std::string::npos)
      << check.out;
}

}  // namespace
}  // namespace quavrix
