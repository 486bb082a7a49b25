// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli export-musicxml: a saved project (recording, .dat, settings)
// written as a score without a window, with the program's messages on stderr.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../persist/song_settings.h"
#include "analysis/wav_reader.h"
#include "persist/musicxml_writer.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "support/run_command.h"
#include "support/score_song.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

// The rich song at a quicker beat, saved beside a ten-second recording with
// its settings (key of Eb, tracks 1 and 4 exported).
struct SavedSong {
  test::TempDir dir;
  std::string wav = dir.file("take.wav");
  std::string dat = dir.file("take.dat");

  SavedSong() {
    EXPECT_TRUE(
        test::WavBuilder().format(2).data(test::toneSamples(441000, 220.0, 0.2, true)).write(wav));
    Recording rec;
    rec.path = wav;
    EXPECT_EQ(readRecordingSamples(rec), WAV_OK);
    test::ScriptedPrompter prompter;
    NoteStore notes;
    EXPECT_EQ(allocateNotes(notes, static_cast<std::uint32_t>(rec.capacity), prompter), 1);
    const test::ScoreSong song = test::richSong(600);  // fits the recording
    for (std::uint32_t p = 0; p < notes.positions; ++p) {
      notes.lineMap[p] = song.notes.lineMap[p];
      notes.slots[p] = song.notes.slots[p];
    }
    EXPECT_EQ(writeProject(notes, dat, prompter), 0);
    Settings settings;
    settings.values = valuesOf(song);
    EXPECT_EQ(saveSettings(settings, dir.file("take.xml")), 0);
  }

  std::string command(const std::string& extra = "") const {
    return test::binPath("quavrix-cli") + " export-musicxml --wav " + wav + " --dat " + dat + extra;
  }
};

TEST(CliExportMusicXml, WritesTheScoreBesideTheProjectOrSaysWhyNot) {
  SavedSong saved;
  const auto r = test::runCommand(saved.command(" --json"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string score = saved.dir.file("take.musicxml");
  EXPECT_EQ(r.out.rfind("{\"musicxml\": \"" + score + "\"", 0), 0u) << r.out;
  EXPECT_NE(r.err.find(std::string("information: ") + SCORE_COMPLETED_TEXT), std::string::npos)
      << r.err;
  std::ifstream in(score);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("<fifths>-3</fifths>"), std::string::npos);
  EXPECT_NE(text.str().find("<part id=\"P4\">"), std::string::npos);

  const auto failed = test::runCommand(saved.command(" --out " + saved.dir.file("no/x.musicxml")));
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.err.find("quavrix-cli export-musicxml: cannot write "), std::string::npos)
      << failed.err;
}

}  // namespace
}  // namespace quavrix
