// SPDX-License-Identifier: GPL-3.0-or-later
// Standard MIDI Files played through the sampler: notes heard at their pitch
// and time, programs and the drum channel picking presets, and the
// render-midi command on a file made by our own MIDI export.

#include "synth/midi_renderer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <utility>

#include "persist/midi_export.h"
#include "support/midi_file_writer.h"
#include "support/midi_score.h"
#include "support/run_command.h"
#include "support/scripted_prompter.h"
#include "support/sf2_signal.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

constexpr int RATE = 44100;
const std::vector<double> PITCHES = {220.0, 293.7, 440.0, 587.3, 660.0, 880.0, 1760.0};

// Presets: a sine at root 69 on program 0, the same an octave lower on
// program 5, and a drum kit (bank 128) whose sine sits two octaves down.
test::Sf2Description sineBank() {
  test::Sf2Description d;
  for (const double hz : {440.0, 220.0, 110.0}) {
    test::Sf2Sample s;
    s.name = "sine";
    s.points = test::sinePoints(hz, RATE, 2 * RATE);
    s.rootKey = 69;
    d.samples.push_back(s);
  }
  for (int i = 0; i < 3; ++i) d.instruments.push_back({"i", {{{}, i}}});
  d.presets = {{"sine", 0, 0, {{{}, 0}}}, {"low", 5, 0, {{{}, 1}}}, {"kit", 0, 128, {{{}, 2}}}};
  return d;
}

struct Rendered {
  MidiRenderStats stats;
  std::vector<float> audio;
};

Rendered render(const std::vector<std::uint8_t>& smf) {
  MidiSong song;
  std::string error;
  EXPECT_TRUE(parseMidiFile(smf.data(), smf.size(), song, error)) << error;
  Sampler sampler;
  const auto bytes = test::buildSf2(sineBank());
  samplerInstallBank(sampler, loadSoundFontMemory(bytes.data(), bytes.size()));
  Rendered r;
  EXPECT_TRUE(renderMidiSong(
      sampler, song, MidiRenderOptions{},
      [&](const float* block, std::size_t frames) {
        r.audio.insert(r.audio.end(), block, block + 2 * frames);
        return true;
      },
      r.stats));
  return r;
}

std::size_t at(double seconds) {
  return static_cast<std::size_t>(seconds * RATE);
}

TEST(MidiRenderer, NotesSoundAtTheirPitchAndTime) {
  test::MidiTrackWriter t;  // 480 ticks per quarter at 120 BPM: 960 ticks a second
  t.noteOn(480, 0, 69, 100).noteOff(960, 0, 69);
  t.program(1200, 0, 5).noteOn(1440, 0, 81, 100).noteOff(1920, 0, 81);  // 880 Hz an octave down
  t.noteOn(2400, 9, 81, 100).noteOff(2880, 9, 81);  // the kit: 110 Hz an octave up
  const Rendered r = render(test::smfBytes(0, 480, {t.body()}));
  EXPECT_EQ(r.stats.notes, 3);
  EXPECT_EQ(r.stats.silentNotes, 0);
  EXPECT_LT(test::rmsLeft(r.audio, 0, at(0.45)), 1e-6);  // nothing before the first note
  EXPECT_EQ(test::strongestTone(r.audio, at(0.55), 8192, PITCHES), 440.0);
  EXPECT_LT(test::rmsLeft(r.audio, at(1.05), at(0.4)), 1e-4);  // released
  EXPECT_EQ(test::strongestTone(r.audio, at(1.55), 8192, PITCHES), 440.0);
  EXPECT_EQ(test::strongestTone(r.audio, at(2.55), 8192, PITCHES), 220.0);
  EXPECT_LT(test::rmsLeft(r.audio, at(3.05), at(0.1)), 1e-4);
  EXPECT_GE(r.audio.size() / 2, at(3.0));
}

TEST(MidiRenderer, ProgramsWithoutAPresetAreCountedSilent) {
  test::MidiTrackWriter t;
  t.program(0, 2, 99).program(0, 9, 40);  // no such program; no such kit, so kit 0 plays
  t.noteOn(0, 2, 60, 100).noteOn(0, 9, 60, 100).noteOff(100, 2, 60).noteOff(100, 9, 60);
  const Rendered r = render(test::smfBytes(0, 96, {t.body()}));
  EXPECT_EQ(r.stats.notes, 2);
  EXPECT_EQ(r.stats.silentNotes, 1);
}

TEST(RenderMidiCommand, PlaysAFileOfOurOwnMidiExport) {
  // 16 beats at 689 positions (120 BPM); track 1 plays key row 46 (A4) on
  // beat 2, track 3 key row 58 (A5) on beat 4, each one beat long.
  NoteStore notes = test::emptyScore(40000);
  const auto beats = test::putBeats(notes, 1000, 689, 16);
  test::putNote(notes, beats[2], 1, 46, 688);
  test::putNote(notes, beats[4], 3, 58, 688);
  SettingValues values;
  for (const int t : {1, 3}) {
    values.midiOutput[t] = 1;
    values.trackProgram[t] = 1;  // the first preset: program 0
  }
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  std::vector<std::uint8_t> smf;
  ASSERT_EQ(buildMidiFile(notes, values, notes.startMarker, notes.endMarker, prompter, log, smf),
            MIDI_EXPORT_WRITTEN);

  test::TempDir dir;
  ASSERT_TRUE(test::writeBytesFile(dir.file("song.mid"), smf));
  ASSERT_TRUE(test::writeSf2File(dir.file("bank.sf2"), sineBank()));
  const auto run =
      test::runCommand(test::binPath("quavrix-cli") + " render-midi " + dir.file("song.mid") + " " +
                       dir.file("song.wav") + " --sf2 " + dir.file("bank.sf2") + " --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\"notes\": 2"), std::string::npos) << run.out;

  test::Wav16 wav;
  ASSERT_TRUE(test::readWav16(dir.file("song.wav"), wav));
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.rate, RATE);
  // Beat b starts b x 0.5 s after the START bar.
  EXPECT_LT(test::rmsLeft(wav.samples, 0, at(0.95)), 1e-4);
  EXPECT_EQ(test::strongestTone(wav.samples, at(1.05), 8192, PITCHES), 440.0);
  EXPECT_GT(test::toneLeft(wav.samples, at(1.05), 8192, 440.0), 0.01);
  EXPECT_LT(test::rmsLeft(wav.samples, at(1.55), at(0.4)), 1e-3);
  EXPECT_EQ(test::strongestTone(wav.samples, at(2.05), 8192, PITCHES), 880.0);

  // Clear errors for what cannot be played.
  const auto missing = test::runCommand(test::binPath("quavrix-cli") + " render-midi " +
                                        dir.file("none.mid") + " " + dir.file("x.wav"));
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_NE(missing.err.find("none.mid"), std::string::npos);
  const auto noBank =
      test::runCommand(test::binPath("quavrix-cli") + " render-midi " + dir.file("song.mid") + " " +
                       dir.file("x.wav") + " --sf2 " + dir.file("song.mid"));
  EXPECT_NE(noBank.exitCode, 0);
}

TEST(RenderMidiCommand, SongsLongerThanTheLimitAreRefusedAndTheOutputKept) {
  test::TempDir dir;
  // A few bytes: one note after the longest delta at the slowest tempo, about
  // 142 years of silence; and a song of 4 s.
  test::MidiTrackWriter endless, short4;
  endless.tempo(0, 0xFFFFFF).noteOn(0x0FFFFFFF, 0, 60, 100).noteOff(0x0FFFFFFF, 0, 60);
  short4.noteOn(0, 0, 69, 100).noteOff(8 * 96, 0, 69);  // 8 quarters at 120 BPM
  ASSERT_TRUE(
      test::writeBytesFile(dir.file("endless.mid"), test::smfBytes(0, 1, {endless.body()})));
  ASSERT_TRUE(test::writeBytesFile(dir.file("short.mid"), test::smfBytes(0, 96, {short4.body()})));
  ASSERT_TRUE(test::writeSf2File(dir.file("bank.sf2"), sineBank()));
  ASSERT_TRUE(test::writeBytesFile(dir.file("old.wav"), {'o', 'l', 'd'}));
  const auto render = [&](const std::string& midi, const std::string& extra) {
    return test::runCommand(test::binPath("quavrix-cli") + " render-midi " + dir.file(midi) + " " +
                            dir.file("old.wav") + " --sf2 " + dir.file("bank.sf2") + extra);
  };
  for (const auto& [midi, extra] :
       {std::pair{"endless.mid", ""}, {"short.mid", " --max-seconds 3"}}) {
    const auto r = render(midi, extra);
    EXPECT_EQ(r.exitCode, 1) << midi;
    EXPECT_NE(r.err.find("longer than the limit"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(dir.file("old.wav")), 3u) << midi;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("old.wav.tmp")));
  const auto allowed = render("short.mid", " --max-seconds 5");
  EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
  EXPECT_GT(std::filesystem::file_size(dir.file("old.wav")), 4u * RATE * 4);
}

TEST(Sf2InfoCommand, ListsPresetsInProgramOrder) {
  test::TempDir dir;
  ASSERT_TRUE(test::writeSf2File(dir.file("bank.sf2"), sineBank()));
  const auto run = test::runCommand(test::binPath("quavrix-cli") + " sf2-info " +
                                    dir.file("bank.sf2") + " --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto first = run.out.find("\"name\": \"sine\"");
  const auto second = run.out.find("\"name\": \"low\"");
  const auto kit = run.out.find("\"name\": \"kit\"");
  ASSERT_NE(first, std::string::npos) << run.out;
  EXPECT_LT(first, second);
  EXPECT_LT(second, kit);
  EXPECT_NE(run.out.find("\"totals\": {\"presets\": 3, \"regions\": 3"), std::string::npos)
      << run.out;
  EXPECT_NE(
      test::runCommand(test::binPath("quavrix-cli") + " sf2-info " + dir.file("none.sf2")).exitCode,
      0);
}

}  // namespace
}  // namespace quavrix
