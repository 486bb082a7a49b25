// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/wav_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/units.h"
#include "support/temp_dir.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

using test::WavBuilder;

class WavReaderTest : public ::testing::Test {
 protected:
  // Writes the bytes and reads them; returns the result code.
  int read(const std::vector<unsigned char>& bytes, Recording& rec) {
    const std::string path = dir.file("in.wav");
    EXPECT_TRUE(test::writeBytes(path, bytes));
    rec.path = path;
    return readRecording(rec, &reason);
  }
  test::TempDir dir;
  std::string reason;
};

std::vector<std::int16_t> stereoFrames(int frames) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(frames) * 2);
  for (int f = 0; f < frames; ++f) {
    s[2 * f] = static_cast<std::int16_t>(f % 1000);
    s[2 * f + 1] = static_cast<std::int16_t>(-(f % 700));
  }
  return s;
}

TEST_F(WavReaderTest, StereoSamplesEnvelopesAndSizes) {
  const int frames = 20000;
  auto samples = stereoFrames(frames);
  samples[0] = -32768;
  samples[1] = 32767;
  samples[2] = 0;
  samples[3] = -256;
  const auto bytes = WavBuilder().format(2).data(samples).bytes();
  Recording rec;
  ASSERT_EQ(read(bytes, rec), WAV_OK) << reason;

  EXPECT_EQ(rec.framesRead, 20000u);
  EXPECT_EQ(rec.channelCount, 2);
  // Capacity from the file size: (2 S / 2 + 40960 - D) / 4, D = 44 for this layout.
  const long s = static_cast<long>(bytes.size());
  EXPECT_EQ(rec.capacity, (s + 40960 - 44) / 4);
  EXPECT_EQ(rec.capacity, frames + 10240);
  EXPECT_EQ(rec.positions(), static_cast<std::uint32_t>(rec.capacity) / 32);
  EXPECT_EQ(rec.left.size(), static_cast<std::size_t>(rec.capacity) + 4);
  EXPECT_EQ(rec.right.size(), static_cast<std::size_t>(rec.capacity) + 4);
  EXPECT_EQ(rec.onsetEnergy.size(), static_cast<std::size_t>(rec.capacity + 4) / 32 + 32);
  EXPECT_EQ(rec.onsetCount, rec.capacity / 32);
  EXPECT_EQ(rec.blockCount, 20000 / 2048 - 4);
  EXPECT_EQ(rec.spectrumA.rows(), static_cast<std::size_t>(rec.blockCount));
  EXPECT_EQ(rec.spectrumB.place.size(), rec.spectrumB.rows() * PEAK_PLACE_BYTES);

  const int at = LEAD_IN_FRAMES;
  // Kept as read; the float a reader takes is sample / 32768.
  EXPECT_EQ(rec.left[at], -32768);
  EXPECT_EQ(rec.envelope(0, at), 128);
  EXPECT_EQ(rec.right[at] / 32768.0f, 0.999969482421875f);
  EXPECT_EQ(rec.envelope(1, at), 127);
  EXPECT_EQ(rec.left[at + 1], 0);
  EXPECT_EQ(rec.envelope(0, at + 1), 0);
  EXPECT_EQ(rec.right[at + 1], -256);
  EXPECT_EQ(rec.envelope(1, at + 1), 1);
  EXPECT_EQ(rec.left[at + 999], 999);
  EXPECT_EQ(rec.envelope(0, at + 999), 999 >> 8);

  // Silent lead-in in every buffer, silence after the last frame.
  for (int i = 0; i < LEAD_IN_FRAMES; ++i) {
    ASSERT_EQ(rec.left[i], 0);
    ASSERT_EQ(rec.right[i], 0);
  }
  EXPECT_EQ(rec.left[at + frames], 0);
}

TEST_F(WavReaderTest, MonoFillsBothChannelsAlike) {
  std::vector<std::int16_t> samples(9000);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7);
  samples[5] = -32768;
  const auto bytes = WavBuilder().format(1).data(samples).bytes();
  Recording rec;
  ASSERT_EQ(read(bytes, rec), WAV_OK) << reason;
  EXPECT_EQ(rec.framesRead, 9000u);
  EXPECT_EQ(rec.left, rec.right);
  EXPECT_EQ(rec.left[LEAD_IN_FRAMES + 5], -32768);
  // A mono file gets the larger capacity: (2 S + 40960 - D) / 4.
  const long s = static_cast<long>(bytes.size());
  EXPECT_EQ(rec.capacity, (2 * s + 40960 - 44) / 4);
}

TEST_F(WavReaderTest, FormatChunkOfSixteenOrEighteenBytes) {
  Recording rec;
  ASSERT_EQ(read(WavBuilder().format(2, 44100, 16, 1, 16).data(stereoFrames(9000)).bytes(), rec),
            WAV_OK);
  EXPECT_EQ(rec.format.extraSize, 0);
  EXPECT_EQ(rec.format.samplesPerSecond, 44100u);
  EXPECT_EQ(rec.format.bitsPerSample, 16);

  std::vector<unsigned char> fmt18 = {1,    0, 2, 0, 0x44, 0xAC, 0, 0, 0x10,
                                      0xB1, 2, 0, 4, 0,    16,   0, 0, 0};
  ASSERT_EQ(read(WavBuilder().chunk("fmt ", fmt18).data(stereoFrames(9000)).bytes(), rec), WAV_OK);
  EXPECT_EQ(rec.format.extraSize, 0);
  EXPECT_EQ(rec.format.averageBytesPerSecond, 176400u);
}

TEST_F(WavReaderTest, ChunkLayouts) {
  const auto frames = stereoFrames(9000);
  Recording rec;
  // Chunks before "fmt " and between "fmt " and "data" are skipped, odd sizes padded.
  const auto padded = WavBuilder()
                          .chunk("JUNK", {1, 2, 3})
                          .format(2)
                          .chunk("LIST", {'a', 'b', 'c', 'd', 'e'})
                          .data(frames)
                          .bytes();
  ASSERT_EQ(read(padded, rec), WAV_OK) << reason;
  EXPECT_EQ(rec.framesRead, 9000u);
  EXPECT_EQ(rec.left[LEAD_IN_FRAMES + 999], 999);

  // A chunk after "data" is not audio, but the capacity still follows the whole file size.
  const auto trailing = WavBuilder()
                            .format(2)
                            .data(frames)
                            .chunk("LIST", std::vector<unsigned char>(4000, 0x7F))
                            .bytes();
  ASSERT_EQ(read(trailing, rec), WAV_OK) << reason;
  EXPECT_EQ(rec.framesRead, 9000u);
  EXPECT_EQ(rec.left[LEAD_IN_FRAMES + 9000], 0);
  const long s = static_cast<long>(trailing.size());
  EXPECT_EQ(rec.capacity, (s + 40960 - 44) / 4);

  // A data chunk that claims more than the file holds gives what is there.
  const auto truncated = WavBuilder().format(2).data(frames, 4 * 100000).bytes();
  ASSERT_EQ(read(truncated, rec), WAV_OK) << reason;
  EXPECT_EQ(rec.framesRead, 9000u);

  // A RIFF size of 0 (streaming writers) still finds the chunks.
  ASSERT_EQ(read(WavBuilder().format(2).data(frames).riffSize(0).bytes(), rec), WAV_OK);
  // An odd trailing byte is not half a frame.
  auto odd = WavBuilder().format(1).data(std::vector<std::int16_t>(9000, 5)).bytes();
  odd.push_back(0x55);
  ASSERT_EQ(read(odd, rec), WAV_OK);
  EXPECT_EQ(rec.framesRead, 9000u);
}

TEST_F(WavReaderTest, LongRecordingsAreConvertedWholeAcrossBothHalves) {
  for (const int channels : {1, 2}) {
    const int frames = 70001;  // long enough to be converted in two halves
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(static_cast<int>(i % 65536) - 32768);
    Recording rec;
    ASSERT_EQ(read(WavBuilder().format(channels).data(samples).bytes(), rec), WAV_OK) << reason;
    ASSERT_EQ(rec.framesRead, static_cast<std::uint32_t>(frames));
    for (int f = 0; f < frames; ++f) {
      const std::int16_t l = samples[static_cast<std::size_t>(f) * channels];
      const std::int16_t r = samples[static_cast<std::size_t>(f) * channels + channels - 1];
      ASSERT_EQ(rec.left[LEAD_IN_FRAMES + f], l) << f;
      ASSERT_EQ(rec.right[LEAD_IN_FRAMES + f], r) << f;
    }
    EXPECT_EQ(rec.envelope(0, LEAD_IN_FRAMES), 128);  // -32768
    for (std::size_t i = LEAD_IN_FRAMES + frames; i < rec.left.size(); ++i)
      ASSERT_EQ(rec.left[i], 0) << i;
  }
}

TEST_F(WavReaderTest, ResultCodes) {
  Recording rec;
  rec.path = dir.file("missing.wav");
  EXPECT_EQ(readRecording(rec), WAV_CANNOT_OPEN);

  EXPECT_EQ(read({'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e', ' ', 'f', 'i', 'l', 'e'}, rec),
            WAV_NO_RIFF);
  EXPECT_EQ(read({}, rec), WAV_NO_RIFF);
  auto avi = WavBuilder().format(2).data(stereoFrames(9000)).bytes();
  avi[8] = 'A', avi[9] = 'V', avi[10] = 'I', avi[11] = ' ';
  EXPECT_EQ(read(avi, rec), WAV_NO_RIFF);
  EXPECT_EQ(read(WavBuilder().data(stereoFrames(9000)).bytes(), rec), WAV_NO_FORMAT);
  EXPECT_EQ(read(WavBuilder().format(2).bytes(), rec), WAV_NO_DATA);
  EXPECT_EQ(read(WavBuilder().format(2).chunk("LIST", {1, 2}).bytes(), rec), WAV_NO_DATA);
}

TEST_F(WavReaderTest, FilesThatCannotBeReadGiveTheSystemsReason) {
  for (const auto& [path, why] : test::unreadablePaths(dir)) {
    Recording rec;
    rec.path = path;
    EXPECT_EQ(readRecording(rec, &reason), WAV_CANNOT_OPEN) << path;
    EXPECT_EQ(reason, why) << path;
  }
}

TEST_F(WavReaderTest, RefusesWhatCannotBePlayedOrAnalysed) {
  const auto frames = stereoFrames(9000);
  Recording rec;
  EXPECT_EQ(read(WavBuilder().format(2, 44100, 24).data(frames).bytes(), rec), WAV_CANNOT_OPEN);
  EXPECT_EQ(read(WavBuilder().format(3).data(frames).bytes(), rec), WAV_CANNOT_OPEN);
  EXPECT_EQ(read(WavBuilder().format(2, 44100, 16, 3).data(frames).bytes(), rec), WAV_CANNOT_OPEN);
  EXPECT_EQ(read(WavBuilder().format(2).data(stereoFrames(8191)).bytes(), rec), WAV_CANNOT_OPEN);
  EXPECT_EQ(read(WavBuilder().format(2).data({}).bytes(), rec), WAV_CANNOT_OPEN);
  EXPECT_FALSE(reason.empty());
  // Exactly 8192 frames is enough.
  EXPECT_EQ(read(WavBuilder().format(2).data(stereoFrames(8192)).bytes(), rec), WAV_OK);
  EXPECT_EQ(rec.blockCount, 0);
}

TEST_F(WavReaderTest, FailureLeavesThePreviousRecordingIntact) {
  Recording rec;
  ASSERT_EQ(read(WavBuilder().format(2).data(stereoFrames(12000)).bytes(), rec), WAV_OK);
  const auto left = rec.left;
  const auto capacity = rec.capacity;
  EXPECT_EQ(read(WavBuilder().format(2).bytes(), rec), WAV_NO_DATA);
  EXPECT_EQ(rec.capacity, capacity);
  EXPECT_EQ(rec.left, left);
  EXPECT_EQ(rec.framesRead, 12000u);
}

}  // namespace
}  // namespace quavrix
