// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/note_posteriors.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace quavrix {

namespace {

constexpr int OVERLAP_FRAMES = 30;
constexpr int KEPT_FRAMES = NoteModel::WINDOW_FRAMES - OVERLAP_FRAMES;  // 142
constexpr int LEAD_SAMPLES = OVERLAP_FRAMES * NoteModel::HOP / 2;       // 3840
constexpr int WINDOW_STEP = NoteModel::WINDOW_SAMPLES - OVERLAP_FRAMES * NoteModel::HOP;
// The frame rate the JavaScript rounds down to when it counts the frames.
constexpr int FRAMES_PER_SECOND = NoteModel::SAMPLE_RATE / NoteModel::HOP;  // 86

// Windows of the audio after LEAD_SAMPLES zeros: whole ones while they fit,
// then zero-padded ones while they start inside it.
std::size_t windowCount(std::size_t samples) {
  const std::size_t total = samples + LEAD_SAMPLES;
  std::size_t n = 0, start = 0;
  while (start < total) {
    ++n;
    start += WINDOW_STEP;
  }
  return n;
}

void fillWindow(const float* audio, std::size_t samples, std::size_t index, float* window) {
  // Window sample i is audio[index * step + i - LEAD_SAMPLES], zero outside.
  const long first = static_cast<long>(index) * WINDOW_STEP - LEAD_SAMPLES;
  for (int i = 0; i < NoteModel::WINDOW_SAMPLES; ++i) {
    const long s = first + i;
    window[i] = s >= 0 && s < static_cast<long>(samples) ? audio[s] : 0.0f;
  }
}

}  // namespace

int posteriorFrames(std::size_t samples) {
  return static_cast<int>(
      std::floor(static_cast<double>(samples) *
                 (static_cast<double>(FRAMES_PER_SECOND) / NoteModel::SAMPLE_RATE)));
}

bool computePosteriors(const NoteModel& model, const float* audio, std::size_t samples,
                       NotePosteriors& out, const PosteriorOptions& options) {
  const int frames = posteriorFrames(samples);
  const std::size_t windows = windowCount(samples);
  constexpr int K = NoteModel::KEYS, C = NoteModel::CONTOUR_BINS;
  try {
    out.frames = frames;
    out.note.assign(static_cast<std::size_t>(frames) * K, 0.0f);
    out.onset.assign(static_cast<std::size_t>(frames) * K, 0.0f);
    out.contour.assign(options.contours ? static_cast<std::size_t>(frames) * C : 0, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }

  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> failed{false};
  // Window w's frames 15 .. 156 land at w * 142, cut at the end of the audio.
  const auto worker = [&] {
    try {
      auto work = model.makeWorkspace();
      std::vector<float> window(NoteModel::WINDOW_SAMPLES);
      std::vector<float> note(NoteModel::WINDOW_FRAMES * K), onset(note.size());
      std::vector<float> contour(options.contours ? NoteModel::WINDOW_FRAMES * C : 0);
      for (std::size_t w; (w = next++) < windows;) {
        if (failed || (options.cancel && *options.cancel)) return;
        const long first = static_cast<long>(w) * KEPT_FRAMES;
        const int keep = static_cast<int>(std::min<long>(KEPT_FRAMES, frames - first));
        if (keep > 0) {
          fillWindow(audio, samples, w, window.data());
          model.run(window.data(), *work, note.data(), onset.data(),
                    options.contours ? contour.data() : nullptr);
          const std::size_t from = static_cast<std::size_t>(OVERLAP_FRAMES / 2);
          std::copy_n(note.begin() + from * K, keep * K, out.note.begin() + first * K);
          std::copy_n(onset.begin() + from * K, keep * K, out.onset.begin() + first * K);
          if (options.contours)
            std::copy_n(contour.begin() + from * C, keep * C, out.contour.begin() + first * C);
        }
        ++done;
      }
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  };

  const int threads = static_cast<int>(
      std::clamp<std::size_t>(static_cast<std::size_t>(std::max(options.threads, 1)), 1, windows));
  std::mutex lock;
  std::condition_variable changed;
  int running = threads;
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; ++i)
    pool.emplace_back([&] {
      worker();
      const std::lock_guard<std::mutex> hold(lock);
      --running;
      changed.notify_all();
    });
  if (options.progress) {
    // Reported from the calling thread, at most every 50 ms.
    std::unique_lock<std::mutex> hold(lock);
    while (running > 0) {
      hold.unlock();
      options.progress(static_cast<double>(done) / static_cast<double>(windows));
      hold.lock();
      changed.wait_for(hold, std::chrono::milliseconds(50), [&] { return running == 0; });
    }
  }
  for (auto& t : pool) t.join();
  if (options.progress) options.progress(1.0);
  return !failed && !(options.cancel && *options.cancel);
}

}  // namespace quavrix
