// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/model_input.h"

#include <samplerate.h>

#include <algorithm>
#include <memory>
#include <new>
#include <thread>

#include "analysis/note_model.h"
#include "base/units.h"
#include "platform/shared_library.h"

namespace quavrix {

namespace {

// Loaded when first needed, like the decoders of compressed recordings.
struct Resampler {
  SharedLibrary library{"libsamplerate.so.0"};
  decltype(&::src_new) create = nullptr;
  decltype(&::src_process) process = nullptr;
  decltype(&::src_delete) destroy = nullptr;
  decltype(&::src_strerror) error = nullptr;
  bool found = false;
  Resampler() {
    found = library.find(create, "src_new") && library.find(process, "src_process") &&
            library.find(destroy, "src_delete") && library.find(error, "src_strerror");
  }
};

const Resampler& resampler() {
  static const Resampler& loaded = *new Resampler;
  return loaded;
}

constexpr std::size_t BLOCK = 32768;
// Input frames the second half of a recording starts early by (even).
constexpr std::size_t SPLIT_MARGIN = 16384;

// Resamples frames [from, to) of the recording's mono mix; the converter
// starts and ends as on silence beyond them.
bool resampleRange(const Resampler& lib, const Recording& rec, std::size_t from, std::size_t to,
                   std::vector<float>& out, std::string* reason) {
  int error = 0;
  // The fastest sinc converter: its pass band (80 % of 11 kHz) reaches far
  // above the model's highest key, and the medium one took a third of the
  // whole transcription, on one core.
  const std::unique_ptr<SRC_STATE, decltype(lib.destroy)> state(
      lib.create(SRC_SINC_FASTEST, 1, &error), lib.destroy);
  if (!state) {
    if (reason) *reason = lib.error(error);
    return false;
  }
  const double ratio = static_cast<double>(NoteModel::SAMPLE_RATE) / SAMPLE_RATE;
  out.clear();
  out.reserve(static_cast<std::size_t>(static_cast<double>(to - from) * ratio) + 64);
  std::vector<float> mono(BLOCK), half(BLOCK / 2 + 64);
  for (std::size_t at = from; at < to || to == from;) {
    const std::size_t n = std::min(BLOCK, to - at);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t s = LEAD_IN_FRAMES + at + i;
      mono[i] =
          (static_cast<float>(rec.left[s]) + static_cast<float>(rec.right[s])) * (0.5f / 32768.0f);
    }
    at += n;
    SRC_DATA data{};
    data.data_in = mono.data();
    data.input_frames = static_cast<long>(n);
    data.end_of_input = at >= to ? 1 : 0;
    data.src_ratio = ratio;
    do {
      data.data_out = half.data();
      data.output_frames = static_cast<long>(half.size());
      if (const int e = lib.process(state.get(), &data)) {
        if (reason) *reason = lib.error(e);
        return false;
      }
      out.insert(out.end(), half.begin(), half.begin() + data.output_frames_gen);
      data.data_in += data.input_frames_used;
      data.input_frames -= data.input_frames_used;
    } while (data.input_frames > 0 || (data.end_of_input && data.output_frames_gen > 0));
    if (to == from) break;
  }
  return true;
}

}  // namespace

bool modelInput(const Recording& rec, std::vector<float>& out, std::string* reason) {
  const Resampler& lib = resampler();
  if (!lib.found) {
    if (reason) *reason = "cannot load the resampler: " + lib.library.error();
    return false;
  }
  const std::size_t frames = rec.framesRead;
  try {
    if (frames < 8 * SPLIT_MARGIN) return resampleRange(lib, rec, 0, frames, out, reason);
    // Two halves on two cores. Halving maps input frame 2 k to output k, so
    // the second half, started SPLIT_MARGIN frames early (far more than the
    // converter's filter reaches), joins the first without a seam.
    const std::size_t middle = frames / 2 & ~std::size_t{1};
    // Room for the whole at once: the second half is appended without moving
    // the first (a long recording's input is tens of megabytes).
    out.clear();
    out.reserve(frames / 2 + 64);
    std::vector<float> second;
    std::string secondReason;
    bool secondOk = false;
    std::thread helper([&] {
      try {
        secondOk = resampleRange(lib, rec, middle - SPLIT_MARGIN, frames, second, &secondReason);
      } catch (const std::bad_alloc&) {
        secondReason = "not enough memory";
      }
    });
    const bool firstOk = resampleRange(lib, rec, 0, middle + SPLIT_MARGIN, out, reason);
    helper.join();
    if (!firstOk) return false;
    if (!secondOk) {
      if (reason) *reason = secondReason;
      return false;
    }
    out.resize(middle / 2);
    out.insert(out.end(), second.begin() + SPLIT_MARGIN / 2, second.end());
  } catch (const std::bad_alloc&) {
    if (reason) *reason = "not enough memory";
    return false;
  }
  return true;
}

}  // namespace quavrix
