// SPDX-License-Identifier: GPL-3.0-or-later
// Reads our exported files with a MIDI reader we did not write (mido) and
// checks tempo, programs and every note against the score they came from.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "persist/midi_export.h"
#include "support/midi_score.h"
#include "support/run_command.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

const char* const PYTHON = "/usr/bin/python3";

bool haveMido() {
  return test::runCommand(std::string(PYTHON) + " -c 'import mido'").exitCode == 0;
}

struct Line {
  std::uint32_t position;
  std::int32_t tick;  // where the file must put it
};

struct ExpectedNote {
  int channel, key, velocity;
  std::int32_t on, off;
};

// Eight bars of 4/4 at 120 BPM whose beats are split into 1 to 4 parts, with
// notes, chords and rests on all seven tracks, track 6 not exported.
struct Song {
  NoteStore notes = test::emptyScore(40000);
  SettingValues values;
  std::vector<Line> lines;
  std::vector<ExpectedNote> expected;

  Song() {
    constexpr std::uint32_t START = 1000;
    constexpr std::uint32_t INTERVAL = 689;  // 82687.5 / 689 = 120.01 -> 120 BPM
    constexpr int BEATS = 32;
    std::mt19937 random(20240611);
    const auto beats = test::putBeats(notes, START, INTERVAL, BEATS);
    for (int b = 0; b < BEATS; ++b) {
      lines.push_back({beats[b], b * 240});
      const int parts = 1 + static_cast<int>(random() % 4);
      for (int d = 1; d < parts; ++d) {
        const std::uint32_t p = beats[b] + static_cast<std::uint32_t>(d * INTERVAL / parts);
        test::putLine(notes, p, LINE_DIVISION);
        lines.push_back({p, b * 240 + d * (240 / parts)});
      }
    }
    lines.push_back({beats[BEATS], BEATS * 240});

    for (int t = 1; t <= 7; ++t) {
      values.trackProgram[t] = 1 + 13 * t;
      values.midiOutput[t] = t == 6 ? 0 : 1;
      values.level[t + LEVEL_TRACK_OFFSET] = 0.3f + 0.1f * static_cast<float>(t);
    }
    // Up to three notes on most lines, each in its own slot behind the line,
    // ending just before a later line (or running into the END line).
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      const int count = static_cast<int>(random() % 4);
      for (int c = 0; c < count; ++c) {
        const std::uint32_t slot = lines[i].position + static_cast<std::uint32_t>(c);
        const int track = 1 + static_cast<int>(random() % 7);
        const int key = 1 + static_cast<int>(random() % 84);
        const std::size_t target =
            std::min(lines.size() - 1, i + 1 + static_cast<std::size_t>(random() % 6));
        const int duration = static_cast<int>(lines[target].position - slot) - 1 +
                             (target == lines.size() - 1 ? 50 : 0);
        test::putNote(notes, slot, track, key, duration);
        if (values.midiOutput[track] == 0) continue;
        const int velocity = static_cast<int>(values.level[track + LEVEL_TRACK_OFFSET] * 127.0f);
        expected.push_back({track, key + 23, velocity, lines[i].tick, lines[target].tick - 8});
      }
    }
  }

  std::string expectedJson() const {
    std::ostringstream j;
    j << "{\"ticks_per_beat\": 240, \"tempos\": [[0, 500000]], \"programs\": [[9, 0]";
    for (int t = 1; t <= 7; ++t) j << ", [" << t << ", " << values.trackProgram[t] - 1 << "]";
    j << "], \"notes\": [";
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const ExpectedNote& n = expected[i];
      j << (i ? ", " : "") << "[" << n.channel << ", " << n.key << ", " << n.velocity << ", "
        << n.on << ", " << n.off << "]";
    }
    j << "]}";
    return j.str();
  }
};

TEST(MidiExportMido, AnIndependentReaderSeesEveryNoteWhereItBelongs) {
  if (!haveMido()) GTEST_SKIP() << PYTHON << " cannot import mido";
  test::TempDir dir;
  Song song;
  ASSERT_GT(song.expected.size(), 40u);
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  const std::string mid = dir.file("song.mid");
  ASSERT_EQ(exportMidi(song.notes, song.values, mid, song.notes.startMarker, song.notes.endMarker,
                       prompter, log),
            MIDI_EXPORT_WRITTEN)
      << prompter.last();
  // What this song gave before the tempo map existed, byte for byte.
  EXPECT_EQ(test::fingerprint(test::readBytes(mid)), 0x94bed81e8e259442ULL);
  std::ofstream(dir.file("expected.json")) << song.expectedJson();

  const auto run =
      test::runCommand(std::string(PYTHON) + " " + QUAVRIX_SOURCE_DIR +
                       "/tests/persist/check_midi.py " + mid + " " + dir.file("expected.json"));
  EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find(std::to_string(song.expected.size()) + " notes"), std::string::npos)
      << run.out;
}

TEST(MidiExportMido, TheCheckerNoticesAWrongNote) {
  // The comparison must be able to fail, or the test above proves nothing.
  if (!haveMido()) GTEST_SKIP() << PYTHON << " cannot import mido";
  test::TempDir dir;
  Song song;
  test::ScriptedPrompter prompter;
  std::ostringstream log;
  const std::string mid = dir.file("song.mid");
  ASSERT_EQ(exportMidi(song.notes, song.values, mid, song.notes.startMarker, song.notes.endMarker,
                       prompter, log),
            MIDI_EXPORT_WRITTEN);
  song.expected.back().off += 1;
  std::ofstream(dir.file("expected.json")) << song.expectedJson();
  const auto run =
      test::runCommand(std::string(PYTHON) + " " + QUAVRIX_SOURCE_DIR +
                       "/tests/persist/check_midi.py " + mid + " " + dir.file("expected.json"));
  EXPECT_EQ(run.exitCode, 1) << run.err << run.out;
  EXPECT_NE(run.err.find("notes differ"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace quavrix
