#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Builds RIFF/WAVE files byte by byte, so tests can lay out chunks freely.

#include <cstdint>
#include <string>
#include <vector>

namespace quavrix::test {

class WavBuilder {
 public:
  // "RIFF" size "WAVE" followed by the chunks added so far (the RIFF size is
  // filled in unless overridden).
  std::vector<unsigned char> bytes() const;

  // A standard "fmt " chunk of 16 or 18 bytes.
  WavBuilder& format(int channels, int rate = 44100, int bits = 16, int tag = 1,
                     int chunkSize = 16);
  // A "data" chunk of interleaved 16-bit samples; declaredSize overrides the size field.
  WavBuilder& data(const std::vector<std::int16_t>& samples, long declaredSize = -1);
  // Any chunk with raw contents.
  WavBuilder& chunk(const std::string& id, const std::vector<unsigned char>& contents,
                    long declaredSize = -1);
  WavBuilder& riffSize(std::uint32_t size) {
    riffSize_ = size;
    return *this;
  }

  bool write(const std::string& path) const;

 private:
  std::vector<unsigned char> body_;
  long riffSize_ = -1;
};

// Interleaved stereo samples (or mono when right is empty) of `frames` frames.
std::vector<std::int16_t> toneSamples(int frames, double hz, double amplitude, bool stereo);

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace quavrix::test

namespace quavrix::test {

// The samples of a 16-bit PCM WAV file, as floats of full scale 1.0 (left
// and right; right repeats left for a mono file). Empty when the file cannot
// be read as such.
struct PcmWav {
  int channels = 0;
  int rate = 0;
  std::vector<float> left;
  std::vector<float> right;
};
PcmWav readPcmWav(const std::string& path);

}  // namespace quavrix::test
