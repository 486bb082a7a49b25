// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wav_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "support/sf2_signal.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

TEST(WavWriter, WritesSixteenBitPcmThatReadsBack) {
  test::TempDir dir;
  const std::string path = dir.file("out.wav");
  const std::vector<float> first = {0.0f, 0.5f, -0.5f, 1.0f};
  const std::vector<float> second = {-1.0f, 0.25f};
  WavWriter writer;
  ASSERT_TRUE(writer.open(path, 2, 44100));
  ASSERT_TRUE(writer.write(first.data(), 2));  // streamed in two pieces
  ASSERT_TRUE(writer.write(second.data(), 1));
  EXPECT_EQ(writer.framesWritten(), 3u);
  ASSERT_TRUE(writer.close());

  test::Wav16 wav;
  ASSERT_TRUE(test::readWav16(path, wav));
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.rate, 44100);
  EXPECT_EQ(wav.dataBytes, 12u);
  const std::vector<float> expected = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 0.25f};
  ASSERT_EQ(wav.samples.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_NEAR(wav.samples[i], expected[i], 1.0 / 32767) << i;
}

TEST(WavWriter, ClipsLoudSamplesAndSilencesNaN) {
  test::TempDir dir;
  const std::vector<float> loud = {1.5f, -7.0f, std::numeric_limits<float>::quiet_NaN(), 0.1f};
  ASSERT_TRUE(writeWav16(dir.file("mono.wav"), loud.data(), loud.size(), 1, 22050));
  WavWriter counting;
  ASSERT_TRUE(counting.open(dir.file("again.wav"), 1, 22050));
  counting.write(loud.data(), loud.size());
  EXPECT_EQ(counting.clippedSamples(), 3u);
  EXPECT_TRUE(counting.close());

  test::Wav16 wav;
  ASSERT_TRUE(test::readWav16(dir.file("mono.wav"), wav));
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.rate, 22050);
  ASSERT_EQ(wav.samples.size(), 4u);
  EXPECT_FLOAT_EQ(wav.samples[0], 1.0f);
  EXPECT_FLOAT_EQ(wav.samples[1], -1.0f);
  EXPECT_FLOAT_EQ(wav.samples[2], 0.0f);
}

TEST(WavWriter, AFailedWriteLeavesTheOldFileAsItWas) {
  test::TempDir dir;
  const std::string path = dir.file("out.wav");
  const float x[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  ASSERT_TRUE(writeWav16(path, x, 2, 2, 44100));
  const auto before = std::filesystem::file_size(path);
  {
    WavWriter writer;
    ASSERT_TRUE(writer.open(path, 2, 44100));
    ASSERT_TRUE(writer.write(x, 1));
    // More than the 32-bit sizes of a WAV file can count: refused unwritten.
    EXPECT_FALSE(writer.write(x, std::size_t{1} << 31));
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.failure(), "File too large");
    // Abandoned without a close, a second file leaves nothing either.
    WavWriter abandoned;
    ASSERT_TRUE(abandoned.open(path, 2, 44100));
    ASSERT_TRUE(abandoned.write(x, 2));
  }
  EXPECT_EQ(std::filesystem::file_size(path), before);
  test::Wav16 wav;
  ASSERT_TRUE(test::readWav16(path, wav));
  EXPECT_EQ(wav.samples.size(), 4u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  // A device is written in place, and a full one says so.
  WavWriter full;
  ASSERT_TRUE(full.open("/dev/full", 2, 44100));
  std::vector<float> second(2 * 44100, 0.5f);
  full.write(second.data(), 44100);
  EXPECT_FALSE(full.close());
  EXPECT_EQ(full.failure(), "No space left on device");
}

TEST(WavWriter, ReportsFailureInsteadOfWritingNothing) {
  test::TempDir dir;
  const float x[2] = {0.0f, 0.0f};
  std::string failure;
  EXPECT_FALSE(writeWav16(dir.file("no/such/folder/out.wav"), x, 1, 2, 44100, &failure));
  EXPECT_EQ(failure, "No such file or directory");
  EXPECT_FALSE(writeWav16(dir.path().string(), x, 1, 2, 44100, &failure));
  EXPECT_EQ(failure, "Is a directory");
  WavWriter writer;
  EXPECT_FALSE(writer.write(x, 1));  // never opened
  EXPECT_FALSE(writer.close());
  EXPECT_FALSE(writer.open(dir.file("bad.wav"), 0, 44100));
  EXPECT_FALSE(writer.open(dir.file("bad.wav"), 2, 0));
}

}  // namespace
}  // namespace quavrix
