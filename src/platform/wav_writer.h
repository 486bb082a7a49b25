#pragma once
// Writes 16-bit PCM RIFF/WAVE files from interleaved float samples (full
// scale 1.0; louder values are clipped). Streams block by block, so long
// renders need no buffer of their own.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quavrix {

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file and writes a provisional header; false when it cannot.
  bool open(const std::string& path, int channels, int sampleRate);
  // Appends `frames` frames of `channels` interleaved samples each.
  bool write(const float* interleaved, std::size_t frames);
  // Fills in the sizes and closes the file; false if any step failed.
  bool close();

  std::size_t framesWritten() const { return frames_; }
  // Samples that were outside -1..1 and were clipped.
  std::size_t clippedSamples() const { return clipped_; }

 private:
  std::FILE* file_ = nullptr;
  int channels_ = 0;
  int sampleRate_ = 0;
  std::size_t frames_ = 0;
  std::size_t clipped_ = 0;
  bool ok_ = false;
};

// Writes a whole file at once.
bool writeWav16(const std::string& path, const float* interleaved, std::size_t frames, int channels,
                int sampleRate);

}  // namespace quavrix
