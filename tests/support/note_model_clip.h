#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The note model's test clip and the reference the model's own JavaScript made
// of it (tests/data/make_model_reference.mjs builds the same clip).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/note_model.h"

namespace quavrix::test {

// The clip: decaying harmonic tones, chords and a bass line, 6.5 s at 22050 Hz.
std::vector<float> noteModelClip();

// The model built beside the tests, or null with the reason in `why`.
std::unique_ptr<NoteModel> builtNoteModel(std::string* why);

struct ReferenceNote {
  int startFrame, frames, pitch;
  double amplitude, start, end;
};
struct NoteModelReference {
  int samples = 0, frames = 0;
  // "note", "onset", "contour" -> frame -> values (the contour every 8th bin).
  std::map<std::string, std::map<int, std::vector<double>>> rows;
  std::vector<ReferenceNote> notes;
};
NoteModelReference readNoteModelReference();

}  // namespace quavrix::test
