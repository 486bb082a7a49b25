#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The note model over a whole recording: windows of two seconds, overlapping
// by 30 frames, joined as the model's own JavaScript joins them. That code
// keeps 142 frames of each window although windows advance by 141.27 frames
// of audio; the note decoder's time conversion makes up for the drift.

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "analysis/note_model.h"

namespace quavrix {

struct NotePosteriors {
  int frames = 0;
  std::vector<float> note;     // frames x KEYS
  std::vector<float> onset;    // frames x KEYS
  std::vector<float> contour;  // frames x CONTOUR_BINS, when asked for
};

struct PosteriorOptions {
  int threads = 2;
  bool contours = false;
  // Called from the calling thread with the share of windows done (0..1).
  std::function<void(double)> progress;
  const std::atomic<bool>* cancel = nullptr;  // stops early when it turns true
};

// Frames the model gives for `samples` samples at 22050 Hz.
int posteriorFrames(std::size_t samples);

// Runs the model over 22050 Hz mono audio. False when cancelled or out of memory.
bool computePosteriors(const NoteModel& model, const float* audio, std::size_t samples,
                       NotePosteriors& out, const PosteriorOptions& options = {});

}  // namespace quavrix
