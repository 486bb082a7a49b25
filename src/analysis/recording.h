#pragma once
// The opened WAV recording: its format and every per-sample buffer built from it.

#include <cstdint>
#include <string>
#include <vector>

#include "base/default_init_allocator.h"

namespace quavrix {

// The "fmt " block as read from the file.
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSecond = 0;
  std::uint32_t averageBytesPerSecond = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t extraSize = 0;
};

struct Recording {
  std::string path;  // the file to read, set by the caller before reading
  WaveFormat format;
  std::int16_t channelCount = 0;

  // Frames each sample buffer can hold, lead-in included. Derived from the
  // file size; the project's position count is capacity / 32.
  std::int32_t capacity = 0;
  std::uint32_t framesRead = 0;  // frames of the file, without the lead-in

  // capacity + 4 entries each; frame f of the file at index LEAD_IN_FRAMES + f.
  BufferVector<float> left;
  BufferVector<float> right;
  // Per-frame magnitude 0..128 (|sample| >> 8), same indexing.
  BufferVector<std::uint8_t> leftEnvelope;
  BufferVector<std::uint8_t> rightEnvelope;

  // Onset detection, (capacity + 4) / 32 + 32 entries each.
  std::vector<std::uint16_t> onsetEnergy;
  std::vector<float> onsetMarks;
  std::int32_t onsetCount = 0;  // capacity / 32
  bool analysed = false;        // onset detection has run on the current buffers

  // Peak spectrum rows of 2048 entries (index = whole hertz); blockCount rows,
  // spectrumLength + 16 entries each. A from the left channel, B from the right.
  std::int32_t blockCount = 0;
  std::int32_t spectrumLength = 0;
  BufferVector<float> spectrumA;
  BufferVector<float> spectrumB;

  bool hasSamples() const { return !left.empty(); }
  // Number of positions of the project built on this recording.
  std::uint32_t positions() const { return static_cast<std::uint32_t>(capacity) / 32u; }
};

}  // namespace quavrix
