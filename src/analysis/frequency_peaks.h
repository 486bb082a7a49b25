#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Peak spectrogram of a recording: one row of 2048 whole-hertz entries per
// 2048-frame block, each row from the 8192 frames starting at that block.

#include <cstdint>
#include <functional>

#include "analysis/fft_transform.h"
#include "analysis/recording.h"

namespace quavrix {

// Entries per spectrum row (0 .. 2047 Hz) and frames per block.
inline constexpr int SPECTRUM_ROW = 2048;
// Threads the analyses spread their rows over.
inline constexpr int ANALYSIS_THREADS = 2;

// Result codes of the analyses.
inline constexpr int SPECTRUM_OK = 0;
inline constexpr int SPECTRUM_NO_TRANSFORM = -1;  // no memory for the transform; rows are 0

// Fills spectrumA (left) and spectrumB (right): row 0 is 0, rows 1 .. blockCount - 1
// hold the peaks of their window. Rows whose samples or entries do not fit the
// buffers stay 0.
int analyseRecording(Recording& recording, int threads = ANALYSIS_THREADS);
// The same, with `alongside` run on the calling thread while the other
// workers start on the rows; the caller then takes rows too. For work on the
// recording that only reads its samples and leaves its spectra alone.
int analyseRecording(Recording& recording, const std::function<void()>& alongside);

// Spectrum of |left - right|, written into both spectrumA and spectrumB.
int analyseDifference(Recording& recording, int threads = ANALYSIS_THREADS);

// Every reader of the spectrum rows goes through this: the value of row `row`
// at `hz` (0 .. SPECTRUM_ROW - 1) of spectrum A (channel 0, left) or B
// (channel 1, right); 0 for a row or frequency outside the rows.
float spectrumValue(const Recording& recording, int channel, int row, int hz);

// One row as PeakRows keeps it: PEAK_SLOTS heights and PEAK_PLACE_BYTES places.
struct PeakRow {
  float* height;
  std::uint8_t* place;
};

// Writes one row: the strict local maxima of bins 1 .. 379, each with its
// height scaled by 5 / 2048 and its place at the interpolated frequency;
// every other bin of the row gets height 0.
void writePeakRow(const PowerBins& power, PeakRow row);

// The value such a row has at `hz` (0 .. SPECTRUM_ROW - 1): the height of the
// peak whose interpolated frequency is hz, or 0.
float peakRowValue(const float* height, const std::uint8_t* place, int hz);

}  // namespace quavrix
