#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Notes from the note model's posteriors, decoded as the model's own
// post-processing decodes them: onset peaks (with onsets inferred from jumps
// of the note posterior) start notes that last while the note posterior stays
// above the frame threshold; then the "melodia trick" turns the strongest
// remaining stretches of note posterior into notes too.

#include <vector>

#include "analysis/note_posteriors.h"

namespace quavrix {

struct NoteDecodeOptions {
  double onsetThreshold = 0.5;
  double frameThreshold = 0.3;
  int minimumFrames = 11;    // a note must be longer than this
  int energyTolerance = 11;  // frames below the threshold that end a note
  bool inferOnsets = true;
  bool melodiaTrick = true;
};

struct ModelNote {
  int startFrame = 0;
  int frames = 0;
  int pitch = 0;           // MIDI
  double amplitude = 0.0;  // mean note posterior, 0..1
  double start = 0.0;      // seconds from the first sample
  double end = 0.0;
  int velocity = 1;  // 1..127, from the amplitude
};

// The notes in the order the model's code finds them. `post` is not changed.
std::vector<ModelNote> decodeNotes(const NotePosteriors& post,
                                   const NoteDecodeOptions& options = {});

// Seconds of model frame `frame`, with the JavaScript's correction for the
// windows' drift.
double modelFrameSeconds(int frame);

}  // namespace quavrix
