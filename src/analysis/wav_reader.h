#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a RIFF/WAVE recording into the sample buffers of a Recording and runs
// the spectrum analysis over it.

#include <cstdint>
#include <string>

#include "analysis/recording.h"
#include "analysis/recording_buffers.h"

namespace quavrix {

// Result codes of readRecording.
inline constexpr int WAV_OK = 0;
inline constexpr int WAV_CANNOT_OPEN = -1;  // missing, unreadable or unsupported file
inline constexpr int WAV_NO_RIFF = -2;      // no RIFF chunk of form type "WAVE"
inline constexpr int WAV_NO_FORMAT = -3;    // no "fmt " chunk inside it
inline constexpr int WAV_NO_DATA = -4;      // no "data" chunk inside it
inline constexpr int WAV_NO_MEMORY = -5;    // its buffers would not fit the memory available

// The shortest recording that can be analysed (one spectrum window).
inline constexpr int MIN_RECORDING_FRAMES = 8192;
// The reason given for a recording shorter than that.
inline constexpr const char* SHORT_RECORDING_REASON = "recording shorter than 8192 frames";

// Reads recording.path. On success every buffer of the recording is replaced
// and the spectrum has been computed; on failure the recording is unchanged.
// `reason`, when given, receives a short English explanation of a failure.
int readRecording(Recording& recording, std::string* reason = nullptr);

// readRecording without the spectrum analysis: the spectrum buffers are sized
// but hold no rows until analyseRecording runs. For callers that time or
// schedule the analysis themselves, or do not need it.
int readRecordingSamples(Recording& recording, std::string* reason = nullptr);

// Frees every buffer of the recording.
void releaseRecording(Recording& recording);

}  // namespace quavrix
