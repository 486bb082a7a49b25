// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/note_model_layers.h"

#include <cmath>
#include <cstring>

namespace quavrix::note_layers {

namespace {

// Eight floats in a register: one AVX register, or two SSE ones in the
// portable copy.
typedef float V8 __attribute__((vector_size(32)));
typedef float V8u __attribute__((vector_size(32), aligned(4), may_alias));

#define QV_LOAD(p) (*reinterpret_cast<const V8u*>(p))
// A float of memory in every lane, written so that the compiler broadcasts
// straight from memory rather than through a shuffle.
#define QV_SPLAT(p) (V8{*(p), *(p), *(p), *(p), *(p), *(p), *(p), *(p)})

// The hot loops get an AVX2 + FMA copy on x86-64 Linux; elsewhere the compiler's default.
// Not under ThreadSanitizer: the clones' resolvers run while the program is
// being loaded, before the sanitizer's runtime is ready.
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define QV_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define QV_CLONES
#endif

inline float horizontalSum(V8 v) {
  return ((v[0] + v[4]) + (v[1] + v[5])) + ((v[2] + v[6]) + (v[3] + v[7]));
}

inline float activate(float v, Activation act) {
  switch (act) {
    case Activation::Relu:
      return v > 0.0f ? v : 0.0f;
    case Activation::Sigmoid:
      return 1.0f / (1.0f + std::exp(-v));
    case Activation::None:
      break;
  }
  return v;
}

// Output channels in multiples of eight: P neighbouring output bins at once,
// so each weight vector loaded serves P independent sums.
template <int NV, int P>
inline __attribute__((always_inline)) void wideBlock(const Conv& s, const float* in, int rowFloats,
                                                     int bin, const float* w, const float* bias,
                                                     float* out) {
  V8 acc[P][NV];
  for (int p = 0; p < P; ++p)
    for (int v = 0; v < NV; ++v) acc[p][v] = QV_LOAD(bias + 8 * v);
  const int span = s.bins * s.channels;
  const int step = s.stride * s.channels;
  for (int r = 0; r < s.rows; ++r) {
    const float* x = in + r * rowFloats + bin * step;
    const float* wr = w + r * span * NV * 8;
    for (int j = 0; j < span; ++j) {
      V8 wv[NV];
      for (int v = 0; v < NV; ++v) wv[v] = QV_LOAD(wr + j * NV * 8 + 8 * v);
      for (int p = 0; p < P; ++p) {
        const V8 xb = QV_SPLAT(x + p * step + j);
        for (int v = 0; v < NV; ++v) acc[p][v] += xb * wv[v];
      }
    }
  }
  for (int p = 0; p < P; ++p)
    for (int v = 0; v < NV; ++v) std::memcpy(out + (p * NV + v) * 8, &acc[p][v], sizeof(V8));
}

template <int NV, int P>
inline __attribute__((always_inline)) void wideRows(const Conv& s, const float* in, int inBins,
                                                    int frames, int outBins, const float* w,
                                                    const float* bias, Activation act, float* out) {
  const int rowFloats = inBins * s.channels;
  for (int t = 0; t < frames; ++t) {
    const float* x = in + t * rowFloats;
    float* o = out + t * outBins * s.out;
    int b = 0;
    for (; b + P <= outBins; b += P) wideBlock<NV, P>(s, x, rowFloats, b, w, bias, o + b * s.out);
    for (; b < outBins; ++b) wideBlock<NV, 1>(s, x, rowFloats, b, w, bias, o + b * s.out);
  }
  if (act != Activation::None)
    for (long i = 0, n = static_cast<long>(frames) * outBins * s.out; i < n; ++i)
      out[i] = activate(out[i], act);
}

// One output channel: the products of a kernel row are one contiguous dot
// product of bins x channels floats.
template <int P>
inline __attribute__((always_inline)) void narrowBlock(const Conv& s, const float* in,
                                                       int rowFloats, int bin, const float* w,
                                                       float bias, float* out) {
  const int span = s.bins * s.channels;
  const int step = s.stride * s.channels;
  V8 acc[P] = {};
  float tail[P] = {};
  const int whole = span & ~7;
  for (int r = 0; r < s.rows; ++r) {
    const float* x = in + r * rowFloats + bin * step;
    const float* wr = w + r * span;
    for (int j = 0; j < whole; j += 8) {
      const V8 wv = QV_LOAD(wr + j);
      for (int p = 0; p < P; ++p) acc[p] += QV_LOAD(x + p * step + j) * wv;
    }
    for (int j = whole; j < span; ++j)
      for (int p = 0; p < P; ++p) tail[p] += x[p * step + j] * wr[j];
  }
  for (int p = 0; p < P; ++p) out[p] = bias + (horizontalSum(acc[p]) + tail[p]);
}

}  // namespace

QV_CLONES void constantQ(const float* padded, int frames, int hop, const float* kernel,
                         float* out) {
  constexpr int NV = 9;  // 72 products
  for (int t = 0; t < frames; ++t) {
    V8 acc[NV] = {};
    const float* x = padded + static_cast<long>(t) * hop;
    for (int j = 0; j < 256; ++j) {
      const V8 xb = QV_SPLAT(x + j);
      for (int v = 0; v < NV; ++v) acc[v] += xb * QV_LOAD(kernel + j * 72 + 8 * v);
    }
    std::memcpy(out + t * 72, acc, sizeof acc);
  }
}

QV_CLONES void decimate(const float* padded, int count, const float* filter, float* out) {
  for (int i = 0; i < count; ++i) {
    const float* x = padded + 2L * i;
    V8 a = {}, b = {};
    for (int j = 0; j < 256; j += 16) {
      a += QV_LOAD(x + j) * QV_LOAD(filter + j);
      b += QV_LOAD(x + j + 8) * QV_LOAD(filter + j + 8);
    }
    out[i] = horizontalSum(a + b);
  }
}

QV_CLONES void convolve(const Conv& s, const float* in, int inBins, int frames, int outBins,
                        const float* weights, const float* bias, Activation act, float* out) {
  if (s.out == 8) {
    wideRows<1, 8>(s, in, inBins, frames, outBins, weights, bias, act, out);
  } else if (s.out == 32) {
    wideRows<4, 2>(s, in, inBins, frames, outBins, weights, bias, act, out);
  } else {  // one output channel
    const int rowFloats = inBins * s.channels;
    for (int t = 0; t < frames; ++t) {
      const float* x = in + t * rowFloats;
      float* o = out + t * outBins;
      int b = 0;
      for (; b + 4 <= outBins; b += 4) narrowBlock<4>(s, x, rowFloats, b, weights, bias[0], o + b);
      for (; b < outBins; ++b) narrowBlock<1>(s, x, rowFloats, b, weights, bias[0], o + b);
      for (int i = 0; i < outBins; ++i) o[i] = activate(o[i], act);
    }
  }
}

}  // namespace quavrix::note_layers
