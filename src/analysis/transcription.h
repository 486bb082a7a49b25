#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A recording turned into the note model's notes: model input, posteriors,
// notes, sorted by start and pitch.

#include <string>
#include <vector>

#include "analysis/note_decoder.h"
#include "analysis/recording.h"

namespace quavrix {

struct Transcription {
  std::vector<ModelNote> notes;
  double seconds = 0.0;  // the recording's length
};

// False with `reason` set when the input cannot be made, memory runs out or
// `options.cancel` turned true.
bool transcribeRecording(const Recording& recording, const NoteModel& model, Transcription& out,
                         std::string* reason, const PosteriorOptions& options = {});
// The same from the model's input (modelInput), which it frees as soon as
// the posteriors are made, for callers that free the recording first.
bool transcribeInput(std::vector<float>&& audio, double seconds, const NoteModel& model,
                     Transcription& out, std::string* reason, const PosteriorOptions& options = {});

}  // namespace quavrix
