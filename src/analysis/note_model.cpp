// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/note_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "analysis/note_model_layers.h"
#include "platform/program_folders.h"
#include "platform/program_path.h"

namespace quavrix {

namespace {

using note_layers::Activation;
using note_layers::Conv;

constexpr int OCTAVES = 9;
constexpr int OCTAVE_BINS = 36;
constexpr int CQT_TAPS = 256;
constexpr int CQT_BINS = 309;  // the lowest 15 of the 9 x 36 are dropped
constexpr int STACK = 8;       // harmonics 0.5, 1, 2 .. 7
// Shifts in thirds of a semitone: round(36 log2(h)).
constexpr int HARMONIC_SHIFT[STACK] = {-36, 0, 36, 57, 72, 84, 93, 101};
constexpr float LOG_FLOOR = 1e-10f;
constexpr float DECIBELS = 4.34294462f;  // 10 / ln 10
constexpr int T = NoteModel::WINDOW_FRAMES;
constexpr int K = NoteModel::KEYS;
constexpr int C = NoteModel::CONTOUR_BINS;

constexpr Conv CONTOUR1{3, 39, STACK, 8, 1};
constexpr Conv CONTOUR2{5, 5, 8, 1, 1};
constexpr Conv NOTE1{7, 7, 1, 32, 3};
constexpr Conv NOTE2{7, 3, 32, 1, 1};
constexpr Conv ONSET1{5, 5, STACK, 32, 3};
constexpr Conv ONSET2{3, 3, 33, 1, 1};

// "Same" padding as the graph does it: the output has ceil(in / stride) bins
// and the smaller half of the padding goes before.
struct Padded {
  int padRows, padBins, bins;  // rows and bins before the data; bins per padded row
};
constexpr Padded padding(const Conv& s, int inBins) {
  const int outBins = (inBins + s.stride - 1) / s.stride;
  const int total = std::max((outBins - 1) * s.stride + s.bins - inBins, 0);
  const int bins = std::max(inBins + total / 2, (outBins - 1) * s.stride + s.bins);
  return {(s.rows - 1) / 2, total / 2, bins};
}

std::size_t paddedSize(const Conv& s, int inBins) {
  const Padded p = padding(s, inBins);
  return static_cast<std::size_t>(T + s.rows - 1) * p.bins * s.channels;
}

// Copies rows of `bins` x `channels` into the zeroed padded buffer of a layer.
void placeRows(const Conv& s, int inBins, const float* in, float* padded, int channelOffset = 0,
               int channels = -1) {
  const Padded p = padding(s, inBins);
  if (channels < 0) channels = s.channels;
  for (int t = 0; t < T; ++t)
    for (int b = 0; b < inBins; ++b) {
      float* dst = padded +
                   (static_cast<std::size_t>(t + p.padRows) * p.bins + b + p.padBins) * s.channels +
                   channelOffset;
      std::memcpy(dst, in + (static_cast<std::size_t>(t) * inBins + b) * channels,
                  sizeof(float) * channels);
    }
}

void runConv(const Conv& s, int inBins, const float* padded, const std::vector<float>& w,
             const std::vector<float>& b, Activation act, float* out) {
  const Padded p = padding(s, inBins);
  note_layers::convolve(s, padded, p.bins, T, (inBins + s.stride - 1) / s.stride, w.data(),
                        b.data(), act, out);
}

bool readTensors(const std::string& path, std::map<std::string, std::vector<float>>& out,
                 std::string* reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (reason) *reason = "no note model at " + path;
    return false;
  }
  char magic[8];
  std::uint32_t count = 0;
  in.read(magic, 8);
  in.read(reinterpret_cast<char*>(&count), 4);
  if (!in || std::memcmp(magic, "QVXNOTE1", 8) != 0 || count > 64) {
    if (reason) *reason = path + " is not a note model file";
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned char len = 0, rank = 0;
    in.read(reinterpret_cast<char*>(&len), 1);
    std::string name(len, '\0');
    in.read(name.data(), len);
    in.read(reinterpret_cast<char*>(&rank), 1);
    std::vector<std::uint32_t> dims(rank);
    in.read(reinterpret_cast<char*>(dims.data()), 4 * rank);
    std::size_t n = 1;
    for (const auto d : dims) n *= d;
    if (!in || rank > 4 || n > (1u << 20)) break;
    std::vector<float> values(n);
    in.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(4 * n));
    out[name] = std::move(values);
  }
  if (!in) {
    if (reason) *reason = path + " is cut short";
    return false;
  }
  return true;
}

}  // namespace

struct NoteModel::Workspace {
  std::vector<float> signal[2];  // the octave's signal and the next, halved
  std::vector<float> padded;     // reflection- or zero-padded signal
  std::vector<float> products;   // [T][72]
  std::vector<float> spectrum;   // [T][309], log-scaled
  std::vector<float> stack;      // [T][264][8]
  std::vector<float> contour1In, contour1Out, contour2In, contour;
  std::vector<float> note1In, note1Out, note2In;
  std::vector<float> onset1In, onset1Out, onset2In;
};

std::unique_ptr<NoteModel::Workspace, void (*)(NoteModel::Workspace*)> NoteModel::makeWorkspace()
    const {
  auto* w = new Workspace;
  w->signal[0].resize(WINDOW_SAMPLES);
  w->signal[1].resize(WINDOW_SAMPLES / 2 + 1);
  w->padded.resize(WINDOW_SAMPLES + CQT_TAPS);
  w->products.resize(T * 72);
  w->spectrum.resize(T * CQT_BINS);
  w->stack.resize(static_cast<std::size_t>(T) * C * STACK);
  w->contour1In.resize(paddedSize(CONTOUR1, C));
  w->contour1Out.resize(static_cast<std::size_t>(T) * C * 8);
  w->contour2In.resize(paddedSize(CONTOUR2, C));
  w->contour.resize(static_cast<std::size_t>(T) * C);
  w->note1In.resize(paddedSize(NOTE1, C));
  w->note1Out.resize(static_cast<std::size_t>(T) * K * 32);
  w->note2In.resize(paddedSize(NOTE2, K));
  w->onset1In.resize(paddedSize(ONSET1, C));
  w->onset1Out.resize(static_cast<std::size_t>(T) * K * 32);
  w->onset2In.resize(paddedSize(ONSET2, K));
  return {w, [](Workspace* p) { delete p; }};
}

std::unique_ptr<NoteModel> NoteModel::load(const std::string& path, std::string* reason) {
  std::map<std::string, std::vector<float>> t;
  if (!readTensors(path, t, reason)) return nullptr;
  auto model = std::make_unique<NoteModel>();
  Weights& w = model->weights_;
  struct Tensor {
    const char* name;
    std::size_t size;
    std::vector<float>* into;
  };
  std::vector<float> real, imag, bnScale, bnOffset;
  const Tensor tensors[] = {
      {"cqt_real", 256 * 36, &real},
      {"cqt_imag", 256 * 36, &imag},
      {"lowpass", 256, &w.lowpass},
      {"cqt_scale", CQT_BINS, &w.cqtScale},
      {"bn_scale", 1, &bnScale},
      {"bn_offset", 1, &bnOffset},
      {"contour1_w", 3 * 39 * 8 * 8, &w.contour1W},
      {"contour1_b", 8, &w.contour1B},
      {"contour2_w", 5 * 5 * 8, &w.contour2W},
      {"contour2_b", 1, &w.contour2B},
      {"note1_w", 7 * 7 * 32, &w.note1W},
      {"note1_b", 32, &w.note1B},
      {"note2_w", 7 * 3 * 32, &w.note2W},
      {"note2_b", 1, &w.note2B},
      {"onset1_w", 5 * 5 * 8 * 32, &w.onset1W},
      {"onset1_b", 32, &w.onset1B},
      {"onset2_w", 3 * 3 * 33, &w.onset2W},
      {"onset2_b", 1, &w.onset2B},
  };
  for (const Tensor& tensor : tensors) {
    const auto it = t.find(tensor.name);
    if (it == t.end() || it->second.size() != tensor.size) {
      if (reason) *reason = path + " lacks the note model's weights " + tensor.name;
      return nullptr;
    }
    *tensor.into = std::move(it->second);
  }
  w.bnScale = bnScale[0];
  w.bnOffset = bnOffset[0];
  w.cqt.resize(256 * 72);
  for (int j = 0; j < 256; ++j)
    for (int b = 0; b < 36; ++b) {
      w.cqt[j * 72 + 2 * b] = real[j * 36 + b];
      w.cqt[j * 72 + 2 * b + 1] = imag[j * 36 + b];
    }
  return model;
}

void NoteModel::run(const float* window, Workspace& ws, float* note, float* onset,
                    float* contour) const {
  const Weights& w = weights_;
  // Constant-Q magnitudes, octave by octave from the top: each octave runs the
  // same kernels on the signal halved once more, with half the hop, so every
  // octave gives the same 172 frames.
  std::copy(window, window + WINDOW_SAMPLES, ws.signal[0].begin());
  int length = WINDOW_SAMPLES;
  int current = 0;
  for (int octave = 0; octave < OCTAVES; ++octave) {
    const float* x = ws.signal[current].data();
    float* p = ws.padded.data();
    // Reflection padding by half the kernel on both sides.
    for (int i = 0; i < 128; ++i) {
      p[i] = x[128 - i];
      p[128 + length + i] = x[length - 2 - i];
    }
    std::copy(x, x + length, p + 128);
    const int hop = HOP >> octave;
    const int frames = length / hop + 1;
    if (frames != T) std::abort();  // the window length fixes this for every octave
    note_layers::constantQ(p, T, hop, w.cqt.data(), ws.products.data());
    for (int b = 0; b < OCTAVE_BINS; ++b) {
      const int bin = (OCTAVES - 1 - octave) * OCTAVE_BINS + b - (OCTAVES * OCTAVE_BINS - CQT_BINS);
      if (bin < 0) continue;
      const float scale = w.cqtScale[bin];
      for (int f = 0; f < T; ++f) {
        const float re = ws.products[f * 72 + 2 * b] * scale;
        const float im = ws.products[f * 72 + 2 * b + 1] * scale;
        const float magnitude = std::sqrt(re * re + im * im);
        ws.spectrum[f * CQT_BINS + bin] = std::log(magnitude * magnitude + LOG_FLOOR) * DECIBELS;
      }
    }
    if (octave + 1 == OCTAVES) break;
    // Halve with the low-pass filter over the zero-padded signal.
    std::fill(p, p + 127, 0.0f);
    std::copy(x, x + length, p + 127);
    std::fill(p + 127 + length, p + 254 + length, 0.0f);
    const int halved = (length - 2) / 2 + 1;
    note_layers::decimate(p, halved, w.lowpass.data(), ws.signal[1 - current].data());
    current = 1 - current;
    length = halved;
  }

  // Decibels scaled to 0..1 over the window, then the trained affine step.
  const auto [lo, hi] = std::minmax_element(ws.spectrum.begin(), ws.spectrum.end());
  const float low = *lo, range = *hi - *lo;
  for (float& v : ws.spectrum) {
    const float unit = range != 0.0f ? (v - low) / range : 0.0f;
    v = unit * w.bnScale + w.bnOffset;
  }

  // Harmonic stacking: channel h of bin b is the spectrum at b + shift(h).
  for (int f = 0; f < T; ++f)
    for (int b = 0; b < C; ++b)
      for (int h = 0; h < STACK; ++h) {
        const int src = b + HARMONIC_SHIFT[h];
        ws.stack[(static_cast<std::size_t>(f) * C + b) * STACK + h] =
            src >= 0 && src < CQT_BINS ? ws.spectrum[f * CQT_BINS + src] : 0.0f;
      }

  // Contour branch.
  placeRows(CONTOUR1, C, ws.stack.data(), ws.contour1In.data());
  runConv(CONTOUR1, C, ws.contour1In.data(), w.contour1W, w.contour1B, Activation::Relu,
          ws.contour1Out.data());
  placeRows(CONTOUR2, C, ws.contour1Out.data(), ws.contour2In.data());
  runConv(CONTOUR2, C, ws.contour2In.data(), w.contour2W, w.contour2B, Activation::Sigmoid,
          ws.contour.data());
  if (contour) std::copy(ws.contour.begin(), ws.contour.end(), contour);

  // Note branch, from the contour.
  placeRows(NOTE1, C, ws.contour.data(), ws.note1In.data());
  runConv(NOTE1, C, ws.note1In.data(), w.note1W, w.note1B, Activation::Relu, ws.note1Out.data());
  placeRows(NOTE2, K, ws.note1Out.data(), ws.note2In.data());
  runConv(NOTE2, K, ws.note2In.data(), w.note2W, w.note2B, Activation::Sigmoid, note);

  // Onset branch: its own features of the stack, joined after the note posterior.
  placeRows(ONSET1, C, ws.stack.data(), ws.onset1In.data());
  runConv(ONSET1, C, ws.onset1In.data(), w.onset1W, w.onset1B, Activation::Relu,
          ws.onset1Out.data());
  placeRows(ONSET2, K, note, ws.onset2In.data(), 0, 1);
  placeRows(ONSET2, K, ws.onset1Out.data(), ws.onset2In.data(), 1, 32);
  runConv(ONSET2, K, ws.onset2In.data(), w.onset2W, w.onset2B, Activation::Sigmoid, onset);
}

std::string noteModelPath() {
  if (const char* env = std::getenv("QUAVRIX_NOTE_MODEL"); env && *env) return env;
  // Shipped with the program's other read-only files: share/quavrix/ when
  // installed, the program's own folder in a build tree.
  const std::filesystem::path program = programPath();
  return programDataFolder(program.parent_path().string()) + "note_model.qvnm";
}

}  // namespace quavrix
