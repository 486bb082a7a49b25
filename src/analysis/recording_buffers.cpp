// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/recording_buffers.h"

#include <algorithm>
#include <new>

#include "analysis/wav_reader.h"
#include "base/units.h"

namespace quavrix {

namespace {

// Bytes per buffer entry: two 16-bit channels.
constexpr std::uint64_t SAMPLE_ENTRY_BYTES = 2 * sizeof(std::int16_t);
// Per onset entry: the energy and the mark.
constexpr std::uint64_t ONSET_ENTRY_BYTES = sizeof(std::uint16_t) + sizeof(float);
// Per spectrum row, both channels.
constexpr std::uint64_t ROW_BYTES = 2 * (PEAK_SLOTS * sizeof(float) + PEAK_PLACE_BYTES);

// The eight buffers of a recording; each may round up to a whole page.
constexpr std::uint64_t ROUNDING_BYTES = 8 * std::uint64_t{4096};

std::uint64_t bufferBytes(std::uint64_t capacity, std::uint64_t frames) {
  const std::uint64_t rows = frames / 2048 > 4 ? frames / 2048 - 4 : 0;
  return (capacity + 4) * SAMPLE_ENTRY_BYTES + ((capacity + 4) / 32 + 32) * ONSET_ENTRY_BYTES +
         rows * ROW_BYTES + ROUNDING_BYTES;
}

int noMemory(std::string* reason) {
  if (reason) *reason = "not enough memory for the recording's buffers";
  return WAV_NO_MEMORY;
}

void silence(Recording& r, std::size_t from, std::size_t to) {
  std::fill(r.left.begin() + from, r.left.begin() + to, std::int16_t{0});
  std::fill(r.right.begin() + from, r.right.begin() + to, std::int16_t{0});
}

}  // namespace

std::uint64_t wavCapacity(std::uint64_t fileSize, std::uint64_t dataStart, int channels) {
  const std::uint64_t h = (2 * fileSize) / static_cast<std::uint64_t>(channels) + 40960;
  return (h - dataStart) / 4;  // dataStart < fileSize < h
}

std::uint64_t recordingBytes(std::uint64_t frames) {
  return bufferBytes(frames + LEAD_IN_FRAMES + 2048, frames);
}

std::uint64_t framesThatFit(std::uint64_t bytes) {
  // Per frame: the sample entry, a 32nd of an onset entry and a 2048th of a row.
  const double perFrame = static_cast<double>(SAMPLE_ENTRY_BYTES) +
                          static_cast<double>(ONSET_ENTRY_BYTES) / 32.0 +
                          static_cast<double>(ROW_BYTES) / 2048.0;
  const double fixed = static_cast<double>(recordingBytes(0));
  const double frames = (static_cast<double>(bytes) - fixed) / perFrame;
  return frames > 0 ? static_cast<std::uint64_t>(frames) : 0;
}

int prepareRecordingBuffers(Recording& next, std::uint64_t capacity, std::uint64_t frames,
                            std::string* reason) {
  // Refused before anything is allocated: a machine short of memory would
  // otherwise end the program without a word part way through the reading.
  if (bufferBytes(capacity, frames) > availableMemoryBytes()) return noMemory(reason);
  next.capacity = static_cast<std::int32_t>(capacity);
  const std::size_t sampleEntries = capacity + 4;
  const std::size_t onsetEntries = (capacity + 4) / 32 + 32;
  try {
    // Fresh buffers read as zeros untouched; the readers write every sample once.
    next.left.resize(sampleEntries);
    next.right.resize(sampleEntries);
    next.onsetEnergy.resize(onsetEntries);
    next.onsetMarks.resize(onsetEntries);
  } catch (const std::bad_alloc&) {
    return noMemory(reason);
  }
  silence(next, 0, LEAD_IN_FRAMES);
  next.onsetCount = static_cast<std::int32_t>(capacity / 32);
  return WAV_OK;
}

int finishRecordingBuffers(Recording& next, std::uint64_t done, std::string* reason) {
  silence(next, LEAD_IN_FRAMES + done, next.left.size());
  next.framesRead = static_cast<std::uint32_t>(done);
  if (done < static_cast<std::uint64_t>(MIN_RECORDING_FRAMES)) {
    if (reason) *reason = SHORT_RECORDING_REASON;
    return WAV_CANNOT_OPEN;
  }
  next.blockCount = static_cast<std::int32_t>(done / 2048) - 4;
  next.spectrumLength = next.blockCount * 2048;
  // The analysis writes every entry of the spectra, so they are not zero-filled here.
  const std::size_t rows = static_cast<std::size_t>(std::max(next.blockCount, 0));
  try {
    for (PeakRows* spectrum : {&next.spectrumA, &next.spectrumB}) {
      spectrum->height.resize(rows * PEAK_SLOTS);
      spectrum->place.resize(rows * PEAK_PLACE_BYTES);
    }
  } catch (const std::bad_alloc&) {
    return noMemory(reason);
  }
  return WAV_OK;
}

}  // namespace quavrix
