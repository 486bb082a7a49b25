// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/note_model_clip.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

namespace quavrix::test {

std::vector<float> noteModelClip() {
  struct Tone {
    double start, seconds;
    int pitch;
  };
  static const Tone tones[] = {
      {0.30, 1.20, 60}, {0.30, 1.20, 64}, {1.50, 0.80, 67}, {2.20, 1.50, 48}, {2.60, 0.90, 72},
      {3.80, 1.40, 55}, {3.80, 1.40, 59}, {3.80, 1.40, 62}, {5.20, 0.60, 69}, {5.90, 0.45, 76}};
  constexpr double RATE = NoteModel::SAMPLE_RATE;
  const auto n = static_cast<std::size_t>(std::lround(6.5 * RATE));
  std::vector<double> acc(n, 0.0);
  for (const Tone& tone : tones) {
    const double f = 440.0 * std::pow(2.0, (tone.pitch - 69) / 12.0);
    const auto s0 = static_cast<std::size_t>(std::lround(tone.start * RATE));
    const long len = std::lround(tone.seconds * RATE);
    for (long i = 0; i < len && s0 + i < n; ++i) {
      const double t = i / RATE;
      const double env = std::exp(-2.5 * t) * std::min(1.0, t / 0.005) *
                         std::min(1.0, static_cast<double>(len - i) / 220.0);
      double v = 0.0;
      for (int h = 1; h <= 5; ++h) v += std::sin(2.0 * std::numbers::pi * h * f * t) / h;
      acc[s0 + i] += 0.12 * env * v;
    }
  }
  return {acc.begin(), acc.end()};
}

std::unique_ptr<NoteModel> builtNoteModel(std::string* why) {
  const std::string path = std::string(QUAVRIX_BIN_DIR) + "/note_model.qvnm";
  if (!std::filesystem::exists(path)) {
    *why = "no note model at " + path + ": run scripts/fetch-model.sh, then rebuild";
    return nullptr;
  }
  return NoteModel::load(path, why);
}

NoteModelReference readNoteModelReference() {
  NoteModelReference ref;
  std::ifstream in(std::string(QUAVRIX_SOURCE_DIR) + "/tests/data/note_model_reference.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "samples") {
      std::string frames;
      words >> ref.samples >> frames >> ref.frames;
    } else if (kind == "note" || kind == "onset" || kind == "contour") {
      int frame = 0;
      words >> frame;
      std::vector<double>& values = ref.rows[kind][frame];
      for (double v; words >> v;) values.push_back(v);
    } else if (kind == "n") {
      ReferenceNote n{};
      words >> n.startFrame >> n.frames >> n.pitch >> n.amplitude >> n.start >> n.end;
      ref.notes.push_back(n);
    }
  }
  return ref;
}

}  // namespace quavrix::test
