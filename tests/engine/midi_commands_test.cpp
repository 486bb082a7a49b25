// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI export from the engine: the beat editor's command follows the
// tempo setting (and with it off writes what it always wrote), the file name
// the export proposes, and the names the tracks take from the SoundFont.

#include "engine/midi_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/project.h"
#include "engine/track_names.h"
#include "support/engine/project_fixture.h"
#include "support/midi_score.h"

namespace quavrix {
namespace {

TEST(MidiCommands, SaveToMidiFileFollowsTheTempoSetting) {
  test::ProjectFixture f;
  ASSERT_TRUE(f.open()) << f.prompter.last();
  Engine& e = *f.engine;
  NoteStore& notes = e.notes;
  std::fill(notes.lineMap.begin(), notes.lineMap.end(), 0);
  const auto beats = test::putBeats(notes, 1000, 500, 8);
  test::putNote(notes, beats[2], 1, 40, 499);
  e.settings.values.midiOutput[1] = 1;
  e.paths.dat = f.dir.file("song.dat");

  // Off: exactly the single-tempo file.
  e.settings.values.midiTempoMap = 0;
  ASSERT_EQ(saveMidi(e), MIDI_EXPORT_WRITTEN) << f.prompter.last();
  std::vector<std::uint8_t> single;
  std::ostringstream log;
  ASSERT_EQ(buildMidiFile(notes, e.settings.values, notes.startMarker, notes.endMarker, f.prompter,
                          log, single),
            MIDI_EXPORT_WRITTEN);
  EXPECT_EQ(test::readBytes(f.dir.file("song.mid")), single);
  EXPECT_EQ(f.prompter.last(), MIDI_COMPLETED_TEXT);

  // On: the tempo map, with the same texts.
  e.settings.values.midiTempoMap = 1;
  ASSERT_EQ(saveMidi(e), MIDI_EXPORT_WRITTEN) << f.prompter.last();
  EXPECT_EQ(test::readMidiFile(f.dir.file("song.mid")).format, 1);
  EXPECT_EQ(f.prompter.last(), MIDI_COMPLETED_TEXT);
}

TEST(MidiCommands, AGridWithoutBeatLinesSaysSoAndWritesNothing) {
  test::ProjectFixture f;
  ASSERT_TRUE(f.open()) << f.prompter.last();
  std::fill(f.engine->notes.lineMap.begin(), f.engine->notes.lineMap.end(), 0);
  const std::string out = f.dir.file("none.mid");
  EXPECT_EQ(exportWholeGrid(*f.engine, out, MidiTempo::Grid), MIDI_EXPORT_STOPPED);
  EXPECT_EQ(f.prompter.last(), MIDI_NO_LINES_TEXT);
  EXPECT_TRUE(test::readBytes(out).empty());
}

TEST(MidiCommands, TheProposedFileIsTheProjectsOrElseTheRecordingsName) {
  test::ProjectFixture f("take.flac.wav");
  Engine& e = *f.engine;
  e.paths.wav = "/music/take.flac";
  EXPECT_EQ(proposedMidiPath(e), "/music/take.mid");
  e.paths.dat = "/music/take-2.dat";
  EXPECT_EQ(proposedMidiPath(e), "/music/take-2.mid");
}

TEST(MidiCommands, TracksAreNamedAfterTheirPresets) {
  test::ProjectFixture f;
  const auto none = exportTrackNames(*f.engine);  // no bank before a recording is open
  for (int t = 1; t <= 7; ++t) EXPECT_EQ(none[t], "Track " + std::to_string(t));
  ASSERT_TRUE(f.open()) << f.prompter.last();
  f.engine->settings.values.trackProgram[3] = 0;  // no program
  f.engine->settings.values.trackProgram[4] = 2;  // beyond the one preset of the bank
  const auto names = exportTrackNames(*f.engine);
  EXPECT_EQ(names[1], "preset");
  EXPECT_EQ(names[3], "Track 3");
  EXPECT_EQ(names[4], "Track 4");
  EXPECT_EQ(names[7], "preset");
}

}  // namespace
}  // namespace quavrix
