// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "support/midi_score.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

struct Note {
  double start, end;
  int pitch, velocity;
};

class CliTranscribe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    demo = dir->file("demo.wav");
    ASSERT_EQ(runCommand(binPath("quavrix-cli") + " demo " + demo + " --seconds 8").exitCode, 0);
  }
  static void TearDownTestSuite() { delete dir; }
  void SetUp() override {
    if (!std::filesystem::exists(binPath("note_model.qvnm")))
      GTEST_SKIP() << "no note model beside quavrix-cli: run scripts/fetch-model.sh, then rebuild";
  }
  static test::TempDir* dir;
  static std::string demo;
};
test::TempDir* CliTranscribe::dir = nullptr;
std::string CliTranscribe::demo;

TEST_F(CliTranscribe, JsonListsTheDemosMelodyInOrderAndTheMidiFileHoldsTheSameNotes) {
  const std::string mid = dir->file("notes.mid");
  const auto r =
      runCommand(binPath("quavrix-cli") + " transcribe " + demo + " --json --out " + mid);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex shape(
      R"(^\{"notes": \[(\{"start": [0-9.]+, "end": [0-9.]+, "pitch": [0-9]+, "velocity": [0-9]+\}(, )?)*\], "seconds": 8\.000000\}\n$)");
  ASSERT_TRUE(std::regex_match(r.out, shape)) << r.out.substr(0, 300);

  std::vector<Note> notes;
  const std::regex one(
      R"(\{"start": ([0-9.]+), "end": ([0-9.]+), "pitch": ([0-9]+), "velocity": ([0-9]+)\})");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), one);
       it != std::sregex_iterator(); ++it)
    notes.push_back(
        {std::stod((*it)[1]), std::stod((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4])});
  ASSERT_GT(notes.size(), 20u);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_LT(notes[i].start, notes[i].end);
    EXPECT_LE(notes[i].end, 8.0);
    EXPECT_TRUE(notes[i].velocity >= 1 && notes[i].velocity <= 127);
    if (i > 0) {
      EXPECT_LE(notes[i - 1].start, notes[i].start);
    }
  }
  // The demo's first melody notes: C5, E5, G5 at 0.25, 0.5 and 0.75 s.
  for (const auto& [pitch, at] : {std::pair{72, 0.25}, {76, 0.5}, {79, 0.75}}) {
    const bool found = std::any_of(notes.begin(), notes.end(), [&](const Note& n) {
      return n.pitch == pitch && std::abs(n.start - at) < 0.05;
    });
    EXPECT_TRUE(found) << pitch << " at " << at;
  }

  const auto file = test::readMidiFile(mid);
  ASSERT_TRUE(file.ok) << file.error;
  std::size_t ons = 0;
  for (const auto& e : file.events) ons += (e.bytes[0] & 0xF0) == 0x90 ? 1 : 0;
  EXPECT_EQ(ons, notes.size());
}

TEST_F(CliTranscribe, WithoutTheModelItExitsWithOneAndSaysWhy) {
  const auto r = runCommand("QUAVRIX_NOTE_MODEL=" + dir->file("missing.qvnm") + " " +
                            binPath("quavrix-cli") + " transcribe " + demo);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("the note model is not available"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace quavrix
