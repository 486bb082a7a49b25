// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder's delay and padding, read from an MP3's first frame, and the
// part of a decoded stream that is the music.

#include "analysis/mp3_gapless.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/temp_dir.h"

namespace quavrix {
namespace {

TEST(Mp3Gapless, TheHeaderAccountsForEveryFrameAroundTheMusic) {
  test::TempDir dir;
  const std::string path = dir.file("tone.mp3");
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const std::vector<float> silence(2 * 100000, 0.0f);
  sf_writef_float(file, silence.data(), 100000);
  ASSERT_EQ(sf_close(file), 0);

  const auto padding = readMp3Padding(path);
  ASSERT_TRUE(padding);
  EXPECT_EQ(padding->samplesPerFrame, 1152);
  EXPECT_GT(padding->delay, 0);
  EXPECT_EQ(padding->audioFrames * padding->samplesPerFrame - padding->delay - padding->padding,
            100000);

  // Behind an ID3v2 tag the header is found all the same; without the Info
  // frame there is nothing to go by.
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0};  // 128-byte tag
  tagged.resize(10 + 128, 0);
  tagged.insert(tagged.end(), bytes.begin(), bytes.end());
  const auto behindTag = parseMp3Padding(tagged.data(), tagged.size());
  ASSERT_TRUE(behindTag);
  EXPECT_EQ(behindTag->delay, padding->delay);
  EXPECT_EQ(behindTag->padding, padding->padding);
  std::fill(bytes.begin() + 36, bytes.begin() + 40, 0);  // "Info" of the MPEG-1 stereo frame
  EXPECT_FALSE(parseMp3Padding(bytes.data(), bytes.size()));
}

TEST(Mp3Gapless, OnlyAnUntrimmedStreamIsTrimmed) {
  const Mp3Padding p{231, 1152, 576, 936};  // 264600 frames of music
  const FrameWindow trimmed = gaplessWindow(p, 264600);
  EXPECT_EQ(trimmed.skip, 0);
  EXPECT_EQ(trimmed.keep, -1);
  const FrameWindow whole = gaplessWindow(p, 231 * 1152);
  EXPECT_EQ(whole.skip, 576 + MP3_DECODER_DELAY);
  EXPECT_EQ(whole.keep, 264600);

  struct Case {
    std::int64_t first, count, offset, kept;
  };
  for (const Case& c :
       {Case{0, 1000, 0, 0}, Case{0, 4096, 1105, 4096 - 1105}, Case{4096, 4096, 0, 4096},
        Case{264600, 4096, 0, 1105}, Case{266112, 0, 0, 0}}) {
    const auto [offset, kept] = whole.within(c.first, c.count);
    EXPECT_EQ(offset, c.offset) << c.first;
    EXPECT_EQ(kept, c.kept) << c.first;
  }
}

}  // namespace
}  // namespace quavrix
