#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Writes 16-bit PCM RIFF/WAVE files from interleaved float samples (full
// scale 1.0; louder values are clipped). Streams block by block, so long
// renders need no buffer of their own.
//
// The samples go to "<path>.tmp", which a successful close renames over the
// target: a full disk or a failed render never destroys the old file or
// leaves a truncated one. A target that exists and is no regular file (a
// device, a pipe) is written in place, since a rename would replace it.

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
  // A file still open is abandoned first.
  bool open(const std::string& path, int channels, int sampleRate);
  // Appends `frames` frames of `channels` interleaved samples each. After a
  // failure every further write fails too.
  bool write(const float* interleaved, std::size_t frames);
  // Fills in the sizes, closes the file and puts it in place; false if any
  // step since open failed (the target is then as it was before open).
  bool close();

  // Why the last open, write or close failed (the system's reason), empty
  // while nothing failed.
  std::string failure() const;

  std::size_t framesWritten() const { return frames_; }
  // Samples that were outside -1..1 and were clipped.
  std::size_t clippedSamples() const { return clipped_; }

 private:
  void abandon();
  bool fail(int error);

  std::FILE* file_ = nullptr;
  std::string target_;
  std::string writing_;  // the temporary beside the target, or the target itself
  int error_ = 0;        // errno of the first failure
  int channels_ = 0;
  int sampleRate_ = 0;
  std::size_t frames_ = 0;
  std::size_t clipped_ = 0;
  bool ok_ = false;
};

// Writes a whole file at once; false with the system's reason in `failure`
// (when given) if it could not be written.
bool writeWav16(const std::string& path, const float* interleaved, std::size_t frames, int channels,
                int sampleRate, std::string* failure = nullptr);

}  // namespace quavrix
