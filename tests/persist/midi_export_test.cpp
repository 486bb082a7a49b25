// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI export: tempo from the first beat, the tick grid, note events and
// their order, the file's byte layout, every refusal and the command's paths.

#include "persist/midi_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "midi_export_values.h"
#include "support/midi_score.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::MidiEvent;
using Bytes = std::vector<std::uint8_t>;

using test::exportAll;

struct Export {
  int result = 0;
  test::MidiFileContents midi;
  std::string diagnostics;
  test::ScriptedPrompter prompter;
};

std::unique_ptr<Export> build(const NoteStore& notes, const SettingValues& values) {
  auto e = std::make_unique<Export>();
  std::ostringstream log;
  Bytes file;
  e->result =
      buildMidiFile(notes, values, notes.startMarker, notes.endMarker, e->prompter, log, file);
  e->diagnostics = log.str();
  if (e->result == MIDI_EXPORT_WRITTEN) {
    e->midi = test::readMidi(file);
    EXPECT_TRUE(e->midi.ok) << e->midi.error;
  }
  return e;
}

std::vector<MidiEvent> notesOf(const test::MidiFileContents& m) {
  std::vector<MidiEvent> out;
  for (const auto& e : m.events)
    if ((e.bytes[0] & 0xF0) == 0x90) out.push_back(e);
  return out;
}

std::vector<MidiEvent> temposOf(const test::MidiFileContents& m) {
  std::vector<MidiEvent> out;
  for (const auto& e : m.events)
    if (e.bytes[0] == 0xFF && e.bytes[1] == 0x51) out.push_back(e);
  return out;
}

TEST(MidiExport, TempoComesFromTheFirstBeatInterval) {
  NoteStore notes = test::emptyScore(40000);
  test::putBeats(notes, 10000, 441, 8);
  test::putNote(notes, 10000, 1, 40, 441);
  const auto e = build(notes, exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  EXPECT_TRUE(e->prompter.shown.empty());
  EXPECT_EQ(e->midi.format, 0);
  EXPECT_EQ(e->midi.tracks, 1);
  EXPECT_EQ(e->midi.division, 240);
  const auto tempos = temposOf(e->midi);
  ASSERT_FALSE(tempos.empty());
  // 187.5 BPM truncates to 187: 60 / 187 s = 320856 us = 0x04E558.
  EXPECT_EQ(tempos[0].tick, 0);
  EXPECT_EQ(tempos[0].bytes, (Bytes{0xFF, 0x51, 0x03, 0x04, 0xE5, 0x58}));
  EXPECT_TRUE(e->midi.endOfTrackLast);
}

TEST(MidiExport, HeaderAndProgramChangesComeFirst) {
  NoteStore notes = test::emptyScore(10000);
  test::putBeats(notes, 1000, 600, 4);
  SettingValues v = exportAll();
  v.trackProgram[4] = 0;    // none: program 0
  v.trackProgram[5] = 200;  // beyond seven bits
  const auto e = build(notes, v);
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto& ev = e->midi.events;
  ASSERT_EQ(ev.size(), 10u);  // tempo, 8 program changes, end of track
  EXPECT_EQ(ev[0].bytes[0], 0xFF);
  EXPECT_EQ(ev[1].bytes, (Bytes{0xC9, 0x00}));
  const int expected[8] = {0, 10, 11, 12, 0, 199 & 0x7F, 15, 16};
  for (int t = 1; t <= 7; ++t) {
    EXPECT_EQ(ev[1 + t].tick, 0);
    EXPECT_EQ(ev[1 + t].bytes,
              (Bytes{static_cast<std::uint8_t>(0xC0 + t), static_cast<std::uint8_t>(expected[t])}))
        << "track " << t;
  }
  // 138 BPM from 600 positions; no notes, so the track ends at tick 0.
  EXPECT_EQ(ev[9].tick, 0);
  EXPECT_EQ(ev[9].bytes, (Bytes{0xFF, 0x2F, 0x00}));
}

// Four beats of 600 positions from 2000, two divisions in the second beat.
NoteStore divisionScore() {
  NoteStore notes = test::emptyScore(20000);
  const auto beats = test::putBeats(notes, 2000, 600, 4);
  test::putLine(notes, beats[1] + 200, LINE_DIVISION);
  test::putLine(notes, beats[1] + 400, LINE_DIVISION);
  // Track 2 on the first division, ending just before the beat line.
  test::putNote(notes, beats[1] + 200, 2, 30, 399);
  // Track 3 on the second division, in the slot right behind it: same tick.
  test::putNote(notes, beats[1] + 401, 3, 31, 100);
  // Track 7 on the first beat, running to the END line.
  test::putNote(notes, beats[0], 7, 84, beats[4] - beats[0]);
  return notes;
}

// Two bars 441 apart, then a beat 600 later: 187 BPM, then 137 BPM.
NoteStore barTempoScore() {
  NoteStore notes = test::emptyScore(20000);
  test::putLine(notes, 1000, LINE_BAR | LINE_BEAT | LINE_START);
  test::putLine(notes, 1441, LINE_BAR | LINE_BEAT);
  test::putLine(notes, 2041, LINE_BEAT);
  test::putLine(notes, 2641, LINE_BAR | LINE_BEAT | LINE_END);
  notes.startMarker = 1000;
  notes.endMarker = 2641;
  test::putNote(notes, 1000, 1, 40, 441);
  test::putNote(notes, 1441, 1, 41, 600);
  test::putNote(notes, 1442, 1, 45, 600);  // behind the bar: no tempo of its own
  return notes;
}

// 300 beats: 72000 ticks, beyond what 16 bits hold.
NoteStore longScore() {
  NoteStore notes = test::emptyScore(300 * 500 + 2000);
  const auto beats = test::putBeats(notes, 1000, 500, 300);
  test::putNote(notes, beats[299], 1, 40, 500);
  return notes;
}

TEST(MidiExport, DivisionsShareTheirBeatAndNotesEndEightTicksEarly) {
  const auto e = build(divisionScore(), exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto n = notesOf(e->midi);
  ASSERT_EQ(n.size(), 6u);
  // Sorted by tick; velocity 0.67 x 127 = 85.09 -> 85; key + 23.
  EXPECT_EQ(n[0].tick, 0);
  EXPECT_EQ(n[0].bytes, (Bytes{0x97, 107, 85}));
  EXPECT_EQ(n[1].tick, 240 + 80);
  EXPECT_EQ(n[1].bytes, (Bytes{0x92, 53, 85}));
  EXPECT_EQ(n[2].tick, 240 + 160);
  EXPECT_EQ(n[2].bytes, (Bytes{0x93, 54, 85}));
  // Track 2 ends at beats[1] + 599, before the beat at 480: off at 472.
  EXPECT_EQ(n[3].tick, 472);
  EXPECT_EQ(n[3].bytes, (Bytes{0x92, 53, 0}));
  // Track 3 ends at beats[1] + 501, also before that beat.
  EXPECT_EQ(n[4].tick, 472);
  EXPECT_EQ(n[4].bytes, (Bytes{0x93, 54, 0}));
  // Track 7 reaches the END line: off 8 ticks before it.
  EXPECT_EQ(n[5].tick, 4 * 240 - 8);
  EXPECT_EQ(n[5].bytes, (Bytes{0x97, 107, 0}));
}

TEST(MidiExport, OnlyTracksMarkedForOutputAddNotes) {
  NoteStore notes = test::emptyScore(20000);
  const auto beats = test::putBeats(notes, 2000, 600, 4);
  test::putNote(notes, beats[0], 1, 10, 600);
  test::putNote(notes, beats[0] + 1, 2, 11, 600);
  test::putNote(notes, beats[1], 0, 12, 600);  // the tick track is never exported
  SettingValues v = exportAll();
  v.midiOutput[2] = 0;
  v.level[LEVEL_TRACK_OFFSET + 1] = 1.0f;
  const auto e = build(notes, v);
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto n = notesOf(e->midi);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].bytes, (Bytes{0x91, 33, 127}));
  EXPECT_EQ(n[1].bytes, (Bytes{0x91, 33, 0}));
  int programChanges = 0;
  for (const auto& ev : e->midi.events) programChanges += (ev.bytes[0] & 0xF0) == 0xC0;
  EXPECT_EQ(programChanges, 8) << "track 2 keeps its program change";
}

TEST(MidiExport, NoteOffsComeBeforeNoteOnsAtTheSameTick) {
  NoteStore notes = test::emptyScore(20000);
  const auto beats = test::putBeats(notes, 1000, 600, 1);
  // 29 divisions: 8 ticks apart, the last at 232, where a note ending at END stops.
  for (int d = 1; d <= 29; ++d) test::putLine(notes, beats[0] + d * 20, LINE_DIVISION);
  test::putNote(notes, beats[0], 1, 40, 600);
  test::putNote(notes, beats[0] + 29 * 20, 2, 41, 10);
  const auto e = build(notes, exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto n = notesOf(e->midi);
  ASSERT_EQ(n.size(), 4u);
  EXPECT_EQ(n[1].tick, 232);
  EXPECT_EQ(n[1].bytes, (Bytes{0x91, 63, 0}));
  EXPECT_EQ(n[2].tick, 232);
  EXPECT_EQ(n[2].bytes, (Bytes{0x92, 64, 85}));
  // A note cut short by the END line still ends after it starts.
  EXPECT_EQ(n[3].tick, 233);
  EXPECT_EQ(n[3].bytes, (Bytes{0x92, 64, 0}));
}

TEST(MidiExport, ShortChordNoteStillEndsAfterItStarts) {
  NoteStore notes = test::emptyScore(20000);
  const auto beats = test::putBeats(notes, 1000, 600, 2);
  test::putNote(notes, beats[0], 1, 40, 1);  // ends before its neighbour in the chord
  test::putNote(notes, beats[0] + 2, 1, 44, 600);
  const auto e = build(notes, exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto n = notesOf(e->midi);
  ASSERT_EQ(n.size(), 4u);
  for (int key : {63, 67}) {
    std::int64_t on = -1, off = -1;
    for (const auto& ev : n) {
      if (ev.bytes[1] != key) continue;
      (ev.bytes[2] ? on : off) = ev.tick;
    }
    EXPECT_EQ(on, 0) << key;
    EXPECT_GT(off, on) << key;
  }
}

TEST(MidiExport, TempoChangesOnBarNotesFollowTheBars) {
  const auto e = build(barTempoScore(), exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto tempos = temposOf(e->midi);
  // The opening tempo, the first note's bar (same tempo, written again), then the change.
  ASSERT_EQ(tempos.size(), 3u);
  EXPECT_EQ(tempos[1].tick, 0);
  EXPECT_EQ(tempos[1].bytes, tempos[0].bytes);
  EXPECT_EQ(tempos[2].tick, 240);
  const std::uint32_t micros = 437956;  // 60 / 137 s = 437956.2 us, rounded
  EXPECT_EQ(tempos[2].bytes,
            (Bytes{0xFF, 0x51, 0x03, static_cast<std::uint8_t>(micros >> 16),
                   static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)}));
}

TEST(MidiExport, LongRangesKeepCountingPastSixteenBits) {
  const auto e = build(longScore(), exportAll());
  ASSERT_EQ(e->result, MIDI_EXPORT_WRITTEN);
  const auto n = notesOf(e->midi);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].tick, 299 * 240);
  EXPECT_EQ(n[1].tick, 300 * 240 - 8);
}

TEST(MidiExport, SingleTempoFilesKeepTheirBytes) {
  // Digests of the files these scores gave before the tempo map existed: the
  // single tempo must stay exactly what it was.
  const std::pair<NoteStore, std::uint64_t> cases[] = {
      {divisionScore(), 0xccce4ebe8d25de45ULL},
      {barTempoScore(), 0x3baa61c33d13c89cULL},
      {longScore(), 0x6353eeac34bacbf3ULL},
  };
  for (const auto& [notes, digest] : cases) {
    test::ScriptedPrompter prompter;
    std::ostringstream log;
    Bytes file;
    ASSERT_EQ(
        buildMidiFile(notes, exportAll(), notes.startMarker, notes.endMarker, prompter, log, file),
        MIDI_EXPORT_WRITTEN);
    EXPECT_EQ(test::fingerprint(file), digest);
  }
}

TEST(MidiExport, VariableLengthQuantities) {
  const std::pair<std::uint32_t, Bytes> cases[] = {
      {0, {0x00}},
      {0x7F, {0x7F}},
      {0x80, {0x81, 0x00}},
      {0x3FFF, {0xFF, 0x7F}},
      {0x4000, {0x81, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [value, bytes] : cases) {
    std::ostringstream log;
    Bytes out;
    appendVariableLength(out, value, log);
    EXPECT_EQ(out, bytes) << value;
    EXPECT_EQ(log.str(), "");
  }
  std::ostringstream log;
  Bytes out;
  appendVariableLength(out, 0x10000000, log);
  EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(log.str(), "Error: number too large to convert to VLV\n");
}

// One refusal: its text, error icon, and nothing built.
void expectRefusal(const NoteStore& notes, const char* text, int result) {
  const auto e = build(notes, exportAll());
  EXPECT_EQ(e->result, result) << text;
  ASSERT_EQ(e->prompter.shown.size(), 1u) << text;
  EXPECT_EQ(e->prompter.shown[0].text, text);
  EXPECT_EQ(e->prompter.shown[0].icon, Icon::Error);
}

TEST(MidiExport, RangeAndGridChecksStopWithTheirMessage) {
  NoteStore notes = test::emptyScore(10000);
  test::putBeats(notes, 1000, 600, 4);

  NoteStore swapped = notes;
  std::swap(swapped.startMarker, swapped.endMarker);
  expectRefusal(swapped, " Please, set START line and END line correctly\n  ERROR : end < start ",
                MIDI_EXPORT_STOPPED);

  NoteStore noEnd = notes;
  noEnd.startMarker = 0;
  noEnd.endMarker = 0;
  expectRefusal(noEnd, " ERROR : END line is out of scope.", MIDI_EXPORT_STOPPED);
  NoteStore pastEnd = notes;
  pastEnd.endMarker = 10001;
  expectRefusal(pastEnd, " ERROR : END line is out of scope.", MIDI_EXPORT_STOPPED);

  NoteStore empty = test::emptyScore(10000);
  empty.startMarker = 100;
  empty.endMarker = 900;
  expectRefusal(empty, " Error : not found beat line. ", MIDI_EXPORT_STOPPED);

  NoteStore offBar = notes;
  offBar.startMarker = 1600;  // a plain beat
  expectRefusal(offBar, " Error  Can not get TEMPO. ", MIDI_EXPORT_REFUSED);

  // A bar followed only by a division before the range ends.
  NoteStore lonely = test::emptyScore(10000);
  test::putLine(lonely, 1000, LINE_BAR | LINE_BEAT | LINE_START);
  test::putLine(lonely, 1300, LINE_DIVISION);
  lonely.startMarker = 1000;
  lonely.endMarker = 1300;
  expectRefusal(lonely, " Error  Can not find BAR LINE or BEAT LINE. ", MIDI_EXPORT_REFUSED);

  // A bar line without the beat flag as the next line counts no beats.
  NoteStore bareBar = test::emptyScore(10000);
  test::putLine(bareBar, 1000, LINE_BAR | LINE_BEAT | LINE_START);
  test::putLine(bareBar, 1600, LINE_BAR | LINE_END);
  bareBar.startMarker = 1000;
  bareBar.endMarker = 1600;
  expectRefusal(bareBar, " Error  Can not find BAR LINE or BEAT LINE. ", MIDI_EXPORT_REFUSED);

  // No data at all: stopped without a word.
  NoteStore none;
  const auto e = build(none, exportAll());
  EXPECT_EQ(e->result, MIDI_EXPORT_STOPPED);
  EXPECT_TRUE(e->prompter.shown.empty());
}

TEST(MidiExport, TempoOutsideFortyToTwoHundredIsRefused) {
  NoteStore slow = test::emptyScore(30000);
  test::putBeats(slow, 1000, 2100, 4);  // 39.4 BPM
  expectRefusal(slow, " Error  BPM is Too slow ( < 40 ). ", MIDI_EXPORT_REFUSED);
  NoteStore fast = test::emptyScore(30000);
  test::putBeats(fast, 1000, 400, 4);  // 206.7 BPM
  expectRefusal(fast, " Error  BPM is Too fast ( 200 < ). ", MIDI_EXPORT_REFUSED);
  NoteStore edge = test::emptyScore(30000);
  test::putBeats(edge, 1000, 2067, 4);  // 40.003 BPM is still accepted
  EXPECT_EQ(build(edge, exportAll())->result, MIDI_EXPORT_WRITTEN);
}

TEST(MidiExport, KeyOutsideTheRollStopsTheExport) {
  NoteStore notes = test::emptyScore(10000);
  const auto beats = test::putBeats(notes, 1000, 600, 4);
  test::putNote(notes, beats[1], 3, 85, 100);  // highest accepted
  EXPECT_EQ(build(notes, exportAll())->result, MIDI_EXPORT_WRITTEN);
  test::putNote(notes, beats[2], 3, 86, 100);
  expectRefusal(notes, MIDI_BAD_KEY_TEXT, MIDI_EXPORT_REFUSED);
  test::putNote(notes, beats[2], 3, 0, 100);
  expectRefusal(notes, MIDI_BAD_KEY_TEXT, MIDI_EXPORT_REFUSED);
  // Deleted notes are not exported and not checked.
  notes.slots[beats[2]] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(makeNote(3, 0, 100)) | NOTE_DELETED);
  EXPECT_EQ(build(notes, exportAll())->result, MIDI_EXPORT_WRITTEN);
}

TEST(MidiCommand, PathFollowsTheDatFile) {
  EXPECT_EQ(midiPathForDat("C:\\songs\\take.dat"), "C:\\songs\\take.mid");
  EXPECT_EQ(midiPathForDat("/m/x.dat/take.dat"), "/m/x.dat/take.mid");
  EXPECT_EQ(midiPathForDat("/m/take.wav"), "");
}

TEST(MidiCommand, WritesBesideTheDatAndSaysSo) {
  test::TempDir dir;
  NoteStore notes = test::emptyScore(10000);
  const auto beats = test::putBeats(notes, 1000, 600, 4);
  test::putNote(notes, beats[0], 1, 40, 600);
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  std::string midiPath = "stale";
  const std::string dat = dir.file("take.dat");
  EXPECT_EQ(saveMidiFile(dat, midiPath, notes, exportAll(), prompter, log), MIDI_EXPORT_WRITTEN);
  EXPECT_EQ(midiPath, dir.file("take.mid"));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last(), "  Saving to MIDI (.mid) \n\n     OK, COMPLETED.");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Information);
  const auto midi = test::readMidiFile(midiPath);
  EXPECT_TRUE(midi.ok) << midi.error;
  EXPECT_EQ(notesOf(midi).size(), 2u);
}

TEST(MidiCommand, DatPathChecksComeFirst) {
  NoteStore notes = test::emptyScore(10000);
  test::putBeats(notes, 1000, 600, 4);
  std::ostringstream log;
  {
    test::ScriptedPrompter prompter;
    std::string midiPath = "stale";
    EXPECT_EQ(saveMidiFile("a.dat", midiPath, notes, exportAll(), prompter, log),
              MIDI_EXPORT_STOPPED);
    EXPECT_EQ(prompter.last(),
              "MIDI SAVE\nCan not find .dat file. \n\n Please, save to .dat flie before.");
    EXPECT_EQ(prompter.shown[0].icon, Icon::Information);
    EXPECT_EQ(midiPath, "stale");
  }
  {
    test::ScriptedPrompter prompter;
    std::string midiPath = "stale";
    EXPECT_EQ(saveMidiFile("/m/take.DAT", midiPath, notes, exportAll(), prompter, log),
              MIDI_EXPORT_STOPPED);
    EXPECT_EQ(prompter.last(),
              "MIDI SAVE\n Can not find .dat extention. \n\n Please, save to .dat flie before.");
    EXPECT_EQ(prompter.shown[0].icon, Icon::Information);
    EXPECT_EQ(midiPath, "");
  }
}

TEST(MidiCommand, UnwritableFileIsAnErrorNotACompletion) {
  test::TempDir dir;
  NoteStore notes = test::emptyScore(10000);
  test::putBeats(notes, 1000, 600, 4);
  std::filesystem::create_directory(dir.file("take.mid"));  // in the way of the file
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  std::string midiPath;
  EXPECT_EQ(saveMidiFile(dir.file("take.dat"), midiPath, notes, exportAll(), prompter, log),
            MIDI_EXPORT_WRITE_FAILED);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last(), std::string(MIDI_WRITE_FAILED_TEXT) + dir.file("take.mid"));
  EXPECT_EQ(prompter.shown[0].icon, Icon::Error);
  EXPECT_EQ(log.str(), "Error: could not write: " + dir.file("take.mid") + "\n");
}

}  // namespace
}  // namespace quavrix
