#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What every reader of a recording shares: the capacity a recording's
// project is built on, the sizes of its buffers, and filling them frame by
// frame the way the analyses expect.

#include <cstdint>
#include <string>

#include "analysis/recording.h"

namespace quavrix {

// The capacity (frames each buffer holds, lead-in included) of a 16-bit PCM
// WAV file of `fileSize` bytes whose audio starts at `dataStart`. It follows
// from the whole file's size, not the data chunk's: the position count of a
// project made for the recording depends on it.
std::uint64_t wavCapacity(std::uint64_t fileSize, std::uint64_t dataStart, int channels);

// Bytes of the buffers that reading and analysing a recording of `frames`
// frames allocates, and the most frames whose buffers fit in `bytes`.
std::uint64_t recordingBytes(std::uint64_t frames);
std::uint64_t framesThatFit(std::uint64_t bytes);

// Sizes the sample and onset buffers of `next` for `capacity` and
// silences the lead-in, after checking that they and the spectrum rows of
// `frames` frames fit in the memory available. Returns WAV_OK, or
// WAV_NO_MEMORY (nothing allocated then).
int prepareRecordingBuffers(Recording& next, std::uint64_t capacity, std::uint64_t frames,
                            std::string* reason);

// Frame f of the file, at buffer index LEAD_IN_FRAMES + f.
inline void putFrame(Recording& r, std::size_t index, std::int16_t left, std::int16_t right) {
  r.left[index] = left;
  r.right[index] = right;
}

// After `done` frames arrived: the rest silenced, the frame count kept and
// the spectrum rows sized. Returns WAV_OK, WAV_CANNOT_OPEN for a recording
// shorter than one spectrum window, or WAV_NO_MEMORY.
int finishRecordingBuffers(Recording& next, std::uint64_t done, std::string* reason);

}  // namespace quavrix
