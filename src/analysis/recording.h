#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The opened WAV recording: its format and every per-sample buffer built from it.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/beat_tracker.h"
#include "base/large_buffer.h"

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

// Peaks are searched in bins 1 .. 379 of the 8192-point transform (up to
// about 2 kHz). A peak is a strict local maximum, so two neighbouring bins
// never both hold one: a row keeps one slot per pair of bins 2 j, 2 j + 1.
inline constexpr int PEAK_SLOTS = 190;
inline constexpr int PEAK_PLACE_BYTES = PEAK_SLOTS;
// The place byte of a slot: the peak's place in its span in the low four
// bits, and this bit when the peak is at the odd bin of the pair.
inline constexpr int PEAK_ODD_BIN = 0x10;

// One channel's peak spectrogram, stored by transform bin. A row's peaks lie
// at most one per bin and the interpolated frequency of the peak at bin k
// lands within [hz(k) - 2, hz(k + 1) - 1], a span of at most eight entries;
// peaks sit at least two bins apart, so no two of them meet on one entry. A
// row therefore keeps, per pair of bins, the peak's height (0: no peak), its
// bin and its place in that span: 190 heights and 190 places instead of 2048
// entries.
struct PeakRows {
  LargeBuffer<float> height;        // row r, bins 2 j and 2 j + 1 at [r * PEAK_SLOTS + j]
  LargeBuffer<std::uint8_t> place;  // the same slots
  std::size_t rows() const { return height.size() / PEAK_SLOTS; }
};

struct Recording {
  std::string path;  // the file to read, set by the caller before reading
  WaveFormat format;
  // What the file held and what was done to it, for people
  // ("48000 Hz 24-bit stereo FLAC, resampled to 44100 Hz").
  std::string source;
  std::int16_t channelCount = 0;

  // Frames each sample buffer can hold, lead-in included. Derived from the
  // file size; the project's position count is capacity / 32.
  std::int32_t capacity = 0;
  std::uint32_t framesRead = 0;  // frames of the file, without the lead-in

  // capacity + 4 entries each; frame f of the file at index LEAD_IN_FRAMES + f.
  // The 16-bit samples as the file holds them: full scale is 32768, and
  // sample / 32768 is exact in single precision, so every reader gets the
  // float it would have had from a float buffer of twice the size.
  LargeBuffer<std::int16_t> left;
  LargeBuffer<std::int16_t> right;

  // Onset detection, (capacity + 4) / 32 + 32 entries each.
  LargeBuffer<std::uint16_t> onsetEnergy;
  LargeBuffer<float> onsetMarks;
  std::int32_t onsetCount = 0;  // capacity / 32
  bool analysed = false;        // onset detection has run on the current buffers
  // The beats found in the music, tracked alongside the onsets on opening.
  BeatTrack beatTrack;
  bool beatsTracked = false;

  // Peak spectrum: blockCount rows, each read as 2048 whole-hertz entries
  // (spectrumLength = blockCount x 2048 of them) through spectrumValue.
  // A from the left channel, B from the right.
  std::int32_t blockCount = 0;
  std::int32_t spectrumLength = 0;
  PeakRows spectrumA;
  PeakRows spectrumB;

  bool hasSamples() const { return !left.empty(); }
  // The magnitude 0..128 of a frame (|sample| >> 8, so -32768 gives 128),
  // channel 0 left, 1 right: what onset detection and the envelope displays
  // read. Worked out from the samples when asked: kept as buffers of their
  // own they would be a quarter of the recording's memory.
  std::uint8_t envelope(int channel, std::size_t index) const {
    return frameMagnitude((channel == 0 ? left : right)[index]);
  }
  static std::uint8_t frameMagnitude(std::int16_t sample) {
    const int v = sample;
    return static_cast<std::uint8_t>((v < 0 ? -v : v) >> 8);
  }
  // Number of positions of the project built on this recording.
  std::uint32_t positions() const { return static_cast<std::uint32_t>(capacity) / 32u; }
};

}  // namespace quavrix
