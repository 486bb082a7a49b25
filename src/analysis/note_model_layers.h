#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the note model's layers, on plain float arrays. Each
// function has a copy for processors with AVX2 and FMA, picked when the
// program loads, and a portable one.
//
// Layouts are those of the graph: time-major rows of frequency bins, the
// channels of a bin contiguous ([time][bin][channel]).

namespace quavrix::note_layers {

// One octave of the constant-Q transform: row t of `out` holds the 72
// products (real and imaginary part of 36 bins, interleaved) of the 256-tap
// kernel [256][72] with padded[t * hop ...].
void constantQ(const float* padded, int frames, int hop, const float* kernel, float* out);

// Low-pass and halve: out[i] = sum_j padded[2 i + j] * filter[j], j < 256.
void decimate(const float* padded, int count, const float* filter, float* out);

enum class Activation { None, Relu, Sigmoid };

// A convolution with "same" padding already applied: `in` holds the input
// padded in time (rows) and frequency (bins) as the graph pads it, with
// `inBins` bins of `channels` per row. Output bin b of row t starts at input
// bin b * stride of rows t .. t + kernel rows - 1. The layers the model has:
struct Conv {
  int rows, bins;     // kernel height (time) and width (frequency)
  int channels, out;  // input and output channels
  int stride;         // along frequency
};
void convolve(const Conv& shape, const float* in, int inBins, int frames, int outBins,
              const float* weights, const float* bias, Activation act, float* out);

}  // namespace quavrix::note_layers
