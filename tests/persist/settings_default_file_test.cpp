// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file shipped beside the program: it must load without a
// message, name instruments that are really at the places it points to in
// the shipped General MIDI bank, and keep the roll readable.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "persist/settings_file.h"
#include "support/scripted_prompter.h"

namespace quavrix {
namespace {

const std::string SHIPPED = std::string(QUAVRIX_SOURCE_DIR) + "/data/default_settings.xml";

struct Preset {
  int bank;
  int program;
  int order;  // place in the file, to keep the sort stable
  std::string name;
};

std::uint32_t le32(const std::vector<char>& d, std::size_t at) {
  return static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8 |
         static_cast<std::uint8_t>(d[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 3])) << 24;
}
int le16(const std::vector<char>& d, std::size_t at) {
  return static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8;
}

// The presets of a SoundFont sorted by bank, then program: the list whose
// 1-based places the settings hold. Only the preset headers are read.
std::vector<Preset> sortedPresets(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Preset> presets;
  auto walk = [&](std::size_t at, std::size_t end, auto&& self) -> void {
    while (at + 8 <= end) {
      const std::string id(&d[at], 4);
      const std::size_t size = le32(d, at + 4);
      const std::size_t body = at + 8;
      if (body + size > end) return;
      if (id == "LIST" && size >= 4 && std::string(&d[body], 4) == "pdta") {
        self(body + 4, body + size, self);
      } else if (id == "phdr") {
        for (std::size_t i = 0; i + 1 < size / 38; ++i) {  // the last record ends the list
          const std::size_t r = body + i * 38;
          presets.push_back({le16(d, r + 22), le16(d, r + 20), static_cast<int>(i),
                             std::string(&d[r], strnlen(&d[r], 20))});
        }
      }
      at = body + size + (size & 1);
    }
  };
  if (d.size() > 12) walk(12, d.size(), walk);
  std::sort(presets.begin(), presets.end(), [](const Preset& a, const Preset& b) {
    return std::tie(a.bank, a.program, a.order) < std::tie(b.bank, b.program, b.order);
  });
  return presets;
}

Settings loadShipped() {
  test::ScriptedPrompter prompter;
  Settings s;
  s.defaultPath = SHIPPED;
  loadSettings(s, "", prompter);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.last();
  EXPECT_EQ(s.loaded, 1);
  return s;
}

TEST(ShippedSettings, ProgramsPointAtTheNamedGeneralMidiPresets) {
  const std::string bank = std::string(QUAVRIX_BIN_DIR) + "/quavrix.sf2";
  if (!fileExists(bank)) GTEST_SKIP() << "no quavrix.sf2 beside the programs";
  const std::vector<Preset> presets = sortedPresets(bank);
  ASSERT_GT(presets.size(), 128u);
  const SettingValues v = loadShipped().values;
  EXPECT_EQ(v.soundFontFile, "quavrix.sf2");

  ASSERT_GE(v.tickProgram, 1);
  ASSERT_LE(v.tickProgram, static_cast<int>(presets.size()));
  const Preset& kit = presets[v.tickProgram - 1];
  EXPECT_EQ(kit.bank, 128);
  EXPECT_EQ(kit.program, 0);
  EXPECT_EQ(v.tickNote, 36);

  // General MIDI program numbers (0-based) of the families each track is meant for.
  const int families[8][2] = {{0, 0},   {32, 39}, {0, 7},   {24, 31},
                              {48, 55}, {16, 23}, {56, 63}, {80, 87}};
  for (int k = 1; k <= 7; ++k) {
    ASSERT_GE(v.trackProgram[k], 1) << k;
    ASSERT_LE(v.trackProgram[k], static_cast<int>(presets.size())) << k;
    const Preset& p = presets[v.trackProgram[k] - 1];
    EXPECT_EQ(p.bank, 0) << k;
    EXPECT_GE(p.program, families[k][0]) << "track " << k << " " << p.name;
    EXPECT_LE(p.program, families[k][1]) << "track " << k << " " << p.name;
    EXPECT_EQ(v.trackInstrument[k], p.name) << "track " << k;
    EXPECT_EQ(v.midiOutput[k], 1) << k;
  }
}

double luminance(const ColourRecord& c) {
  return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

TEST(ShippedSettings, ColoursKeepADarkRollReadable) {
  const auto& c = loadShipped().values.colours;
  const ColourRecord& ebony = c[COLOUR_EBONY_KEY];
  const ColourRecord& ivory = c[COLOUR_IVORY_KEY];
  const ColourRecord& ivoryC = c[COLOUR_IVORY_KEY_C];
  EXPECT_LT(luminance(ivory), 30.0) << "the roll is dark";
  EXPECT_GT(luminance(ivory) - luminance(ebony), 5.0) << "white and black keys differ";
  EXPECT_NE(ivoryC, ivory);

  const ColourRecord& bar = c[COLOUR_BAR_LINES];
  const ColourRecord& beat = c[COLOUR_BEAT_LINES];
  const ColourRecord& div = c[COLOUR_DIV_LINES];
  EXPECT_GT(bar.t, beat.t);
  EXPECT_GT(beat.t, div.t);
  EXPECT_GT(div.t, 0);
  EXPECT_GE(bar.a, beat.a);
  EXPECT_GE(beat.a, div.a);
  EXPECT_GT(luminance(bar), luminance(beat));
  EXPECT_GT(luminance(beat), luminance(div));

  const ColourRecord& guess = c[COLOUR_NOTE_GUESSING];
  EXPECT_GE(guess.a, 50);
  EXPECT_GT(guess.t, 0);

  for (int k = 1; k <= 7; ++k) {
    const ColourRecord& head = c[k + COLOUR_TRACK_OFFSET];
    EXPECT_EQ(head.a, 100) << "head of track " << k << " is opaque";
    EXPECT_GT(head.t, 0) << k;
    EXPECT_LT(head.t, head.a) << "tail of track " << k << " is lighter";
    for (int j = 1; j < k; ++j) {
      const ColourRecord& other = c[j + COLOUR_TRACK_OFFSET];
      const double dist = std::hypot(head.r - other.r, head.g - other.g, head.b - other.b);
      EXPECT_GT(dist, 30.0) << "tracks " << j << " and " << k << " look alike";
    }
    const double fromGuess = std::hypot(head.r - guess.r, head.g - guess.g, head.b - guess.b);
    EXPECT_GT(fromGuess, 30.0) << "track " << k << " looks like the note-guessing curve";
  }
}

using Rgb = std::array<double, 3>;

Rgb rgb(const ColourRecord& c) {
  return {c.r / 100.0, c.g / 100.0, c.b / 100.0};
}

// A line of the record's colour and opacity drawn over `ground`.
Rgb over(const ColourRecord& line, const Rgb& ground) {
  const double a = line.a / 100.0;
  const Rgb colour = rgb(line);
  Rgb out{};
  for (int i = 0; i < 3; ++i) out[i] = a * colour[i] + (1 - a) * ground[i];
  return out;
}

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double relativeLuminance(const Rgb& c) {
  const auto channel = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c[0]) + 0.7152 * channel(c[1]) + 0.0722 * channel(c[2]);
}

double contrast(const Rgb& a, const Rgb& b) {
  const double la = relativeLuminance(a);
  const double lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ShippedSettings, LinesStandOutThreeToOneFromEveryRowTheyCross) {
  const SettingValues v = loadShipped().values;
  const auto& c = v.colours;
  // The key rows and the roll's black between them.
  const std::pair<const char*, Rgb> grounds[] = {{"white-key row", rgb(c[COLOUR_IVORY_KEY])},
                                                 {"black-key row", rgb(c[COLOUR_EBONY_KEY])},
                                                 {"C row", rgb(c[COLOUR_IVORY_KEY_C])},
                                                 {"roll", {0, 0, 0}}};
  const std::pair<const char*, ColourRecord> lines[] = {{"bar lines", c[COLOUR_BAR_LINES]},
                                                        {"beat lines", c[COLOUR_BEAT_LINES]},
                                                        {"division lines", c[COLOUR_DIV_LINES]},
                                                        {"guessing", c[COLOUR_NOTE_GUESSING]},
                                                        {"playhead", v.playhead}};
  for (const auto& [lineName, line] : lines) {
    for (const auto& [groundName, ground] : grounds) {
      EXPECT_GE(contrast(over(line, ground), ground), 3.0) << lineName << " on the " << groundName;
    }
  }
  // The rule itself, on the colours the roll had before: division lines
  // (38, 38, 42 at 60 %) over the old C row (22, 24, 34) came to 1.39.
  const Rgb oldRow{0.22, 0.24, 0.34};
  EXPECT_NEAR(contrast(over({38, 38, 42, 60, 8, {}}, oldRow), oldRow), 1.39, 0.005);
}

}  // namespace
}  // namespace quavrix
