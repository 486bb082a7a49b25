// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli export-midi: a saved project (recording, .dat, settings) turned
// into a MIDI file without a window, with the program's messages on stderr;
// with the grid tempo its notes land on the recording's lines and clicks, as
// an independent reader and another synthesizer find.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iostream>

#include "analysis/wav_reader.h"
#include "base/paths.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "support/midi_score.h"
#include "support/run_command.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "support/tempo_ramp.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

// A ten-second recording and a project of `count` beats at `interval` with
// one note on tracks 1 and 5.
struct Project {
  test::TempDir dir;
  std::string wav = dir.file("take.wav");
  std::string dat = dir.file("take.dat");

  explicit Project(std::uint32_t interval = 689, int count = 16)
      : Project(test::toneSamples(441000, 220.0, 0.2, true), 2, [&](NoteStore& notes) {
          const auto beats = test::putBeats(notes, 1000, interval, count);
          test::putNote(notes, beats[1], 1, 30, static_cast<int>(interval) - 1);
          test::putNote(notes, beats[2], 5, 50, static_cast<int>(interval) - 1);
        }) {}

  // A recording of these samples and a project whose grid and notes `fill` lays out.
  Project(const std::vector<std::int16_t>& samples, int channels,
          const std::function<void(NoteStore&)>& fill) {
    EXPECT_TRUE(test::WavBuilder().format(channels).data(samples).write(wav));
    Recording rec;
    rec.path = wav;
    EXPECT_EQ(readRecordingSamples(rec), WAV_OK);
    test::ScriptedPrompter prompter;
    NoteStore notes;
    EXPECT_EQ(allocateNotes(notes, static_cast<std::uint32_t>(rec.capacity), prompter), 1);
    fill(notes);
    EXPECT_EQ(writeProject(notes, dat, prompter), 0);
  }

  std::string command(const std::string& extra = "") const {
    return binPath("quavrix-cli") + " export-midi --wav " + wav + " --dat " + dat + extra;
  }
};

std::vector<test::MidiEvent> channelEvents(const std::vector<test::MidiEvent>& events, int high) {
  std::vector<test::MidiEvent> out;
  for (const auto& e : events)
    if ((e.bytes[0] & 0xF0) == high) out.push_back(e);
  return out;
}

TEST(CliExportMidi, ProjectSettingsBesideTheDatShapeTheFile) {
  Project project;
  Settings settings;
  for (int t = 1; t <= 7; ++t) settings.values.trackProgram[t] = 40 + t;
  settings.values.midiOutput = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};  // track 1 only
  settings.values.level[LEVEL_TRACK_OFFSET + 1] = 0.5f;
  ASSERT_EQ(saveSettings(settings, project.dir.file("take.xml")), 0);

  const auto r = runCommand(project.command(" --tempo single --json"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "{\"midi\": \"" + project.dir.file("take.mid") + "\", \"start\": 1000, " +
                       "\"end\": " + std::to_string(1000 + 16 * 689) +
                       ", \"tempo\": \"single\"}\n");
  EXPECT_NE(r.err.find("information:   Saving to MIDI (.mid) \n\n     OK, COMPLETED."),
            std::string::npos)
      << r.err;

  EXPECT_EQ(test::fingerprint(test::readBytes(project.dir.file("take.mid"))),
            0xb72bc1cf0f545084ULL);
  const auto midi = test::readMidiFile(project.dir.file("take.mid"));
  ASSERT_TRUE(midi.ok) << midi.error;
  const auto programs = channelEvents(midi.events, 0xC0);
  ASSERT_EQ(programs.size(), 8u);
  EXPECT_EQ(programs[1].bytes, (std::vector<std::uint8_t>{0xC1, 40}));
  const auto notes = channelEvents(midi.events, 0x90);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].tick, 240);
  EXPECT_EQ(notes[0].bytes, (std::vector<std::uint8_t>{0x91, 53, 63}));
  EXPECT_EQ(notes[1].tick, 480 - 8);
}

TEST(CliExportMidi, MissingProjectSettingsFallBackToTheDefaultFile) {
  Project project;
  const std::string out = project.dir.file("elsewhere.mid");
  const auto r = runCommand(project.command(" --tempo single --out " + out));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("warning:  Can't find setting file !\n Load Default settings "),
            std::string::npos)
      << r.err;
  // The shipped settings export every track.
  EXPECT_EQ(test::fingerprint(test::readBytes(out)), 0x392348c2bf7fad4dULL);
  const auto midi = test::readMidiFile(out);
  ASSERT_TRUE(midi.ok) << midi.error;
  EXPECT_EQ(channelEvents(midi.events, 0x90).size(), 4u);
  EXPECT_FALSE(fileExists(project.dir.file("take.mid")));
}

TEST(CliExportMidi, RefusalsAndFailuresExitNonZeroWithTheirMessage) {
  Project slow(2100, 4);  // 39 BPM
  auto r = runCommand(slow.command(" --tempo single"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("error:  Error  BPM is Too slow ( < 40 ). "), std::string::npos) << r.err;
  EXPECT_FALSE(fileExists(slow.dir.file("take.mid")));

  Project project;
  r = runCommand(project.command(" --out " + project.dir.path().string()));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Error: could not write: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("error: MIDI SAVE\n Can not write .mid file."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("quavrix-cli export-midi: cannot write " + project.dir.path().string() +
                       ": Is a directory\n"),
            std::string::npos)
      << r.err;

  r = runCommand(binPath("quavrix-cli") + " export-midi --wav " + project.wav + " --dat " +
                 project.dir.file("none.dat"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;

  r = runCommand(binPath("quavrix-cli") + " export-midi --dat " + project.dat);
  EXPECT_EQ(r.exitCode, 2) << r.err;

  // A settings file named on the command line must be used, or nothing is written.
  std::ofstream(project.dir.file("broken.xml")) << "<Settings><Tuning>";
  r = runCommand(project.command(" --settings " + project.dir.file("broken.xml")));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("quavrix-cli export-midi: cannot read settings file " +
                       project.dir.file("broken.xml") + ": not well-formed XML"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fileExists(project.dir.file("take.mid")));
}

bool haveMido() {
  return runCommand("/usr/bin/python3 -c 'import mido'").exitCode == 0;
}

TEST(CliExportMidi, GridTempoKeepsEveryNoteOnItsLineWhileTheTempoMoves) {
  if (!haveMido()) GTEST_SKIP() << "/usr/bin/python3 cannot import mido";
  // 90 to 140 BPM in 4/4, then down to 70 in 3/4: 322 beats, about three minutes.
  std::vector<std::uint32_t> beats;
  std::vector<test::PlacedNote> placed;
  const std::vector<std::int16_t> silence(184 * SAMPLE_RATE, 0);
  Project project(silence, 1, [&](NoteStore& notes) {
    beats = test::putTempoRamp(notes, 2000, {{160, 90, 140, 4}, {162, 140, 70, 3}});
    placed = test::putRampNotes(notes, beats);
  });
  ASSERT_GT(beats.size(), 300u);
  std::vector<double> bars;
  for (std::size_t b = 0; b + 1 < beats.size(); ++b) {
    if (b < 160 ? b % 4 == 0 : (b - 160) % 3 == 0)
      bars.push_back(test::positionSeconds(beats[0], beats[b]));
  }

  auto r = runCommand(project.command(""));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto grid = test::checkMidiTimes(project.dir.file("take.mid"), placed, bars, 3.0);
  EXPECT_EQ(grid.exitCode, 0) << grid.err << grid.out;
  std::cout << "grid tempo:   " << grid.out;

  // The single tempo drifts away from the recording: shown for comparison.
  const std::string single = project.dir.file("single.mid");
  r = runCommand(project.command(" --tempo single --out " + single));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto drift = test::checkMidiTimes(single, placed, {}, 3.0);
  EXPECT_EQ(drift.exitCode, 1) << drift.err << drift.out;
  std::cout << "single tempo: " << drift.out;
}

TEST(CliExportMidi, WithoutMarkersTheGridTempoTakesTheWholeGrid) {
  Project project(test::toneSamples(441000, 220.0, 0.2, true), 2, [](NoteStore& notes) {
    const auto beats = test::putBeats(notes, 1000, 689, 8);
    for (const std::uint32_t b : {beats.front(), beats.back()})
      notes.lineMap[b] &= static_cast<std::uint8_t>(~(LINE_START | LINE_END));
    notes.startMarker = notes.endMarker = 0;
    test::putLine(notes, 1000 - 689, LINE_BEAT);  // a beat before the first bar
    test::putNote(notes, beats[0], 2, 40, 688);
    test::putNote(notes, beats[7], 3, 41, 688);
    // The closing chord on the last line, one note lasting past the grid.
    test::putNote(notes, beats[8], 4, 42, 300);
    test::putNote(notes, beats[8] + 1, 4, 46, 2000);
  });
  auto r = runCommand(project.command(" --json"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "{\"midi\": \"" + project.dir.file("take.mid") +
                       "\", \"start\": 1000, \"end\": " + std::to_string(1000 + 8 * 689) +
                       ", \"tempo\": \"grid\"}\n");
  const auto midi = test::readMidiFile(project.dir.file("take.mid"));
  ASSERT_TRUE(midi.ok) << midi.error;
  EXPECT_EQ(midi.format, 1);
  // The shipped settings export every track: the tempo track and seven more.
  ASSERT_EQ(midi.tracks, 8);
  EXPECT_EQ(channelEvents(midi.trackEvents[2], 0x90).front().tick, 0);
  EXPECT_EQ(channelEvents(midi.trackEvents[3], 0x90).front().tick, 7 * 240);
  // The last line's notes end at the next line, or one beat on at most.
  const auto closing = channelEvents(midi.trackEvents[4], 0x90);
  ASSERT_EQ(closing.size(), 4u);
  EXPECT_EQ(closing[0].tick, 8 * 240);
  EXPECT_EQ(closing[1].tick, 8 * 240);
  EXPECT_EQ(closing[2].tick, 9 * 240 - 8);
  EXPECT_EQ(closing[3].tick, 9 * 240 - 8);

  // The single tempo keeps its checks: without an END marker nothing is written.
  r = runCommand(project.command(" --tempo single --out " + project.dir.file("single.mid")));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("error:  ERROR : END line is out of scope."), std::string::npos) << r.err;
  EXPECT_FALSE(fileExists(project.dir.file("single.mid")));
}

// Seconds of the first sample within 50 ms of `at` that reaches a third of the
// loudest one there: the attack of a note sounding near `at`; -1 when silent.
double attackNear(const test::PcmWav& wav, double at) {
  const auto from = static_cast<std::size_t>(std::max(0.0, at - 0.05) * SAMPLE_RATE);
  const auto to = std::min(wav.left.size(), static_cast<std::size_t>((at + 0.05) * SAMPLE_RATE));
  float loudest = 0;
  for (std::size_t i = from; i < to; ++i)
    loudest = std::max({loudest, std::abs(wav.left[i]), std::abs(wav.right[i])});
  if (loudest < 0.01f) return -1;
  for (std::size_t i = from; i < to; ++i) {
    if (std::max(std::abs(wav.left[i]), std::abs(wav.right[i])) >= loudest / 3)
      return static_cast<double>(i) / SAMPLE_RATE;
  }
  return -1;
}

TEST(CliExportMidi, AnotherSynthesizerPlaysTheNotesOnTheRecordingsClicks) {
  const std::string bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (runCommand("command -v fluidsynth").exitCode != 0 || !fileExists(bank))
    GTEST_SKIP() << "fluidsynth or " << bank
                 << " is missing (scripts/install-deps.sh installs both)";
  // A click on every beat of a song that speeds up from 90 to 150 BPM; a
  // wood block note on every beat line.
  std::vector<std::uint32_t> beats;
  NoteStore grid = test::emptyScore(40000);
  beats = test::putTempoRamp(grid, 2000, {{24, 90, 150, 4}});
  std::vector<std::int16_t> clicks((beats.back() + 2000) * FRAMES_PER_POSITION, 0);
  for (const std::uint32_t b : beats) {
    const std::size_t frame = b * FRAMES_PER_POSITION - LEAD_IN_FRAMES;
    for (std::size_t i = 0; i < 64; ++i) clicks[frame + i] = (i % 2) ? 20000 : -20000;
  }
  Project project(clicks, 1, [&](NoteStore& notes) {
    test::putTempoRamp(notes, 2000, {{24, 90, 150, 4}});
    for (std::size_t b = 0; b + 1 < beats.size(); ++b)
      test::putNote(notes, beats[b], 1, 49, static_cast<int>(beats[b + 1] - beats[b]) / 4);
  });
  Settings settings;
  settings.values.trackProgram[1] = 116;  // the bank's wood block
  settings.values.midiOutput = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  settings.values.level[LEVEL_TRACK_OFFSET + 1] = 1.0f;
  ASSERT_EQ(saveSettings(settings, project.dir.file("take.xml")), 0);

  // Where each click lies, in seconds after the START line (time 0 of the file).
  const test::PcmWav recording = test::readPcmWav(project.wav);
  const double start = static_cast<double>(beats[0] * FRAMES_PER_POSITION - LEAD_IN_FRAMES);
  std::vector<double> clickTimes;
  for (std::size_t b = 0; b + 1 < beats.size(); ++b) {
    const double heard = attackNear(
        recording, test::positionSeconds(0, beats[b]) - LEAD_IN_FRAMES / double(SAMPLE_RATE));
    ASSERT_GE(heard, 0) << "no click at beat " << b;
    clickTimes.push_back(heard - start / SAMPLE_RATE);
  }

  // The largest distance from a click to the attack of its note, in ms.
  const auto render = [&](const std::string& tempo) {
    const std::string mid = project.dir.file(tempo + ".mid");
    const std::string wav = project.dir.file(tempo + ".wav");
    const auto r = runCommand(project.command(" --tempo " + tempo + " --out " + mid));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto synth =
        runCommand("fluidsynth -ni -F " + wav + " -r 44100 " + bank + " " + mid + " 2>&1");
    EXPECT_EQ(synth.exitCode, 0) << synth.out;
    const test::PcmWav played = test::readPcmWav(wav);
    EXPECT_EQ(played.rate, SAMPLE_RATE);
    double worst = 0;
    for (const double click : clickTimes) {
      const double attack = attackNear(played, click);
      worst = std::max(worst, attack < 0 ? 1e9 : std::abs(attack - click) * 1000);
    }
    return worst;
  };
  const double gridError = render("grid");
  EXPECT_LE(gridError, 10.0);
  // The single tempo misses the clicks: the check above can tell.
  const double singleError = render("single");
  EXPECT_GT(singleError, 10.0);
  std::cout << "fluidsynth, " << clickTimes.size() << " clicks: grid tempo within " << gridError
            << " ms; single tempo " << (singleError >= 1e9 ? "misses clicks by over 50" : "")
            << (singleError >= 1e9 ? 0 : singleError) << " ms\n";
}

}  // namespace
}  // namespace quavrix
