#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings in the formats people have: WAV of every sample format and
// rate, AIFF, FLAC, Ogg Vorbis, Opus and MP3, decoded and converted to the
// 44100 Hz 16-bit samples the program plays and analyses. The plain 16-bit
// 44100 Hz WAV keeps its own reader (its projects depend on its capacity);
// everything else comes through here.
//
// The capacity of a decoded recording is that of the equivalent 16-bit WAV
// file of the decoded 44100 Hz audio with a 44-byte header, so the position
// count of its project is fixed by the audio alone.
//
// Channels: mono stays mono, stereo stays stereo. More channels are mixed
// down to stereo in the usual order of surround files: channel 1 goes left,
// 2 right, 3 (centre) and 4 (low frequencies) to both sides at -3 dB, and
// every further channel to the left when odd-numbered and to the right when
// even; each side is divided by the sum of its weights, so that full scale
// stays full scale.
//
// Samples are scaled by 32768 and rounded, clipped to the 16-bit range, as a
// 16-bit file would hold them. A decoder error ends the open with the
// program's message; a file that simply ends early (a cut-off MP3) plays to
// where it ends.

#include <string>

#include "analysis/recording.h"

namespace quavrix {

// Decodes recording.path into the buffers of a Recording as the WAV reader
// fills them (no spectrum yet). Returns WAV_OK, WAV_CANNOT_OPEN with a reason,
// or WAV_NO_MEMORY. On failure the recording is unchanged.
int decodeRecording(Recording& recording, std::string* reason);

}  // namespace quavrix
