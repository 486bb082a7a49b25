// SPDX-License-Identifier: GPL-3.0-or-later
// Bar and beat numbers as the window shows them while playing and beside the
// bar lines, and the play time.

#include "score/bar_numbers.h"

#include <gtest/gtest.h>

#include "base/units.h"
#include "score/beat_grid.h"
#include "support/score_fixture.h"

namespace quavrix {
namespace {

struct Bars : test::ScoreFixture {
  // Beats every 100 positions from 1000 to 1900; bar lines at 1100, 1400 and 1700.
  explicit Bars(std::uint32_t start = 0) {
    addLines({1000, 1200, 1300, 1500, 1600, 1800, 1900});
    addLines({1100, 1400, 1700}, LINE_BEAT | LINE_BAR);
    if (start) addLines({start}, LINE_BEAT | LINE_BAR | LINE_START);
    syncMarkers(*notes);
  }
  std::string at(std::uint32_t p) const { return barBeatText(barBeatAt(*notes, p)); }
};

TEST(BarNumbers, BarsCountFromTheFirstBarLineOrTheStartMarker) {
  const struct {
    std::uint32_t start;  // 0: no START marker
    std::uint32_t position;
    const char* shown;
  } cases[] = {
      {0, 999, "-"},     {0, 1050, "-"},      {0, 1100, "1.1"},    {0, 1250, "1.2"},
      {0, 1399, "1.3"},  {0, 1400, "2.1"},    {0, 1550, "2.2"},    {0, 1950, "3.3"},
      {1400, 1399, "-"}, {1400, 1400, "1.1"}, {1400, 1699, "1.3"}, {1400, 1750, "2.1"},
  };
  for (const auto& c : cases) {
    const Bars bars(c.start);
    EXPECT_EQ(bars.at(c.position), c.shown) << "START " << c.start << " at " << c.position;
  }
  test::ScoreFixture beatsOnly;
  beatsOnly.addLines({1000, 1100});
  EXPECT_EQ(firstBar(*beatsOnly.notes), NO_LINE);
  EXPECT_EQ(barBeatText(barBeatAt(*beatsOnly.notes, 1100)), "-");
}

TEST(BarNumbers, PlayTimeIsMinutesSecondsAndHundredthsOfTheRecording) {
  const struct {
    std::int64_t index;
    const char* shown;
  } cases[] = {
      {0, "0:00.00"},
      {LEAD_IN_FRAMES, "0:00.00"},
      {LEAD_IN_FRAMES + SAMPLE_RATE * 61 + SAMPLE_RATE / 2, "1:01.50"},
      {LEAD_IN_FRAMES + SAMPLE_RATE * 60 - 1, "0:59.99"},
      {LEAD_IN_FRAMES + std::int64_t{SAMPLE_RATE} * 600, "10:00.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(playTimeText(c.index), c.shown) << c.index;
}

}  // namespace
}  // namespace quavrix
