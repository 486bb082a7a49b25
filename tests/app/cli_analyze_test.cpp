#include <gtest/gtest.h>

#include <regex>

#include "support/run_command.h"
#include "support/temp_dir.h"

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

}  // namespace
}  // namespace quavrix
