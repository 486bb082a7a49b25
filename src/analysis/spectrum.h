#pragma once
// Peak spectrogram of a recording and the FIR filter used by playback.

#include "analysis/recording.h"
#include "analysis/spectrum_map.h"

namespace quavrix {

// Fills spectrumA (left) and spectrumB (right) of the recording, one row of
// 2048 hertz entries per 2048-frame block.
void analyseRecording(Recording& recording);

// Spectrum of |left - right|, written into both spectrumA and spectrumB.
void analyseDifference(Recording& recording);

}  // namespace quavrix
