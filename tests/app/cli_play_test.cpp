// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli play on the WAV device: the demo recording with a few notes
// gives a file in which both the recording and the notes can be measured.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <span>

#include "analysis/wav_reader.h"
#include "base/units.h"
#include "persist/project_file.h"
#include "score/beat_grid.h"
#include "score/note_store.h"
#include "support/run_command.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

// Power of one frequency over a stretch of a channel.
double powerAt(std::span<const std::int16_t> x, std::size_t from, std::size_t count, double hz) {
  double re = 0, im = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double w = 2 * M_PI * hz * static_cast<double>(i) / 44100.0;
    re += x[from + i] * std::cos(w);
    im += x[from + i] * std::sin(w);
  }
  return (re * re + im * im) / (static_cast<double>(count) * count);
}

// Best normalised correlation of `a` (a window) against `b` over shifts.
double bestCorrelation(std::span<const std::int16_t> a, std::size_t aFrom,
                       std::span<const std::int16_t> b, std::size_t bFrom, std::size_t count,
                       int maxShift) {
  double best = 0;
  for (int shift = -maxShift; shift <= maxShift; shift += 1) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < count; i += 4) {
      const double x = a[aFrom + i];
      const double y = b[static_cast<std::size_t>(static_cast<long>(bFrom + i) + shift)];
      ab += x * y;
      aa += x * x;
      bb += y * y;
    }
    if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

TEST(CliPlay, DemoWithNotesOnTheWavDevice) {
  test::TempDir dir;
  const std::string demo = dir.file("demo.wav");
  ASSERT_EQ(runCommand(binPath("quavrix-cli") + " demo " + demo).exitCode, 0);

  // A project on the demo: beats at 120 BPM from its first click, and a note of
  // track 2 (a piano by default) at MIDI 100, 2637 Hz, on every other beat.
  Recording rec;
  rec.path = demo;
  ASSERT_EQ(readRecordingSamples(rec), WAV_OK);
  test::ScriptedPrompter prompter;
  NoteStore notes;
  ASSERT_EQ(allocateNotes(notes, static_cast<std::uint32_t>(rec.capacity), prompter), 1);
  const std::uint32_t first = (LEAD_IN_FRAMES + 11025) / 32;
  const double beat = 22050.0 / 32;
  for (int b = 0; b < 58; ++b)
    setLine(notes, first + static_cast<std::uint32_t>(std::lround(b * beat)), LINE_BEAT, false);
  for (int b = 0; b < 56; b += 2) {
    const auto line = first + static_cast<std::uint32_t>(std::lround(b * beat));
    const auto next = first + static_cast<std::uint32_t>(std::lround((b + 1) * beat));
    notes.slots[line] = makeNote(2, 100 - KEY_TO_MIDI, static_cast<int>(next - line) - 1);
  }
  buildNoteOffs(notes);
  const std::string dat = dir.file("demo.dat");
  ASSERT_EQ(writeProject(notes, dat, prompter), 0);
  std::filesystem::copy_file(binPath("default_settings.xml"), dir.file("demo.xml"));

  const std::string out = dir.file("heard.wav");
  const auto r = runCommand(binPath("quavrix-cli") + " play --wav " + demo + " --dat " + dat +
                            " --from 1 --to 4 --audio wav:" + out + " --json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"("finished": true, "underruns": ([0-9]+))")))
      << r.out;

  Recording heard;
  heard.path = out;
  ASSERT_EQ(readRecordingSamples(heard), WAV_OK);
  ASSERT_GT(heard.framesRead, 44100u * 3);
  // Skip the device's silence before the pass: the first loud frame.
  std::size_t at = LEAD_IN_FRAMES;
  while (at < LEAD_IN_FRAMES + heard.framesRead && std::abs(heard.left[at]) < 328) ++at;
  ASSERT_LT(at + 2 * 44100, LEAD_IN_FRAMES + heard.framesRead);

  // The recording: half a second of what was heard matches the demo from
  // about 1 s on (the pass plays from start - lag + 2048), with the ticks and
  // the notes mixed in; half a second of the demo from elsewhere does not.
  const std::size_t window = 22050;
  const double corr = bestCorrelation(heard.left, at + 44100, rec.left,
                                      LEAD_IN_FRAMES + 44100 + 44100 + 2048, window, 3000);
  const double elsewhere =
      bestCorrelation(heard.left, at + 44100, rec.left,
                      LEAD_IN_FRAMES + 44100 + 44100 + 2048 + 14000, window, 3000);
  EXPECT_GT(corr, 0.6);
  EXPECT_GT(corr, elsewhere + 0.2) << corr << " vs " << elsewhere;

  // The notes: strong 2637 Hz where the demo has almost none.
  const double notesHeard = powerAt(heard.right, at, 2 * 44100, 2637.0);
  const double inDemo = powerAt(rec.right, LEAD_IN_FRAMES + 44100, 2 * 44100, 2637.0);
  EXPECT_GT(notesHeard, 50 * inDemo) << notesHeard << " vs " << inDemo;
}

TEST(CliPlay, LostOutputAndUnreadableNamedFilesFailTheCommand) {
  test::TempDir dir;
  const std::string demo = dir.file("demo.wav");
  ASSERT_EQ(runCommand(binPath("quavrix-cli") + " demo " + demo + " --seconds 1").exitCode, 0);
  const std::string out = dir.file("heard.wav");
  std::filesystem::copy_file(demo, out);
  const auto play = [&](const std::string& extra) {
    return runCommand(binPath("quavrix-cli") + " play --wav " + demo + " --to 0.3" + extra);
  };
  const auto unreadable = test::unreadablePaths(dir);
  const struct {
    std::string extra;
    std::string message;
  } cases[] = {
      {" --audio wav:/dev/full", "writing /dev/full failed: No space left on device"},
      {" --audio wav:" + unreadable[2].path,
       "cannot create " + unreadable[2].path + ": Not a directory"},
      {" --audio wav:" + out + " --settings " + dir.file("none.xml"),
       "cannot read settings file " + dir.file("none.xml") + ": No such file or directory"},
      {" --audio wav:" + out + " --settings " + dir.path().string(),
       "cannot read settings file " + dir.path().string() + ": Is a directory"},
  };
  for (const auto& c : cases) {
    const auto r = play(c.extra);
    EXPECT_EQ(r.exitCode, 1) << c.extra;
    EXPECT_NE(r.err.find("quavrix-cli play: " + c.message + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("played"), std::string::npos) << r.out;
  }
  // The failed runs left the earlier output as it was.
  EXPECT_EQ(std::filesystem::file_size(out), std::filesystem::file_size(demo));
  EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
}

TEST(CliPlay, RefusesBadArguments) {
  EXPECT_EQ(runCommand(binPath("quavrix-cli") + " play").exitCode, 2);
  EXPECT_EQ(runCommand(binPath("quavrix-cli") + " play --wav x.wav --speed 100").exitCode, 2);
  EXPECT_EQ(runCommand(binPath("quavrix-cli") + " play --wav x.wav --from 3 --to 2").exitCode, 2);
  const auto missing =
      runCommand(binPath("quavrix-cli") + " play --wav /nonexistent.wav --audio null");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Can not open .wav file"), std::string::npos);
}

}  // namespace
}  // namespace quavrix
