// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/sampler_voice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quavrix {

namespace {

constexpr double PI = 3.14159265358979323846;
// e^-9.226 is -80 dB: the exponential segments fall that far over their length.
constexpr double EXP_FALL = -9.226;
constexpr std::int32_t SUSTAIN_FOREVER = 2147483647;
constexpr std::int32_t DONE_LENGTH = 134217727;
constexpr double QUICK_RELEASE_SECONDS = 0.01;

// Whole samples at the output rate; absurd times from a damaged file are
// held to what an int32 can count.
std::int32_t samplesFor(double seconds) {
  const double s = seconds * OUTPUT_RATE;
  if (!(s > 0.0)) return 0;
  if (s >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(s);
}

// Hold or decay scaled by key: the parameter is still in timecents.
float keyScaled(float timecents, float perKey, int key) {
  const double exponent = (60 - key) * static_cast<double>(perKey) + timecents;
  if (exponent < -10000.0) return 0.0f;
  return static_cast<float>(std::exp2(std::min(exponent, 30000.0) / 1200.0));
}

}  // namespace

double dbToGain(double db) {
  // 10^(dB / 20), through exp, which costs less than pow.
  return db <= -100.0 ? 0.0 : std::exp(db * 0.11512925464970229);
}

double voiceRatio(const SynthVoice& v, double cents) {
  // In the log domain, so that extreme root keys or tunings cannot overflow
  // into inf or NaN.
  const double octaves = (cents - v.region->rootKey * 100.0) / 1200.0;
  // A damaged sample rate (up to 4.3 GHz) on top could still ask for more
  // points per frame than the renderer's 32.32 positions hold; a million
  // already passes any sample within one block.
  constexpr double MAX_RATIO = 1048576.0;
  return std::min(v.pitchOutputFactor * std::exp2(std::clamp(octaves, -30.0, 16.0)), MAX_RATIO);
}

double centsToHz(double cents) {
  return 8.176 * std::exp2(cents / 1200.0);
}

bool filterHeard(double cutoffCents, std::int32_t q) {
  // Fully open (13500 cents, just under 20 kHz) and without resonance the
  // filter leaves the sound as it is, as the SoundFont format defines it; it
  // is also the default of every zone, so skipping it saves most voices the
  // work.
  return cutoffCents < FILTER_OPEN_CENTS || (cutoffCents == FILTER_OPEN_CENTS && q > 0);
}

void envelopeSetup(VoiceEnvelope& env, const std::array<float, ENV_PARAM_COUNT>& params,
                   bool isVolume, int key, int velocity) {
  env.params = params;
  if (params[ENV_KEY_TO_HOLD] != 0.0f)
    env.params[ENV_HOLD] = keyScaled(params[ENV_HOLD], params[ENV_KEY_TO_HOLD], key);
  if (params[ENV_KEY_TO_DECAY] != 0.0f)
    env.params[ENV_DECAY] = keyScaled(params[ENV_DECAY], params[ENV_KEY_TO_DECAY], key);
  env.velocity = static_cast<std::int16_t>(velocity);
  env.isVolume = isVolume;
  env.segment = SEG_NONE;
  env.level = 0.0f;
  env.slope = 0.0f;
  env.exponential = false;
  envelopeNextSegment(env);
}

void envelopeNextSegment(VoiceEnvelope& env) {
  const auto& p = env.params;
  std::int32_t length = 0;
  switch (env.segment) {
    case SEG_NONE:
      env.segment = SEG_DELAY;
      length = samplesFor(p[ENV_DELAY]);
      env.level = 0.0f;
      env.slope = 0.0f;
      env.exponential = false;
      if (length > 0) break;
      [[fallthrough]];
    case SEG_DELAY: {
      env.segment = SEG_ATTACK;
      double attack = p[ENV_ATTACK];
      // Harder notes open the modulation envelope faster.
      if (!env.isVolume) attack = attack * (145 - env.velocity) / 144.0;
      length = samplesFor(attack);
      env.level = 0.0f;
      env.slope = length > 0 ? 1.0f / static_cast<float>(length) : 0.0f;
      env.exponential = false;
      if (length > 0) break;
      [[fallthrough]];
    }
    case SEG_ATTACK:
      env.segment = SEG_HOLD;
      length = samplesFor(p[ENV_HOLD]);
      env.level = 1.0f;
      env.slope = 0.0f;
      env.exponential = false;
      if (length > 0) break;
      [[fallthrough]];
    case SEG_HOLD:
      env.segment = SEG_DECAY;
      length = samplesFor(p[ENV_DECAY]);
      env.level = 1.0f;
      if (env.isVolume) {
        if (length > 0) {
          const double perSample = EXP_FALL / length;
          env.slope = static_cast<float>(std::exp(perSample));
          env.exponential = true;
          // Stop falling where the sustain level is reached.
          if (p[ENV_SUSTAIN] > 0.0f)
            length = samplesFor(std::log(p[ENV_SUSTAIN]) / perSample / OUTPUT_RATE);
        }
      } else {
        env.slope = length > 0 ? -1.0f / static_cast<float>(length) : 0.0f;
        env.exponential = false;
        length = samplesFor(p[ENV_DECAY] * (1.0 - p[ENV_SUSTAIN]));
      }
      if (length > 0) break;
      [[fallthrough]];
    case SEG_DECAY:
      env.segment = SEG_SUSTAIN;
      length = SUSTAIN_FOREVER;
      env.level = p[ENV_SUSTAIN];
      env.slope = 0.0f;
      env.exponential = false;
      break;
    case SEG_SUSTAIN:
      env.segment = SEG_RELEASE;
      length = samplesFor(p[ENV_RELEASE] <= 0.0f ? QUICK_RELEASE_SECONDS : p[ENV_RELEASE]);
      if (env.isVolume) {
        env.slope = length > 0 ? static_cast<float>(std::exp(EXP_FALL / length)) : 0.0f;
        env.exponential = true;
      } else {
        env.slope = length > 0 ? -env.level / static_cast<float>(length) : 0.0f;
        env.exponential = false;
      }
      if (length > 0) break;
      [[fallthrough]];
    default:
      env.segment = SEG_DONE;
      length = DONE_LENGTH;
      env.level = 0.0f;
      env.slope = 0.0f;
      env.exponential = false;
      break;
  }
  env.samplesLeft = length;
  env.logSlope =
      env.exponential && env.slope > 0.0f ? std::log(static_cast<double>(env.slope)) : 0.0;
  env.blockFactor =
      env.exponential ? static_cast<float>(std::exp(env.logSlope * VOICE_BLOCK)) : 1.0f;
}

void envelopeStep(VoiceEnvelope& env, int frames) {
  if (env.slope != 0.0f) {
    if (env.exponential)
      env.level = frames == VOICE_BLOCK
                      ? env.level * env.blockFactor
                      : static_cast<float>(env.level * std::exp(env.logSlope * frames));
    else
      env.level += env.slope * static_cast<float>(frames);
  }
  env.samplesLeft -= frames;
  if (env.samplesLeft <= 0) envelopeNextSegment(env);
}

void lfoSetup(VoiceLfo& lfo, float delaySeconds, std::int32_t frequencyCents) {
  lfo.samplesUntilStart = samplesFor(delaySeconds);
  lfo.delta = static_cast<float>(4.0 * centsToHz(std::min(frequencyCents, 20000)) / OUTPUT_RATE);
  lfo.level = 0.0f;
}

void lfoStep(VoiceLfo& lfo, int frames) {
  if (lfo.samplesUntilStart > frames) {
    lfo.samplesUntilStart -= frames;
    return;
  }
  lfo.level += lfo.delta * static_cast<float>(frames);
  if (lfo.level > 1.0f) {
    lfo.delta = -lfo.delta;
    lfo.level = 2.0f - lfo.level;
  }
  if (lfo.level < -1.0f) {
    lfo.delta = -lfo.delta;
    lfo.level = -2.0f - lfo.level;
  }
  // An LFO faster than the block rate would bounce outside the triangle.
  lfo.level = std::clamp(lfo.level, -1.0f, 1.0f);
}

namespace {

constexpr int CUTOFF_TABLE_STEP = 10;  // cents
constexpr int CUTOFF_TABLE_SIZE = FILTER_OPEN_CENTS / CUTOFF_TABLE_STEP + 1;

void filterSetupK(VoiceFilter& filter, double k) {
  const double k2 = k * k;
  const double norm = 1.0 / (1.0 + k * filter.qInv + k2);
  filter.a0 = k2 * norm;
  filter.a1 = 2.0 * filter.a0;
  filter.b1 = 2.0 * (k2 - 1.0) * norm;
  filter.b2 = (1.0 - k * filter.qInv + k2) * norm;
}

double prewarp(double normalisedFrequency) {
  return std::tan(PI * std::clamp(normalisedFrequency, 1e-6, 0.49));
}

}  // namespace

void filterSetup(VoiceFilter& filter, double normalisedFrequency) {
  filterSetupK(filter, prewarp(normalisedFrequency));
}

void filterSetupCents(VoiceFilter& filter, double cents) {
  // tan() of the prewarped cutoff every 10 cents; between entries it is
  // smooth enough that linear interpolation stays within a few parts per million.
  static const std::array<double, CUTOFF_TABLE_SIZE> table = [] {
    std::array<double, CUTOFF_TABLE_SIZE> t{};
    for (int i = 0; i < CUTOFF_TABLE_SIZE; ++i)
      t[i] = prewarp(centsToHz(i * CUTOFF_TABLE_STEP) / OUTPUT_RATE);
    return t;
  }();
  if (!(cents >= 0.0 && cents <= FILTER_OPEN_CENTS)) {
    filterSetup(filter, centsToHz(std::clamp(cents, -30000.0, 30000.0)) / OUTPUT_RATE);
    return;
  }
  const double at = cents / CUTOFF_TABLE_STEP;
  const int i = std::min(static_cast<int>(at), CUTOFF_TABLE_SIZE - 2);
  const double a = at - i;
  filterSetupK(filter, table[i] + (table[i + 1] - table[i]) * a);
}

void voiceComputePitch(SynthVoice& voice, float pitchShift) {
  const BankRegion& r = *voice.region;
  const double note = voice.playingKey + r.transpose + r.tune / 100.0;
  const double adjusted = r.rootKey + (note - r.rootKey) * r.keyTracking / 100.0 + pitchShift;
  voice.pitchInput = adjusted * 100.0;
  voice.pitchOutputFactor = r.sampleRate / static_cast<double>(OUTPUT_RATE);
  voice.ratio = voiceRatio(voice, voice.pitchInput);
}

void voiceStart(SynthVoice& voice, const BankRegion& region, int preset, int key, int midiVelocity,
                float velocity, std::uint32_t playIndex, float globalGain,
                const SynthChannel* channel) {
  voice.region = &region;
  voice.playingPreset = preset;
  voice.playingKey = key;
  voice.playingChannel = 0;
  voice.playIndex = playIndex;

  const double inverse = 1.0 / velocity;
  const double velocityDb = inverse <= 0.00001 ? -100.0 : 20.0 * std::log10(inverse);
  voice.noteGain = static_cast<float>(globalGain - region.attenuation - velocityDb);
  float shift = 0.0f;
  float pan = region.pan;
  if (channel) {
    voice.noteGain += channel->gain;
    shift = channel->pitchShift();
    pan += channel->panOffset;
  }
  voice.noteGainLinear = static_cast<float>(dbToGain(voice.noteGain));
  voiceComputePitch(voice, shift);
  if (pan <= -0.5f) {
    voice.panLeft = 1.0f;
    voice.panRight = 0.0f;
  } else if (pan >= 0.5f) {
    voice.panLeft = 0.0f;
    voice.panRight = 1.0f;
  } else {
    voice.panLeft = std::sqrt(0.5f - pan);
    voice.panRight = std::sqrt(0.5f + pan);
  }

  voice.samplePosition = region.offset;
  const bool loops = region.loopMode != LOOP_NONE && region.loopStart < region.loopEnd;
  voice.loopStart = loops ? region.loopStart : 0;
  voice.loopEnd = loops ? region.loopEnd : 0;

  envelopeSetup(voice.volumeEnvelope, region.volumeEnvelope, true, key, midiVelocity);
  envelopeSetup(voice.modulationEnvelope, region.modulationEnvelope, false, key, midiVelocity);

  VoiceFilter& f = voice.filter;
  f.qInv = 1.0 / std::pow(10.0, (region.filterQ / 10.0) / 20.0);
  f.x1 = f.x2 = f.y1 = f.y2 = 0.0;
  f.active = filterHeard(region.filterCutoff, region.filterQ);
  if (f.active) filterSetupCents(f, region.filterCutoff);

  lfoSetup(voice.modLfo, region.modLfoDelay, region.modLfoFrequency);
  lfoSetup(voice.vibLfo, region.vibLfoDelay, region.vibLfoFrequency);
}

void voiceRelease(SynthVoice& voice) {
  voice.volumeEnvelope.segment = SEG_SUSTAIN;
  envelopeNextSegment(voice.volumeEnvelope);
  voice.modulationEnvelope.segment = SEG_SUSTAIN;
  envelopeNextSegment(voice.modulationEnvelope);
  if (voice.region && voice.region->loopMode == LOOP_UNTIL_RELEASE) voice.loopEnd = voice.loopStart;
}

void voiceEndQuick(SynthVoice& voice) {
  voice.volumeEnvelope.params[ENV_RELEASE] = 0.0f;
  voice.modulationEnvelope.params[ENV_RELEASE] = 0.0f;
  voiceRelease(voice);
}

float voiceLoudness(const SynthVoice& voice) {
  return voice.volumeEnvelope.level * voice.noteGainLinear;
}

}  // namespace quavrix
