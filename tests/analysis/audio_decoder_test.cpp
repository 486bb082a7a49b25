// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings in other formats than 16-bit 44100 Hz WAV open with the same
// frames, beats and spectrum the program would have found in that WAV.

#include "analysis/audio_decoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "analysis/frequency_peaks.h"
#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "base/units.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

// A click every half second over a steady 440 Hz tone, as a function of time,
// so that the same music can be written at any rate. Left and right differ.
double music(double t, int channel) {
  const double beat = std::fmod(t, 0.5);
  const double click = beat < 0.04 ? 0.6 * std::sin(2 * M_PI * 1800 * t) * (1 - beat / 0.04) : 0;
  return click + (channel == 0 ? 0.25 : 0.2) * std::sin(2 * M_PI * 440 * t);
}

// Writes `seconds` of `channels` channels at `rate` in a libsndfile format;
// channel c of a surround file carries c + 1 tenths of full scale.
bool writeAudio(const std::string& path, int format, int rate, int channels, double seconds,
                bool surround = false) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  const auto frames = static_cast<sf_count_t>(seconds * rate);
  std::vector<float> block(static_cast<std::size_t>(channels) * 4096);
  for (sf_count_t f = 0; f < frames;) {
    const sf_count_t n = std::min<sf_count_t>(4096, frames - f);
    for (sf_count_t i = 0; i < n; ++i) {
      for (int c = 0; c < channels; ++c) {
        const double t = static_cast<double>(f + i) / rate;
        block[static_cast<std::size_t>(i * channels + c)] =
            static_cast<float>(surround ? 0.1 * (c + 1) : music(t, c % 2));
      }
    }
    sf_writef_float(file, block.data(), n);
    f += n;
  }
  return sf_close(file) == 0;
}

struct Opened {
  Recording rec;
  int result = WAV_CANNOT_OPEN;
  std::vector<std::uint32_t> beats;
  std::string reason;
};

Opened open(const std::string& path) {
  Opened o;
  o.rec.path = path;
  o.result = readRecording(o.rec, &o.reason);
  if (o.result != WAV_OK) return o;
  detectOnsets(o.rec);
  bool inRun = false;
  for (std::size_t p = 0; p < o.rec.framesRead / 32; ++p) {
    const bool mark = o.rec.onsetMarks[p] != 0.0f;
    if (mark && !inRun) o.beats.push_back(static_cast<std::uint32_t>(p));
    inRun = mark;
  }
  return o;
}

// The frequency of the tallest peak of a row of the left spectrum.
int peakHz(const Recording& rec, int row) {
  int best = 0;
  float height = 0;
  for (int hz = 100; hz < 2000; ++hz) {
    const float v = spectrumValue(rec, 0, row, hz);
    if (v > height) {
      height = v;
      best = hz;
    }
  }
  return best;
}

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    wav = dir.file("take.wav");
    ASSERT_TRUE(writeAudio(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 6));
    reference = open(wav);
    ASSERT_EQ(reference.result, WAV_OK);
    ASSERT_GE(reference.beats.size(), 10u);
  }
  test::TempDir dir;
  std::string wav;
  Opened reference;
};

TEST_F(Decoder, FlacOfTheSameRecordingIsTheSameRecording) {
  const std::string flac = dir.file("take.flac");
  ASSERT_TRUE(writeAudio(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 6));
  const Opened f = open(flac);
  ASSERT_EQ(f.result, WAV_OK) << f.reason;
  EXPECT_EQ(f.rec.framesRead, reference.rec.framesRead);
  EXPECT_EQ(f.rec.positions(), reference.rec.positions());
  EXPECT_EQ(f.rec.blockCount, reference.rec.blockCount);
  EXPECT_EQ(f.beats, reference.beats);
  EXPECT_EQ(f.rec.left, reference.rec.left);
  EXPECT_EQ(f.rec.source, "44100 Hz 16-bit stereo FLAC");
  EXPECT_EQ(reference.rec.source, "44100 Hz 16-bit stereo WAV");
}

TEST_F(Decoder, AnotherRateIsResampledKeepingTheBeatsAndThePitch) {
  const std::string flac48 = dir.file("take48.flac");
  ASSERT_TRUE(writeAudio(flac48, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 2, 6));
  const Opened f = open(flac48);
  ASSERT_EQ(f.result, WAV_OK) << f.reason;
  EXPECT_EQ(f.rec.source, "48000 Hz 24-bit stereo FLAC, resampled to 44100 Hz");
  EXPECT_NEAR(static_cast<double>(f.rec.framesRead), 6.0 * 44100, 64);
  ASSERT_EQ(f.beats.size(), reference.beats.size());
  for (std::size_t k = 0; k < f.beats.size(); ++k)
    EXPECT_NEAR(f.beats[k], reference.beats[k], 1) << "beat " << k;
  const int row = f.rec.blockCount / 2;
  EXPECT_NEAR(peakHz(f.rec, row), 440, 2);
  EXPECT_NEAR(peakHz(reference.rec, row), 440, 2);
}

TEST_F(Decoder, OtherSampleFormatsAndCompressedFilesOpen) {
  struct Case {
    const char* name;
    int format;
    const char* source;
    double frameTolerance;
  };
  for (const Case& c :
       {Case{"take24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "44100 Hz 24-bit stereo WAV", 0},
        Case{"takef.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, "44100 Hz 32-bit float stereo WAV", 0},
        Case{"take.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "44100 Hz 16-bit stereo AIFF", 0},
        Case{"take.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "44100 Hz stereo Ogg Vorbis", 0},
        Case{"take.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "44100 Hz stereo MP3",
             0.01 * 6 * 44100}}) {
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(writeAudio(path, c.format, 44100, 2, 6)) << c.name;
    const Opened f = open(path);
    ASSERT_EQ(f.result, WAV_OK) << c.name << ": " << f.reason;
    EXPECT_EQ(f.rec.source, c.source);
    EXPECT_NEAR(f.rec.framesRead, reference.rec.framesRead, c.frameTolerance) << c.name;
    EXPECT_NEAR(static_cast<double>(f.beats.size()), static_cast<double>(reference.beats.size()), 1)
        << c.name;
    EXPECT_NEAR(peakHz(f.rec, f.rec.blockCount / 2), 440, 2) << c.name;
  }
}

// An MP3 made from the WAV, by the sound file library and (when installed)
// by the encoder's own program, lines up with the WAV: the encoder's delay
// and padding are not heard as music.
TEST_F(Decoder, AnMp3LinesUpWithTheWavItWasMadeFrom) {
  std::vector<std::string> mp3s = {dir.file("library.mp3")};
  ASSERT_TRUE(writeAudio(mp3s[0], SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 6));
  if (std::system("command -v lame >/dev/null 2>&1") == 0) {
    mp3s.push_back(dir.file("encoder.mp3"));
    const std::string line = "lame --quiet --add-id3v2 --tt take '" + wav + "' '" + mp3s[1] + "'";
    ASSERT_EQ(std::system(line.c_str()), 0);
  }
  for (const std::string& mp3 : mp3s) {
    const Opened f = open(mp3);
    ASSERT_EQ(f.result, WAV_OK) << mp3 << ": " << f.reason;
    EXPECT_NEAR(f.rec.framesRead, reference.rec.framesRead, 0.01 * reference.rec.framesRead) << mp3;
    ASSERT_EQ(f.beats.size(), reference.beats.size()) << mp3;
    for (std::size_t k = 0; k < f.beats.size(); ++k)
      EXPECT_NEAR(f.beats[k], reference.beats[k], 2) << mp3 << " beat " << k;
  }
}

TEST_F(Decoder, SurroundIsMixedDownToStereo) {
  const std::string path = dir.file("surround.wav");
  ASSERT_TRUE(writeAudio(path, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 44100, 6, 1, true));
  const Opened f = open(path);
  ASSERT_EQ(f.result, WAV_OK) << f.reason;
  EXPECT_EQ(f.rec.channelCount, 2);
  EXPECT_EQ(f.rec.source, "44100 Hz 16-bit 6-channel WAV, mixed down to stereo");
  // Left: channels 1, 5 and 3, 4 at -3 dB; right: 2, 6 and 3, 4 at -3 dB; each over its weights.
  const double w = std::sqrt(0.5);
  const double left = (0.1 + 0.5 + w * 0.3 + w * 0.4) / (2 + 2 * w);
  const double right = (0.2 + 0.6 + w * 0.3 + w * 0.4) / (2 + 2 * w);
  const std::size_t at = LEAD_IN_FRAMES + 1000;
  EXPECT_NEAR(f.rec.left[at] / 32768.0, left, 0.002);
  EXPECT_NEAR(f.rec.right[at] / 32768.0, right, 0.002);
}

TEST_F(Decoder, ADamagedFileIsRefusedAndTheRecordingKept) {
  const std::string flac = dir.file("damaged.flac");
  ASSERT_TRUE(writeAudio(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 6));
  {
    std::fstream f(flac, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0);
    f.write("fLaX", 4);  // no longer the stream's marker
  }
  Recording rec = open(wav).rec;
  const auto frames = rec.framesRead;
  rec.path = flac;
  std::string reason;
  EXPECT_EQ(readRecording(rec, &reason), WAV_NO_RIFF);
  EXPECT_EQ(rec.framesRead, frames) << "the open recording stays as it was";
  std::string decoderReason;
  EXPECT_EQ(decodeRecording(rec, &decoderReason), WAV_CANNOT_OPEN);
  EXPECT_FALSE(decoderReason.empty());
}

TEST_F(Decoder, AHeaderThatClaimsHoursTakesNoMoreMemoryThanTheFileCouldHold) {
  const std::string flac = dir.file("claims.flac");
  ASSERT_TRUE(writeAudio(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 6));
  {
    // STREAMINFO's 36-bit sample count: 2^30 frames, nearly seven hours.
    std::fstream f(flac, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(21);
    char byte = 0;
    f.read(&byte, 1);
    f.seekp(21);
    const char patched[5] = {static_cast<char>(byte & 0xF0), '\x40', '\0', '\0', '\0'};
    f.write(patched, 5);
  }
  Recording rec;
  rec.path = flac;
  const int result = decodeRecording(rec, nullptr);
  if (result == WAV_OK) {
    EXPECT_NEAR(rec.framesRead, reference.rec.framesRead, 4096);
  }
  const auto bytes = std::filesystem::file_size(flac);
  EXPECT_LE(rec.left.capacity(), bytes * 16 + 44100 + 40000);
}

}  // namespace
}  // namespace quavrix
