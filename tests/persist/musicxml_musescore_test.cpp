// SPDX-License-Identifier: GPL-3.0-or-later
// A notation program we did not write (MuseScore 3, run headless) reads our
// scores and plays them back as MIDI: every note must come back with its
// pitch, onset and length in beats, as the project holds it.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "persist/musicxml_writer.h"
#include "song_settings.h"
#include "support/run_command.h"
#include "support/score_song.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

const char* const PYTHON = "/usr/bin/python3";

struct MuseScore {
  test::TempDir home;  // its settings go here, not into the user's
  std::string startFailure;

  MuseScore() {
    const auto r = test::runCommand(env() + "mscore3 --version");
    if (r.exitCode != 0) startFailure = "exit " + std::to_string(r.exitCode) + ": " + r.err;
  }
  std::string env() const { return "QT_QPA_PLATFORM=offscreen HOME=" + home.path().string() + " "; }

  // Converts the score to MIDI; the command's output when it failed.
  std::string toMidi(const std::string& score, const std::string& midi) const {
    const auto r = test::runCommand(env() + "mscore3 -o " + midi + " " + score);
    return r.exitCode == 0 ? std::string() : r.out + r.err;
  }
};

std::string expectedJson(const std::vector<test::SongNote>& notes) {
  std::ostringstream j;
  j << "[";
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const test::SongNote& n = notes[i];
    j << (i ? ", " : "") << "[" << n.track << ", " << n.midiKey << ", " << n.start << ", "
      << n.length << "]";
  }
  j << "]";
  return j.str();
}

test::CommandResult check(const test::TempDir& dir, const std::string& midi,
                          const std::vector<test::SongNote>& expected) {
  std::ofstream(dir.file("expected.json")) << expectedJson(expected);
  return test::runCommand(std::string(PYTHON) + " " + QUAVRIX_SOURCE_DIR +
                          "/tests/persist/check_score_midi.py " + midi + " " +
                          dir.file("expected.json"));
}

// Twelve bars of 2 to 5 beats, beats split into 1, 2, 3, 4, 5, 6, 8 or 12 parts,
// and on two tracks two lanes each of notes and chords from one grid line to
// another, with rests between; the lanes overlap freely, so notes of one
// track often overlap with different lengths.
test::ScoreSong randomSong(unsigned seed) {
  std::mt19937 random(seed);
  test::ScoreSong song(60000);
  song.midiOutput[2] = 1;
  song.midiOutput[6] = 1;
  song.keySetting = static_cast<int>(random() % 12);
  static constexpr int SPLITS[] = {1, 2, 3, 4, 5, 6, 8, 12};
  for (int bar = 0; bar < 12; ++bar) {
    std::vector<int> parts;
    const int beats = 2 + static_cast<int>(random() % 4);
    for (int b = 0; b < beats; ++b) parts.push_back(SPLITS[random() % 8]);
    song.addBeats(beats, true, parts);
  }
  song.close();
  std::vector<std::pair<int, int>> points;  // every grid line: beat, part
  for (std::size_t b = 0; b + 1 < song.beats.size(); ++b) {
    for (int p = 0; p < song.parts[b]; ++p) points.emplace_back(static_cast<int>(b), p);
  }
  points.emplace_back(static_cast<int>(song.beats.size()) - 1, 0);
  const int last = static_cast<int>(points.size()) - 1;
  for (int track : {2, 6}) {
    for (int lane = 0; lane < 2; ++lane) {
      // Lanes keep to their own keys: a key never overlaps itself.
      const int low = lane == 0 ? 62 : 38;
      for (int at = static_cast<int>(random() % 3); at < last;) {
        const int end = std::min(last, at + 1 + static_cast<int>(random() % 9));
        const int keys = 1 + static_cast<int>(random() % 2);
        for (int k = 0; k < keys; ++k) {
          song.addNote(track, low + 12 * k + static_cast<int>(random() % 12), points[at].first,
                       points[at].second, points[end].first, points[end].second);
        }
        at = end + static_cast<int>(random() % 3);
      }
    }
  }
  return song;
}

struct RoundTrip : testing::Test {
  MuseScore museScore;
  test::TempDir dir;
  test::ScriptedPrompter prompter;

  void SetUp() override {
    if (!museScore.startFailure.empty()) {
      GTEST_SKIP() << "MuseScore 3 (mscore3, installed by scripts/install-deps.sh) cannot "
                      "start, so no notation program reads the scores here: "
                   << museScore.startFailure;
    }
    if (test::runCommand(std::string(PYTHON) + " -c 'import mido'").exitCode != 0) {
      GTEST_SKIP() << PYTHON << " cannot import mido";
    }
  }

  // Writes the song's score and has MuseScore turn it into MIDI.
  std::string played(const test::ScoreSong& song, const std::string& name) {
    const std::string score = dir.file(name + ".musicxml");
    const std::string midi = dir.file(name + ".mid");
    EXPECT_EQ(exportMusicXml(song.notes, valuesOf(song), {}, score, prompter), SCORE_EXPORT_WRITTEN)
        << prompter.last();
    const std::string failure = museScore.toMidi(score, midi);
    EXPECT_EQ(failure, "");
    return midi;
  }
};

TEST_F(RoundTrip, EveryNoteOfTheRichSongComesBackAsWritten) {
  const test::ScoreSong song = test::richSong();
  const std::string midi = played(song, "rich");
  std::vector<test::SongNote> expected = song.expected();
  ASSERT_EQ(expected.size(), 31u);
  const auto run = check(dir, midi, expected);
  EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("31 notes match"), std::string::npos) << run.out;

  // The comparison can fail: one note a sixteenth late is noticed.
  expected[5].start += 0.25;
  const auto wrong = check(dir, midi, expected);
  EXPECT_EQ(wrong.exitCode, 1) << wrong.out;
  EXPECT_NE(wrong.err.find("notes differ"), std::string::npos) << wrong.err;
}

TEST_F(RoundTrip, SixOverlappingNotesOfOneTrackComeBackFromTwoStaves) {
  // Each note starts an eighth after the one before and all end later: six
  // voices, more than one staff holds.
  test::ScoreSong song;
  song.midiOutput[3] = 1;
  song.addBeats(4, true, {2, 2, 2, 2});
  song.addBeats(4, true);
  song.close();
  for (int i = 0; i < 6; ++i) song.addNote(3, 60 + 2 * i, i / 2, i % 2, 4 + i / 2, 0);
  const std::string midi = played(song, "six");
  const auto run = check(dir, midi, song.expected());
  EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
  std::ifstream in(dir.file("six.musicxml"));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("<staves>2</staves>"), std::string::npos);
}

TEST_F(RoundTrip, RandomBarsDivisionsAndOverlapsComeBackAsWritten) {
  for (unsigned seed : {7u, 1234u, 20261210u}) {
    const test::ScoreSong song = randomSong(seed);
    const std::string midi = played(song, "random" + std::to_string(seed));
    const auto expected = song.expected();
    ASSERT_GT(expected.size(), 60u);
    const auto run = check(dir, midi, expected);
    EXPECT_EQ(run.exitCode, 0) << "seed " << seed << "\n" << run.err << run.out;
  }
}

}  // namespace
}  // namespace quavrix
