#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The audio the note model hears: the recording mixed to mono and resampled
// from 44100 Hz to the model's 22050 Hz with libsamplerate.

#include <string>
#include <vector>

#include "analysis/recording.h"

namespace quavrix {

// Fills `out` with the model's input for the frames the recording read.
// False with `reason` set when the resampler cannot be loaded or memory runs out.
bool modelInput(const Recording& recording, std::vector<float>& out, std::string* reason);

}  // namespace quavrix
