// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/transcription.h"

#include <algorithm>
#include <tuple>

#include "analysis/model_input.h"
#include "base/units.h"

namespace quavrix {

bool transcribeRecording(const Recording& recording, const NoteModel& model, Transcription& out,
                         std::string* reason, const PosteriorOptions& options) {
  std::vector<float> audio;
  if (!modelInput(recording, audio, reason)) return false;
  return transcribeInput(std::move(audio), static_cast<double>(recording.framesRead) / SAMPLE_RATE,
                         model, out, reason, options);
}

bool transcribeInput(std::vector<float>&& audio, double seconds, const NoteModel& model,
                     Transcription& out, std::string* reason, const PosteriorOptions& options) {
  out = {};
  out.seconds = seconds;
  NotePosteriors post;
  if (!computePosteriors(model, audio.data(), audio.size(), post, options)) {
    if (reason) *reason = options.cancel && *options.cancel ? "cancelled" : "not enough memory";
    return false;
  }
  audio = {};
  out.notes = decodeNotes(post);
  std::sort(out.notes.begin(), out.notes.end(), [](const ModelNote& a, const ModelNote& b) {
    return std::tie(a.startFrame, a.pitch, a.frames) < std::tie(b.startFrame, b.pitch, b.frames);
  });
  return true;
}

}  // namespace quavrix
