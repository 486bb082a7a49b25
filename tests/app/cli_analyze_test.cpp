// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>

#include "analysis/frequency_peaks.h"
#include "analysis/wav_reader.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

using test::binPath;
using test::runCommand;

class CliAnalyze : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    demo = dir->file("demo.wav");
    const auto made = runCommand(binPath("quavrix-cli") + " demo " + demo);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  static void TearDownTestSuite() { delete dir; }
  static test::TempDir* dir;
  static std::string demo;
};
test::TempDir* CliAnalyze::dir = nullptr;
std::string CliAnalyze::demo;

std::vector<long> numbersIn(const std::string& list) {
  std::vector<long> out;
  const std::regex number("-?[0-9]+");
  for (auto it = std::sregex_iterator(list.begin(), list.end(), number);
       it != std::sregex_iterator(); ++it)
    out.push_back(std::stol(it->str()));
  return out;
}

TEST_F(CliAnalyze, JsonHasTheAgreedShapeAndFindsTheDemoBeats) {
  const auto r = runCommand(binPath("quavrix-cli") + " analyze " + demo + " --json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex shape(
      R"(^\{"frames": 1323000, "capacity": 1333240, "positions": 41663, "blocks": 641, )"
      R"("source": "44100 Hz 16-bit stereo WAV", )"
      R"("beats": \[([0-9, ]*)\], "strong": ([0-9]+), "weak": ([0-9]+), )"
      R"("timing_ms": \{"read": [0-9.]+, "onsets": [0-9.]+, "spectrum": [0-9.]+\}\}\n$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(r.out, m, shape)) << r.out.substr(0, 400);

  // The demo clicks every 0.5 s from 0.25 s: frame 11025 + 22050 b, position
  // (8192 + frame) / 32. Each click must have a seeded beat within 8 ms.
  const auto beats = numbersIn(m[1].str());
  ASSERT_FALSE(beats.empty());
  EXPECT_TRUE(std::is_sorted(beats.begin(), beats.end()));
  int found = 0;
  for (int b = 0; b < 58; ++b) {
    const long click = (8192 + 11025 + 22050L * b) / 32;
    for (const long p : beats)
      if (p >= click - 2 && p <= click + 11) {
        ++found;
        break;
      }
  }
  EXPECT_GE(found, 56);
  EXPECT_GE(std::stoi(m[2].str()) + std::stoi(m[3].str()), found);
}

TEST_F(CliAnalyze, RowListsThePeaksOfBothChannels) {
  const auto r = runCommand(binPath("quavrix-cli") + " analyze " + demo + " --json --row 300");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex row(R"(, "row": \{"index": 300, "left": \[(.*)\], "right": \[(.*)\]\}\}\n$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, row)) << r.out.substr(r.out.size() - 300);
  const std::regex pair(R"(\[([0-9]+), ([0-9.eE+-]+)\])");
  int pairs = 0;
  const std::string left = m[1].str();
  for (auto it = std::sregex_iterator(left.begin(), left.end(), pair); it != std::sregex_iterator();
       ++it, ++pairs) {
    const int hz = std::stoi((*it)[1].str());
    EXPECT_GT(hz, 0);
    EXPECT_LT(hz, 2048);
    EXPECT_GT(std::stod((*it)[2].str()), 0.0);
  }
  EXPECT_GT(pairs, 0);

  const auto past = runCommand(binPath("quavrix-cli") + " analyze " + demo + " --row 641");
  EXPECT_NE(past.exitCode, 0);
}

// The spectrum rows as they were once stored: 2048 whole-hertz entries per
// row, cleared, then each strict local maximum of bins 1 .. 379 written at
// its interpolated frequency.
std::array<float, 2048> fullRow(const PowerBins& p) {
  std::array<float, 2048> row{};
  for (int k = 1; k <= 379; ++k) {
    const double c = p[k], l = p[k - 1], r = p[k + 1];
    if (!(c > l && c > r)) continue;
    const float hertz = static_cast<float>(k) * 5.38330078125f;
    const int h = static_cast<int>(hertz);
    const int above = static_cast<int>(hertz + 5.38330078125f);
    const int below = static_cast<int>(hertz - 5.38330078125f);
    int index;
    double value;
    if (r >= l) {
      const double v = (r - l) / (c - l);
      index = h + static_cast<int>((above - h - 1) * v);
      value = c + 0.5 * (r - l);
    } else {
      const double v = (l - r) / (2.0 * (c - r));
      index = h - static_cast<int>((h - below - 1) * v);
      value = c + 0.5 * (c - r) * v;
    }
    const auto entry = static_cast<std::uint16_t>(index);
    if (entry < 2048) row[entry] = static_cast<float>(value * 0.00244140625);
  }
  return row;
}

std::string pairsJson(const std::array<float, 2048>& row) {
  std::string out = "[";
  for (int hz = 0; hz < 2048; ++hz) {
    if (row[static_cast<std::size_t>(hz)] == 0.0f) continue;
    char pair[64];
    std::snprintf(pair, sizeof pair, "%s[%d, %.9g]", out.size() > 1 ? ", " : "", hz,
                  static_cast<double>(row[static_cast<std::size_t>(hz)]));
    out += pair;
  }
  return out + "]";
}

// Every entry of every row reads exactly as the full rows held it, and the
// command prints those rows.
TEST_F(CliAnalyze, SpectrumRowsReadAsTheFullRowsHeldThem) {
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0.0, 6000.0);
  std::vector<std::int16_t> samples(2 * 5 * 44100);
  for (std::int16_t& s : samples)
    s = static_cast<std::int16_t>(std::clamp(noise(random), -32768.0, 32767.0));
  const std::string noisy = dir->file("noise.wav");
  ASSERT_TRUE(test::WavBuilder().format(2).data(samples).write(noisy));

  for (const std::string& file : {demo, noisy}) {
    Recording rec;
    rec.path = file;
    ASSERT_EQ(readRecording(rec), WAV_OK) << file;
    FftPlan plan;
    FftWorkspace work(plan);
    ASSERT_TRUE(work.ready());
    PowerBins power;
    std::array<std::array<float, 2048>, 2> expected{};
    long peaks = 0;
    for (int row = 0; row < rec.blockCount; ++row) {
      for (int channel = 0; channel < 2; ++channel) {
        if (row > 0) {
          const auto& samples16 = channel == 0 ? rec.left : rec.right;
          work.powers(samples16.data() + static_cast<std::size_t>(row) * 2048, power);
          expected[static_cast<std::size_t>(channel)] = fullRow(power);
        }
        for (int hz = 0; hz < 2048; ++hz) {
          const float want =
              expected[static_cast<std::size_t>(channel)][static_cast<std::size_t>(hz)];
          ASSERT_EQ(spectrumValue(rec, channel, row, hz), want)
              << file << " row " << row << " channel " << channel << " at " << hz;
          peaks += want != 0.0f;
        }
      }
      if (row == 3 || row == rec.blockCount / 2) {
        const auto r = runCommand(binPath("quavrix-cli") + " analyze " + file + " --json --row " +
                                  std::to_string(row));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("\"left\": " + pairsJson(expected[0]) +
                             ", \"right\": " + pairsJson(expected[1]) + "}}"),
                  std::string::npos)
            << file << " row " << row;
      }
    }
    EXPECT_GT(peaks, 50L * rec.blockCount) << file;
  }
}

TEST(CliAnalyzeErrors, UnreadableFileNamesTheFileAndTheSystemsReason) {
  test::TempDir dir;
  const auto r =
      runCommand(binPath("quavrix-cli") + " analyze " + dir.file("none.wav") + " --json");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, "quavrix-cli analyze: cannot read " + dir.file("none.wav") +
                       ": No such file or directory\n");

  const auto usage = runCommand(binPath("quavrix-cli") + " analyze");
  EXPECT_EQ(usage.exitCode, 2);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SHADOW_MEMORY = true;
#else
constexpr bool SHADOW_MEMORY = false;
#endif

TEST(CliAnalyzeErrors, ARecordingTooLongForTheMemoryIsRefusedBeforeReading) {
  if (SHADOW_MEMORY) GTEST_SKIP() << "the sanitizer's shadow memory counts against a data limit";
  // Three hours of stereo, as far as its size goes: a header, then a hole.
  test::TempDir dir;
  const std::string path = dir.file("long.wav");
  const std::uint32_t bytes = 3u * 3600u * 44100u * 4u;
  ASSERT_TRUE(test::WavBuilder().format(2).data({}, bytes).write(path));
  std::filesystem::resize_file(path, 44 + static_cast<std::uintmax_t>(bytes));

  // Within 300 MB of data the buffers of about twenty minutes fit.
  const auto r = runCommand("bash -c 'ulimit -d 307200; exec " + binPath("quavrix-cli") +
                            " analyze " + path + "'");
  EXPECT_EQ(r.exitCode, 1);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      r.err, m,
      std::regex("INIT ctrl\n Not enough memory for this .wav file\n This machine can open "
                 "recordings up to 0 h ([0-9]{2}) min long.")))
      << r.err;
  EXPECT_GE(std::stoi(m[1].str()), 15);
  EXPECT_LE(std::stoi(m[1].str()), 28);
}

}  // namespace
}  // namespace quavrix
