// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli beats: the JSON a script reads is the grid "Find beats" lays.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>

#include "base/units.h"
#include "engine/engine.h"
#include "engine/find_beats.h"
#include "support/engine/project_fixture.h"
#include "support/metronome.h"
#include "support/run_command.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

// The numbers of the JSON array after "name":.
std::vector<double> jsonArray(const std::string& json, const std::string& name) {
  const std::size_t at = json.find("\"" + name + "\": [");
  if (at == std::string::npos) return {};
  const std::size_t end = json.find(']', at);
  const std::string list = json.substr(at, end - at);
  std::vector<double> out;
  const std::regex number("[0-9]+\\.[0-9]+");
  for (auto it = std::sregex_iterator(list.begin(), list.end(), number);
       it != std::sregex_iterator(); ++it)
    out.push_back(std::stod(it->str()));
  return out;
}

TEST(CliBeats, JsonMatchesTheGridThatFindBeatsLays) {
  test::ProjectFixture f;
  const double seconds = 12.0;
  const auto clicks = test::beatInstants(seconds, [](double t) { return 100.0 + t; });
  ASSERT_TRUE(
      test::WavBuilder().format(2).data(test::metronomeFrames(clicks, 3, seconds)).write(f.wav));
  const auto run = runCommand(binPath("quavrix-cli") + " beats " + f.wav + " --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\"beats_per_bar\": 3}"), std::string::npos) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("^\\{\"bpm\": [0-9.]+, \"beats\": \\[")));
  const auto beats = jsonArray(run.out, "beats");
  const auto downbeats = jsonArray(run.out, "downbeats");
  ASSERT_GE(beats.size(), clicks.size() - 2);
  for (double bar : downbeats)
    EXPECT_NE(std::find(beats.begin(), beats.end(), bar), beats.end()) << "downbeats are beats";

  ASSERT_TRUE(f.open());
  findBeats(*f.engine);
  const NoteStore& notes = f.engine->notes;
  std::vector<std::uint32_t> beatLines, barLines;
  for (std::uint32_t p = 0; p < notes.positions; ++p) {
    if (notes.lineMap[p] & LINE_BEAT) beatLines.push_back(p);
    if (notes.lineMap[p] & LINE_BAR) barLines.push_back(p);
  }
  const auto expectSame = [](const std::vector<double>& times,
                             const std::vector<std::uint32_t>& lines) {
    ASSERT_EQ(times.size(), lines.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
      const double position = (times[i] * SAMPLE_RATE + LEAD_IN_FRAMES) / FRAMES_PER_POSITION;
      EXPECT_LE(std::abs(position - lines[i]), 1.0) << times[i];
    }
  };
  expectSame(beats, beatLines);
  expectSame(downbeats, barLines);
}

TEST(CliBeats, UnreadableInputIsRefusedInOneLine) {
  test::TempDir dir;
  const std::string bad = dir.file("bad.wav");
  std::ofstream(bad) << "not a recording";
  for (const std::string& path : {bad, dir.file("missing.wav")}) {
    const auto run = runCommand(binPath("quavrix-cli") + " beats " + path);
    EXPECT_EQ(run.exitCode, 1) << path;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

}  // namespace
}  // namespace quavrix
