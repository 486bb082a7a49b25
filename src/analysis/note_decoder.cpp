// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/note_decoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quavrix {

namespace {

constexpr int K = NoteModel::KEYS;
constexpr int MAX_KEY = K - 1;

// Zeroes a key and its two neighbours in one frame.
void clearAround(std::vector<float>& energy, int frame, int key) {
  float* row = energy.data() + static_cast<std::size_t>(frame) * K;
  row[key] = 0.0f;
  if (key < MAX_KEY) row[key + 1] = 0.0f;
  if (key > 0) row[key - 1] = 0.0f;
}

double meanNote(const NotePosteriors& post, int from, int to, int key) {
  double sum = 0.0;
  for (int i = from; i < to; ++i) sum += post.note[static_cast<std::size_t>(i) * K + key];
  return sum / (to - from);
}

ModelNote makeNote(int start, int end, int key, double amplitude) {
  ModelNote n;
  n.startFrame = start;
  n.frames = end - start;
  n.pitch = key + NoteModel::LOWEST_PITCH;
  n.amplitude = amplitude;
  n.start = modelFrameSeconds(start);
  n.end = n.start + (modelFrameSeconds(end) - modelFrameSeconds(start));
  n.velocity = static_cast<int>(std::clamp(std::lround(127.0 * amplitude), 1L, 127L));
  return n;
}

// The onset posterior raised to the note posterior's rises over one and two
// frames, rescaled to the onsets' maximum. A note posterior that never rises
// makes the rescaling 0 / 0, which leaves no onset at all, as in the
// original.
std::vector<double> inferredOnsets(const NotePosteriors& post, bool infer) {
  const std::size_t n = static_cast<std::size_t>(post.frames) * K;
  std::vector<double> out(post.onset.begin(), post.onset.begin() + static_cast<long>(n));
  if (!infer) return out;
  const auto rise = [&](int f, int k) {
    if (f < 2) return 0.0;
    const double v = post.note[static_cast<std::size_t>(f) * K + k];
    const double d1 = v - post.note[static_cast<std::size_t>(f - 1) * K + k];
    const double d2 = v - post.note[static_cast<std::size_t>(f - 2) * K + k];
    return std::max(std::min(d1, d2), 0.0);
  };
  double onsetMax = 0.0, riseMax = 0.0;
  for (std::size_t i = 0; i < n; ++i) onsetMax = std::max(onsetMax, out[i]);
  for (int f = 2; f < post.frames; ++f)
    for (int k = 0; k < K; ++k) riseMax = std::max(riseMax, rise(f, k));
  for (int f = 0; f < post.frames; ++f)
    for (int k = 0; k < K; ++k) {
      const double scaled = riseMax > 0.0 ? onsetMax * rise(f, k) / riseMax
                                          : std::numeric_limits<double>::quiet_NaN();
      double& o = out[static_cast<std::size_t>(f) * K + k];
      o = std::isnan(scaled) ? scaled : std::max(o, scaled);
    }
  return out;
}

}  // namespace

double modelFrameSeconds(int frame) {
  constexpr double HOP = NoteModel::HOP, RATE = NoteModel::SAMPLE_RATE;
  constexpr double WINDOW_FRAMES = NoteModel::WINDOW_FRAMES;
  constexpr double WINDOW_OFFSET =
      (HOP / RATE) * (WINDOW_FRAMES - NoteModel::WINDOW_SAMPLES / HOP) + 0.0018;
  return (frame * HOP) / RATE - WINDOW_OFFSET * std::floor(frame / WINDOW_FRAMES);
}

std::vector<ModelNote> decodeNotes(const NotePosteriors& post, const NoteDecodeOptions& opt) {
  const int frames = post.frames;
  std::vector<ModelNote> notes;
  if (frames == 0) return notes;
  const std::vector<double> onsets = inferredOnsets(post, opt.inferOnsets);
  const auto onsetAt = [&](int f, int k) { return onsets[static_cast<std::size_t>(f) * K + k]; };

  // Onset peaks above the threshold, strict maxima over the neighbouring
  // frames, taken from the last frame and the highest key backwards.
  std::vector<std::pair<int, int>> starts;
  for (int f = 0; f < frames; ++f)
    for (int k = 0; k < K; ++k) {
      const double v = onsetAt(f, k);
      const bool peak =
          (f == 0 || v > onsetAt(f - 1, k)) && (f + 1 == frames || v > onsetAt(f + 1, k));
      if (peak && v > opt.onsetThreshold) starts.emplace_back(f, k);
    }
  std::reverse(starts.begin(), starts.end());

  std::vector<float> energy(post.note.begin(), post.note.begin() + static_cast<long>(frames) * K);
  const auto below = [&](int f, int k) {
    return energy[static_cast<std::size_t>(f) * K + k] < opt.frameThreshold;
  };
  for (const auto& [start, key] : starts) {
    if (start >= frames - 1) continue;
    int i = start + 1, k = 0;
    while (i < frames - 1 && k < opt.energyTolerance) {
      k = below(i, key) ? k + 1 : 0;
      ++i;
    }
    i -= k;
    if (i - start <= opt.minimumFrames) continue;
    for (int j = start; j < i; ++j) clearAround(energy, j, key);
    notes.push_back(makeNote(start, i, key, meanNote(post, start, i, key)));
  }
  if (!opt.melodiaTrick) return notes;

  // The strongest remaining cell starts the next note, again and again while
  // one is above the threshold. Cells only ever drop to zero, so visiting the
  // cells above the threshold in falling order, skipping those cleared
  // meanwhile, picks the same cells as searching the whole grid every time.
  // Equal values go as the original's search finds them: earlier frame first;
  // within a frame the later key, but key 0 of frame 0 before the others.
  struct Cell {
    float value;
    int frame, key;
  };
  std::vector<Cell> cells;
  for (int f = 0; f < frames; ++f)
    for (int k = 0; k < K; ++k) {
      const float v = energy[static_cast<std::size_t>(f) * K + k];
      if (v > opt.frameThreshold) cells.push_back({v, f, k});
    }
  std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
    if (a.value != b.value) return a.value > b.value;
    if (a.frame != b.frame) return a.frame < b.frame;
    if (a.frame == 0 && (a.key == 0 || b.key == 0)) return a.key == 0 && b.key != 0;
    return a.key > b.key;
  });
  for (const Cell& cell : cells) {
    float& mid = energy[static_cast<std::size_t>(cell.frame) * K + cell.key];
    if (mid != cell.value) continue;  // cleared by an earlier note
    mid = 0.0f;
    const int key = cell.key;
    int i = cell.frame + 1, k = 0;
    while (i < frames - 1 && k < opt.energyTolerance) {
      k = below(i, key) ? k + 1 : 0;
      clearAround(energy, i, key);
      ++i;
    }
    const int end = i - 1 - k;
    i = cell.frame - 1;
    k = 0;
    while (i > 0 && k < opt.energyTolerance) {
      k = below(i, key) ? k + 1 : 0;
      clearAround(energy, i, key);
      --i;
    }
    const int start = i + 1 + k;
    if (end - start <= opt.minimumFrames) continue;
    notes.push_back(makeNote(start, end, key, meanNote(post, start, end, key)));
  }
  return notes;
}

}  // namespace quavrix
