#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The polyphonic note model (Basic Pitch, Apache-2.0, from its npm package):
// a constant-Q front end, harmonic stacking and six small convolutions that
// turn two seconds of 22050 Hz mono audio into per-frame note, onset and
// pitch-contour posteriors. The trained weights come from note_model.qvnm,
// which the build converts from the package (scripts/convert-note-model.py).
//
// One window is 43844 samples and gives 172 frames of 256 samples; how the
// windows of a recording overlap and join is note_posteriors' business.

#include <memory>
#include <string>
#include <vector>

namespace quavrix {

class NoteModel {
 public:
  static constexpr int SAMPLE_RATE = 22050;
  static constexpr int WINDOW_SAMPLES = 43844;  // 2 s less one hop
  static constexpr int HOP = 256;
  static constexpr int WINDOW_FRAMES = 172;
  static constexpr int KEYS = 88;           // note and onset columns: MIDI 21..108
  static constexpr int CONTOUR_BINS = 264;  // three per semitone from MIDI 21
  static constexpr int LOWEST_PITCH = 21;

  // Reads a weights file; null with `reason` set when it is missing or not one.
  static std::unique_ptr<NoteModel> load(const std::string& path, std::string* reason);

  // Buffers for one window, reused between windows; one per thread.
  struct Workspace;
  std::unique_ptr<Workspace, void (*)(Workspace*)> makeWorkspace() const;

  // Runs one window. The outputs hold WINDOW_FRAMES rows of KEYS (note, onset)
  // and CONTOUR_BINS (contour, may be null) posteriors.
  void run(const float* window, Workspace& work, float* note, float* onset, float* contour) const;

  // The weights, in the graph's layouts (height, width, in, out for kernels).
  struct Weights {
    std::vector<float> cqt;  // [256][72]: real and imaginary kernels of the 36 bins, interleaved
    std::vector<float> lowpass, cqtScale;
    float bnScale = 1.0f, bnOffset = 0.0f;
    std::vector<float> contour1W, contour1B, contour2W, contour2B;
    std::vector<float> note1W, note1B, note2W, note2B;
    std::vector<float> onset1W, onset1B, onset2W, onset2B;
  };
  const Weights& weights() const { return weights_; }

 private:
  Weights weights_;
};

// Where the program looks for the weights: $QUAVRIX_NOTE_MODEL, else
// note_model.qvnm among the program's shipped files (share/quavrix/, else beside it).
std::string noteModelPath();

}  // namespace quavrix
