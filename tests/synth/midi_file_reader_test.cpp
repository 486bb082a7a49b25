// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/midi_file_reader.h"

#include <gtest/gtest.h>

#include "support/midi_file_writer.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::MidiTrackWriter;
using test::smfBytes;

MidiSong parse(const std::vector<std::uint8_t>& bytes) {
  MidiSong song;
  std::string error;
  EXPECT_TRUE(parseMidiFile(bytes.data(), bytes.size(), song, error)) << error;
  return song;
}

TEST(MidiFileReader, FormatZeroWithRunningStatusAndTempoChange) {
  // 480 ticks per quarter at 120 BPM, then 60 BPM from tick 960 (1 s).
  MidiTrackWriter t;
  t.tempo(0, 500000).program(0, 0, 40).noteOn(0, 0, 60, 100);
  // Running status: two more note-on messages without their status byte;
  // velocity 0 ends the first note.
  t.raw({0x83, 0x60, 60, 0}, 480);  // delta 480: key 60 velocity 0
  t.raw({0x00, 64, 90});            // delta 0: key 64 on
  t.tempo(960, 1000000).noteOff(1440, 0, 64);
  const MidiSong song = parse(smfBytes(0, 480, {t.body()}));
  EXPECT_EQ(song.format, 0);
  EXPECT_EQ(song.trackCount, 1);
  EXPECT_EQ(song.tempoChanges, 2);
  ASSERT_EQ(song.events.size(), 5u);
  EXPECT_EQ(song.events[0].kind, MidiEventKind::ProgramChange);
  EXPECT_EQ(song.events[0].key, 40);
  EXPECT_EQ(song.events[1].kind, MidiEventKind::NoteOn);
  EXPECT_EQ(song.events[1].velocity, 100);
  EXPECT_EQ(song.events[2].kind, MidiEventKind::NoteOff);
  EXPECT_EQ(song.events[2].key, 60);
  EXPECT_DOUBLE_EQ(song.events[2].seconds, 0.5);
  EXPECT_EQ(song.events[3].kind, MidiEventKind::NoteOn);
  EXPECT_EQ(song.events[3].key, 64);
  // 960 ticks at 120 BPM, then 480 at 60 BPM.
  EXPECT_DOUBLE_EQ(song.events[4].seconds, 2.0);
  EXPECT_DOUBLE_EQ(song.lengthSeconds, 2.0);
}

TEST(MidiFileReader, FormatOneMergesTracksUnderTheConductorsTempo) {
  MidiTrackWriter conductor, drums, bass;
  conductor.tempo(0, 250000).tempo(192, 500000);  // 240 BPM, then 120 BPM
  drums.noteOn(0, 9, 36, 120).noteOff(96, 9, 36).noteOn(384, 9, 38, 110);
  bass.program(0, 1, 33).noteOn(96, 1, 40, 80).noteOff(384, 1, 40);
  // SysEx and an unknown meta event are skipped.
  bass.event(400, {0xf0, 0x03, 0x7e, 0x09, 0xf7}).event(400, {0xff, 0x01, 0x02, 'h', 'i'});
  const MidiSong song = parse(smfBytes(1, 96, {conductor.body(), drums.body(), bass.body()}));
  EXPECT_EQ(song.trackCount, 3);
  ASSERT_EQ(song.events.size(), 6u);
  // Same tick: the earlier track first.
  EXPECT_EQ(song.events[0].channel, 9);
  EXPECT_EQ(song.events[1].kind, MidiEventKind::ProgramChange);
  EXPECT_EQ(song.events[1].channel, 1);
  // Tick 96 at 240 BPM = 0.25 s; tick 384 = 0.5 s + 192 ticks at 120 BPM = 1.5 s.
  EXPECT_DOUBLE_EQ(song.events[2].seconds, 0.25);
  EXPECT_DOUBLE_EQ(song.events[4].seconds, 1.5);
  EXPECT_EQ(song.events[4].key, 38);
  EXPECT_DOUBLE_EQ(song.events[5].seconds, 1.5);
  EXPECT_NEAR(song.lengthSeconds, 1.5 + 16.0 / 96 * 0.5, 1e-12);
}

TEST(MidiFileReader, SmpteDivisionCountsFrames) {
  MidiTrackWriter t;
  t.noteOn(0, 0, 60, 100).noteOff(250, 0, 60);
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
  const MidiSong song = parse(smfBytes(0, (0x100 - 25) << 8 | 40, {t.body()}));
  ASSERT_EQ(song.events.size(), 2u);
  EXPECT_DOUBLE_EQ(song.events[1].seconds, 0.25);
}

TEST(MidiFileReader, RefusesWhatItCannotPlayAndSurvivesDamage) {
  MidiSong song;
  std::string error;
  const std::vector<std::uint8_t> junk = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(parseMidiFile(junk.data(), junk.size(), song, error));
  EXPECT_FALSE(error.empty());

  MidiTrackWriter t;
  t.noteOn(0, 0, 60, 100).noteOff(10, 0, 60);
  const auto format2 = smfBytes(2, 96, {t.body()});
  EXPECT_FALSE(parseMidiFile(format2.data(), format2.size(), song, error));
  EXPECT_NE(error.find("format 2"), std::string::npos);

  // A track cut short, data bytes without any status, and a damaged length:
  // each track keeps what came before the damage.
  auto cut = smfBytes(0, 96, {t.body()});
  cut.resize(cut.size() - 6);
  EXPECT_EQ(parse(cut).events.size(), 1u);
  MidiTrackWriter orphan;
  orphan.raw({0x00, 60, 100});
  EXPECT_TRUE(parse(smfBytes(0, 96, {orphan.body()})).events.empty());
  MidiTrackWriter longLength;
  longLength.noteOn(0, 0, 61, 90).raw({0x00, 0xff, 0x01, 0xff, 0xff, 0xff, 0x7f});
  EXPECT_EQ(parse(smfBytes(0, 96, {longLength.body(false)})).events.size(), 1u);
  for (std::size_t size = 0; size < cut.size(); ++size)
    parseMidiFile(cut.data(), size, song, error);  // never reads past the end

  test::TempDir dir;
  ASSERT_TRUE(test::writeBytesFile(dir.file("ok.mid"), smfBytes(1, 96, {t.body()})));
  EXPECT_TRUE(readMidiFile(dir.file("ok.mid"), song, error)) << error;
  EXPECT_EQ(song.events.size(), 2u);
}

TEST(MidiFileReader, FilesThatCannotBeReadGiveTheSystemsReason) {
  test::TempDir dir;
  auto paths = test::unreadablePaths(dir);
  paths.push_back({dir.file("missing.mid"), "No such file or directory"});
  for (const auto& [path, why] : paths) {
    MidiSong song;
    std::string error;
    EXPECT_FALSE(readMidiFile(path, song, error)) << path;
    EXPECT_EQ(error, why) << path;
  }
}

}  // namespace
}  // namespace quavrix
