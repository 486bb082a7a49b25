// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/voice_render.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quavrix {

namespace {

// Index and fraction of the positions pos, pos + step, ... of a whole block.
// A fixed-length loop of plain arithmetic, so it compiles to vector code; the
// fraction keeps 24 bits, all a float holds.
void splitPositions(std::uint64_t pos, std::uint64_t step, std::uint32_t* __restrict index,
                    float* __restrict fraction) {
  for (int i = 0; i < VOICE_BLOCK; ++i) {
    index[i] = static_cast<std::uint32_t>(pos >> 32);
    const auto top = static_cast<std::int32_t>(static_cast<std::uint32_t>(pos) >> 8);
    fraction[i] = static_cast<float>(top) * (1.0f / 16777216.0f);
    pos += step;
  }
}

// Resamples up to `n` frames into `buf` by linear interpolation; returns how
// many frames there were before the region's end. The position runs in 32.32
// fixed point inside the block: cheaper to split into index and fraction than
// a double, and exact enough (a 2^-32 step error per frame).
template <bool LOOPS>
int resample(SynthVoice& v, const float* s, float* buf, int n, double ratio) {
  constexpr double ONE = 4294967296.0;
  const std::uint32_t loopStart = v.loopStart;
  const std::uint32_t loopEnd = v.loopEnd;
  const std::uint64_t end = std::uint64_t{v.region->end} << 32;
  const std::uint64_t wrapAt = (std::uint64_t{loopEnd} + 1) << 32;
  const std::uint64_t loopLength = (std::uint64_t{loopEnd - loopStart} + 1) << 32;
  const auto step = static_cast<std::uint64_t>(ratio * ONE);
  auto pos = static_cast<std::uint64_t>(v.samplePosition * ONE);
  int count = 0;
  // Below `plain` every frame reads two neighbouring points; only the frame
  // at the loop's end reads across the turn. The plain stretches run without
  // any test inside.
  const std::uint64_t plain = LOOPS ? std::min(end, std::uint64_t{loopEnd} << 32) : end;
  while (count < n && pos < end) {
    if (pos < plain) {
      int m = n - count;
      if (plain - pos <= step * static_cast<std::uint64_t>(m - 1))
        m = static_cast<int>((plain - pos - 1) / step) + 1;
      alignas(16) std::uint32_t index[VOICE_BLOCK];
      alignas(16) float fraction[VOICE_BLOCK];
      splitPositions(pos, step, index, fraction);
      for (int i = 0; i < m; ++i) {
        const float x0 = s[index[i]];
        buf[count + i] = x0 + (s[index[i] + 1] - x0) * fraction[i];
      }
      pos += step * static_cast<std::uint64_t>(m);
      count += m;
    } else {
      const auto at = static_cast<std::uint32_t>(pos >> 32);
      const float a = static_cast<float>(static_cast<std::uint32_t>(pos)) * (1.0f / 4294967296.0f);
      buf[count++] = s[at] + (s[loopStart] - s[at]) * a;
      pos += step;
    }
    if (LOOPS && pos >= wrapAt) pos -= loopLength;
  }
  v.samplePosition = static_cast<double>(pos) / ONE;
#if defined(__GNUC__) || defined(__clang__)
  // Ask for the points of this voice's next block now: a hundred voices read
  // a hundred places in the sample data, more than the hardware follows by
  // itself, and the other voices' blocks give the memory time to answer.
  const std::uint64_t from = pos >> 32;
  const std::uint64_t to = std::min<std::uint64_t>(
      from + static_cast<std::uint64_t>(ratio * VOICE_BLOCK) + 2, v.region->end);
  for (std::uint64_t i = from; i < to; i += 16) __builtin_prefetch(s + i);
#endif
  return count;
}

// The low-pass in direct form I: the same response as the transposed form,
// but only one multiply and one add lie on the sample-to-sample chain.
void lowPass(VoiceFilter& f, float* buf, int count) {
  double x1 = f.x1, x2 = f.x2, y1 = f.y1, y2 = f.y2;
  const double a0 = f.a0, b1 = f.b1, b2 = f.b2;
  for (int i = 0; i < count; ++i) {
    const double x = buf[i];
    const double y = (a0 * (x + 2.0 * x1 + x2) - b2 * y2) - b1 * y1;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    buf[i] = static_cast<float>(y);
  }
  f.x1 = x1;
  f.x2 = x2;
  f.y1 = y1;
  f.y2 = y2;
}

// Always a whole block (the resampler zero-fills past the region's end), so
// that the loop has a fixed length and compiles to vector code.
void mix(const SynthVoice& v, const float* __restrict buf, MixBus& __restrict bus, float gain,
         float gainStep) {
  const float gl = gain * v.panLeft, gr = gain * v.panRight;
  const float dl = gainStep * v.panLeft, dr = gainStep * v.panRight;
  for (int i = 0; i < VOICE_BLOCK; ++i) {
    const auto fi = static_cast<float>(i);
    bus.left[i] += buf[i] * (gl + dl * fi);
    bus.right[i] += buf[i] * (gr + dr * fi);
  }
}

}  // namespace

namespace {

// Far below the last bit of 16-bit output (3e-5).
constexpr double SILENCE = 1e-5;

// From the decay on the volume envelope never rises again, so a voice that
// has fallen below the silence line can stop now instead of rendering zeros
// until its release ends (a held note whose sustain level is 0 would
// otherwise occupy a voice for as long as the key is down).
bool inaudibleForGood(const SynthVoice& voice) {
  const VoiceEnvelope& env = voice.volumeEnvelope;
  if (env.segment < SEG_DECAY || env.segment > SEG_RELEASE) return false;
  const int lfo = voice.region->modLfoToVolume;
  const double headroom = lfo != 0 ? dbToGain(std::abs(lfo) * 0.1) : 1.0;
  return env.level * voice.noteGainLinear * headroom < SILENCE;
}

}  // namespace

void voiceBeginBlock(SynthVoice& voice, const float* samples, float* buf, int n,
                     VoiceBlock& block) {
  const BankRegion& r = *voice.region;
  if (r.modLfoToCutoff != 0 || r.modEnvToCutoff != 0) {
    const double cutoff = r.filterCutoff + voice.modLfo.level * r.modLfoToCutoff +
                          voice.modulationEnvelope.level * r.modEnvToCutoff;
    voice.filter.active = filterHeard(cutoff, r.filterQ);
    if (voice.filter.active) filterSetupCents(voice.filter, cutoff);
  }
  double ratio = voice.ratio;
  if (r.modLfoToPitch != 0 || r.vibLfoToPitch != 0 || r.modEnvToPitch != 0) {
    ratio = voiceRatio(voice, voice.pitchInput + voice.modLfo.level * r.modLfoToPitch +
                                  voice.vibLfo.level * r.vibLfoToPitch +
                                  voice.modulationEnvelope.level * r.modEnvToPitch);
  }
  const bool gainDynamic = r.modLfoToVolume != 0;
  auto noteGain = [&]() -> double {
    if (!gainDynamic) return voice.noteGainLinear;
    return dbToGain(voice.noteGain + voice.modLfo.level * r.modLfoToVolume * 0.1);
  };
  const double gainBefore = noteGain() * voice.volumeEnvelope.level;

  envelopeStep(voice.volumeEnvelope, n);
  // Modulators are only stepped while something listens to them.
  if (r.modEnvToPitch != 0 || r.modEnvToCutoff != 0) envelopeStep(voice.modulationEnvelope, n);
  if (voice.modLfo.delta != 0.0f &&
      (r.modLfoToPitch != 0 || r.modLfoToCutoff != 0 || r.modLfoToVolume != 0))
    lfoStep(voice.modLfo, n);
  if (voice.vibLfo.delta != 0.0f && r.vibLfoToPitch != 0) lfoStep(voice.vibLfo, n);

  const double gainAfter = noteGain() * voice.volumeEnvelope.level;
  block.gain = static_cast<float>(gainBefore);
  block.gainStep = static_cast<float>((gainAfter - gainBefore) / n);
  block.count = voice.loopStart < voice.loopEnd ? resample<true>(voice, samples, buf, n, ratio)
                                                : resample<false>(voice, samples, buf, n, ratio);
  std::fill(buf + block.count, buf + VOICE_BLOCK, 0.0f);
  block.filter = voice.filter.active;
  block.finished = voice.samplePosition >= r.end || voice.volumeEnvelope.segment == SEG_DONE ||
                   inaudibleForGood(voice);
}

void voiceFilterBlock(SynthVoice& voice, float* buf, int count) {
  lowPass(voice.filter, buf, count);
}

#if defined(__GNUC__) || defined(__clang__)
#define QUAVRIX_VECTOR_FILTER 1
// Two doubles that the compiler keeps in one SIMD register.
typedef double Double2 __attribute__((vector_size(16)));
#endif

void voiceFilterBlocks4(SynthVoice* const voices[4], float* const bufs[4], int count) {
#ifdef QUAVRIX_VECTOR_FILTER
  // Each output waits on the one before it, so one voice alone leaves the
  // CPU idle most of the time; four voices in two SIMD pairs fill the gaps.
  auto pair = [&](double VoiceFilter::*field, int k) {
    return Double2{voices[k]->filter.*field, voices[k + 1]->filter.*field};
  };
  Double2 x1a = pair(&VoiceFilter::x1, 0), x1b = pair(&VoiceFilter::x1, 2);
  Double2 x2a = pair(&VoiceFilter::x2, 0), x2b = pair(&VoiceFilter::x2, 2);
  Double2 y1a = pair(&VoiceFilter::y1, 0), y1b = pair(&VoiceFilter::y1, 2);
  Double2 y2a = pair(&VoiceFilter::y2, 0), y2b = pair(&VoiceFilter::y2, 2);
  const Double2 a0a = pair(&VoiceFilter::a0, 0), a0b = pair(&VoiceFilter::a0, 2);
  const Double2 b1a = pair(&VoiceFilter::b1, 0), b1b = pair(&VoiceFilter::b1, 2);
  const Double2 b2a = pair(&VoiceFilter::b2, 0), b2b = pair(&VoiceFilter::b2, 2);
  float* const p0 = bufs[0];
  float* const p1 = bufs[1];
  float* const p2 = bufs[2];
  float* const p3 = bufs[3];
  for (int i = 0; i < count; ++i) {
    const Double2 ina = {p0[i], p1[i]};
    const Double2 inb = {p2[i], p3[i]};
    const Double2 ya = (a0a * (ina + x1a + x1a + x2a) - b2a * y2a) - b1a * y1a;
    const Double2 yb = (a0b * (inb + x1b + x1b + x2b) - b2b * y2b) - b1b * y1b;
    x2a = x1a;
    x1a = ina;
    y2a = y1a;
    y1a = ya;
    x2b = x1b;
    x1b = inb;
    y2b = y1b;
    y1b = yb;
    p0[i] = static_cast<float>(ya[0]);
    p1[i] = static_cast<float>(ya[1]);
    p2[i] = static_cast<float>(yb[0]);
    p3[i] = static_cast<float>(yb[1]);
  }
  auto store = [&](double VoiceFilter::*field, const Double2& a, const Double2& b) {
    voices[0]->filter.*field = a[0];
    voices[1]->filter.*field = a[1];
    voices[2]->filter.*field = b[0];
    voices[3]->filter.*field = b[1];
  };
  store(&VoiceFilter::x1, x1a, x1b);
  store(&VoiceFilter::x2, x2a, x2b);
  store(&VoiceFilter::y1, y1a, y1b);
  store(&VoiceFilter::y2, y2a, y2b);
#else
  for (int k = 0; k < 4; ++k) lowPass(voices[k]->filter, bufs[k], count);
#endif
}

bool voiceEndBlock(SynthVoice& voice, const float* buf, MixBus& bus, const VoiceBlock& block) {
  mix(voice, buf, bus, block.gain, block.gainStep);
  if (!block.finished) return true;
  voice.playingPreset = -1;
  voice.region = nullptr;
  return false;
}

void mixBusAdd(const MixBus& bus, float* out, int frames) {
  for (int i = 0; i < frames; ++i) {
    out[2 * i] += bus.left[i];
    out[2 * i + 1] += bus.right[i];
  }
}

bool voiceRender(SynthVoice& voice, const float* samples, float* out, int frames) {
  float buf[VOICE_BLOCK];
  VoiceBlock block;
  for (int done = 0; done < frames; done += VOICE_BLOCK) {
    const int n = std::min(VOICE_BLOCK, frames - done);
    MixBus bus{};
    voiceBeginBlock(voice, samples, buf, n, block);
    if (block.filter) voiceFilterBlock(voice, buf, block.count);
    const bool playing = voiceEndBlock(voice, buf, bus, block);
    mixBusAdd(bus, out + 2 * done, n);
    if (!playing) return false;
  }
  return true;
}

}  // namespace quavrix
