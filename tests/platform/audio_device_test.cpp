// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio_device.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/units.h"
#include "platform/auto_reset_event.h"
#include "platform/voice_mixer.h"
#include "support/temp_dir.h"
#include "support/wav_builder.h"

namespace quavrix {
namespace {

std::vector<float> constantBuffer(float value, int frames = AUDIO_BUFFER_FRAMES) {
  return std::vector<float>(2 * static_cast<std::size_t>(frames), value);
}

TEST(QueuedVoice, PlaysBuffersInOrderAtItsVolumeAndReportsEachStart) {
  int starts = 0;
  QueuedVoice voice([&] { ++starts; });
  ASSERT_TRUE(voice.submit(constantBuffer(0.5f).data(), AUDIO_BUFFER_FRAMES));
  ASSERT_TRUE(voice.submit(constantBuffer(-1.0f, 100).data(), 100));
  voice.setVolume(0.5f);

  std::vector<float> out(2 * 2048, 0.0f);
  voice.mixInto(out.data(), 2048, 0);  // not started: nothing
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(voice.streamOrigin(), NO_STREAM_ORIGIN);
  EXPECT_EQ(voice.framesSubmitted(), 1124u);

  voice.start();
  voice.mixInto(out.data(), 1000, 5000);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(voice.streamOrigin(), 5000);  // stream frame 0 played at device frame 5000
  EXPECT_EQ(out[0], 0.25f);
  EXPECT_EQ(out[2 * 999 + 1], 0.25f);
  EXPECT_EQ(voice.queued(), 2);

  std::fill(out.begin(), out.end(), 0.1f);  // the voice adds to what is there
  voice.mixInto(out.data(), 200, 6000);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(voice.streamOrigin(), 5000);  // the second buffer followed without a gap
  EXPECT_FLOAT_EQ(out[2 * 23], 0.35f);    // last frames of the first buffer
  EXPECT_FLOAT_EQ(out[2 * 24], -0.4f);    // the second buffer starts at frame 24
  EXPECT_FLOAT_EQ(out[2 * 123 + 1], -0.4f);
  EXPECT_FLOAT_EQ(out[2 * 124], 0.1f);  // then the queue is empty
  EXPECT_EQ(voice.queued(), 0);
}

TEST(QueuedVoice, QueueHoldsEightBuffers) {
  QueuedVoice voice(nullptr);
  const auto buf = constantBuffer(0.1f);
  for (int i = 0; i < AUDIO_VOICE_SLOTS; ++i) EXPECT_TRUE(voice.submit(buf.data(), 1024));
  EXPECT_FALSE(voice.submit(buf.data(), 1024));
  voice.start();
  std::vector<float> out(2 * 1024);
  voice.mixInto(out.data(), 1024, 0);
  EXPECT_TRUE(voice.submit(buf.data(), 1024));
}

TEST(QueuedVoice, RunningDryMidStreamIsAnUnderrunButAnEndOfStreamIsNot) {
  QueuedVoice voice(nullptr);
  voice.start();
  std::vector<float> out(2 * 1024);
  const auto buf = constantBuffer(0.1f);
  voice.mixInto(out.data(), 1024, 0);  // nothing was ever queued: not an underrun
  voice.submit(buf.data(), 1024);
  voice.mixInto(out.data(), 1024, 1024);
  voice.mixInto(out.data(), 512, 2048);  // dry in the middle of the stream
  voice.submit(buf.data(), 1024, /*endOfStream=*/true);
  voice.mixInto(out.data(), 1024, 2560);
  EXPECT_EQ(voice.underruns(), 1);
  // The gap moved the stream: its second buffer played at 2560, not 2048.
  EXPECT_EQ(voice.streamOrigin(), 2560 - 1024);
  voice.mixInto(out.data(), 1024, 3584);  // dry after the end of the stream
  voice.submit(buf.data(), 1024);
  voice.mixInto(out.data(), 1024, 4608);
  EXPECT_EQ(voice.underruns(), 1);
}

TEST(AudioDevice, WavBackendWritesWhatWouldBeHeard) {
  test::TempDir dir;
  const std::string path = dir.file("heard.wav");
  {
    std::string error;
    auto device = openAudioDevice("wav:" + path, &error);
    ASSERT_TRUE(device) << error;
    AutoResetEvent started;
    AudioVoice* a = device->createVoice([&] { started.set(); });
    AudioVoice* b = device->createVoice(nullptr);
    ASSERT_TRUE(a && b);
    // Voice a: 10 buffers rising 0.01 per buffer; voice b: a constant 0.25 on the right only.
    std::vector<float> right(2 * AUDIO_BUFFER_FRAMES, 0.0f);
    for (int i = 0; i < AUDIO_BUFFER_FRAMES; ++i) right[2 * i + 1] = 0.25f;
    for (int k = 0; k < 10; ++k) b->submit(right.data(), AUDIO_BUFFER_FRAMES);
    a->submit(constantBuffer(0.01f).data(), AUDIO_BUFFER_FRAMES);
    a->start();
    b->start();
    for (int k = 1; k < 10; ++k) {
      ASSERT_TRUE(started.waitFor(std::chrono::seconds(2)));
      a->submit(constantBuffer(0.01f * (k + 1)).data(), AUDIO_BUFFER_FRAMES, k == 9);
    }
    while (a->queued() > 0 || b->queued() > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(a->underruns(), 0);
    ASSERT_TRUE(device->finish(&error)) << error;
  }
  const test::PcmWav rec = test::readPcmWav(path);
  ASSERT_EQ(rec.channels, 2);
  // Find where voice a's first buffer begins and check the ten steps in order.
  std::size_t first = 0;
  while (first < rec.left.size() && rec.left[first] == 0.0f) ++first;
  ASSERT_LT(first + 9 * AUDIO_BUFFER_FRAMES + 500, rec.left.size());
  for (int k = 0; k < 10; ++k) {
    const std::size_t at = first + static_cast<std::size_t>(k) * AUDIO_BUFFER_FRAMES + 500;
    EXPECT_NEAR(rec.left[at], 0.01f * (k + 1), 1e-4) << k;
  }
  EXPECT_NEAR(rec.right[first + 100], 0.26f, 1e-4);  // both voices mixed
}

TEST(AudioDevice, NullBackendKeepsTime) {
  std::string error;
  auto device = openAudioDevice("null", &error);
  ASSERT_TRUE(device) << error;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_GT(device->framesPlayed(), 0u);
  EXPECT_LT(device->framesPlayed(), 44100u * 5);  // a clock, not a free-running loop
}

TEST(AudioDevice, UnknownBackendIsAnError) {
  std::string error;
  EXPECT_EQ(openAudioDevice("speakers", &error), nullptr);
  EXPECT_NE(error.find("speakers"), std::string::npos);
  EXPECT_EQ(openAudioDevice("wav:/nonexistent-folder/x.wav", &error), nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quavrix
