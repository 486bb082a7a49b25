#include "playback/sampler_voice.h"

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

double dbToGain(double db) {
  return db <= -100.0 ? 0.0 : std::pow(10.0, db * 0.05);
}

// Source points per output frame for a pitch in cents. Computed in the log
// domain so that extreme root keys or tunings cannot overflow into inf/NaN.
double ratioFor(const SynthVoice& v, double cents) {
  const double octaves = (cents - v.region->rootKey * 100.0) / 1200.0;
  return v.pitchOutputFactor * std::exp2(std::clamp(octaves, -30.0, 16.0));
}

template <bool LOOPS, bool FILTER>
void mixFrames(SynthVoice& v, const float* s, float* out, int n, double ratio, float gain,
               float gainStep) {
  double pos = v.samplePosition;
  const double end = v.region->end;
  const std::uint32_t loopStart = v.loopStart;
  const std::uint32_t loopEnd = v.loopEnd;
  const double loopLength = static_cast<double>(loopEnd - loopStart) + 1.0;
  const double wrapAt = static_cast<double>(loopEnd) + 1.0;
  float gl = gain * v.panLeft, gr = gain * v.panRight;
  const float dl = gainStep * v.panLeft, dr = gainStep * v.panRight;
  VoiceFilter& f = v.filter;
  double z1 = f.z1, z2 = f.z2;
  for (int i = 0; i < n; ++i) {
    if (pos >= end) break;
    const auto at = static_cast<std::uint32_t>(pos);
    const float a = static_cast<float>(pos - at);
    const std::uint32_t next = (LOOPS && at >= loopEnd) ? loopStart : at + 1;
    float x = s[at] + (s[next] - s[at]) * a;
    if constexpr (FILTER) {
      const double o = x * f.a0 + z1;
      z1 = x * f.a1 + z2 - f.b1 * o;
      z2 = x * f.a0 - f.b2 * o;
      x = static_cast<float>(o);
    }
    out[2 * i] += x * gl;
    out[2 * i + 1] += x * gr;
    gl += dl;
    gr += dr;
    pos += ratio;
    if (LOOPS && pos >= wrapAt) pos -= loopLength;
  }
  v.samplePosition = pos;
  f.z1 = z1;
  f.z2 = z2;
}

}  // namespace

double centsToHz(double cents) {
  return 8.176 * std::exp2(cents / 1200.0);
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
}

void envelopeStep(VoiceEnvelope& env, int frames) {
  if (env.slope != 0.0f) {
    if (env.exponential)
      env.level = static_cast<float>(env.level * std::pow(static_cast<double>(env.slope), frames));
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

void filterSetup(VoiceFilter& filter, double normalisedFrequency) {
  const double f = std::clamp(normalisedFrequency, 1e-6, 0.49);
  const double k = std::tan(PI * f);
  const double k2 = k * k;
  const double norm = 1.0 / (1.0 + k * filter.qInv + k2);
  filter.a0 = k2 * norm;
  filter.a1 = 2.0 * filter.a0;
  filter.b1 = 2.0 * (k2 - 1.0) * norm;
  filter.b2 = (1.0 - k * filter.qInv + k2) * norm;
}

void voiceComputePitch(SynthVoice& voice, float pitchShift) {
  const BankRegion& r = *voice.region;
  const double note = voice.playingKey + r.transpose + r.tune / 100.0;
  const double adjusted = r.rootKey + (note - r.rootKey) * r.keyTracking / 100.0 + pitchShift;
  voice.pitchInput = adjusted * 100.0;
  voice.pitchOutputFactor = r.sampleRate / static_cast<double>(OUTPUT_RATE);
  voice.ratio = ratioFor(voice, voice.pitchInput);
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
  f.z1 = f.z2 = 0.0;
  f.active = region.filterCutoff <= FILTER_OPEN_CENTS;
  if (f.active) filterSetup(f, centsToHz(region.filterCutoff) / OUTPUT_RATE);

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
  return static_cast<float>(voice.volumeEnvelope.level * dbToGain(voice.noteGain));
}

bool voiceRender(SynthVoice& voice, const float* samples, float* out, int frames) {
  const BankRegion& r = *voice.region;
  const bool cutoffDynamic = r.modLfoToCutoff != 0 || r.modEnvToCutoff != 0;
  const bool pitchDynamic = r.modLfoToPitch != 0 || r.vibLfoToPitch != 0 || r.modEnvToPitch != 0;
  const bool gainDynamic = r.modLfoToVolume != 0;
  const bool stepModEnv = r.modEnvToPitch != 0 || r.modEnvToCutoff != 0;
  const bool stepModLfo = voice.modLfo.delta != 0.0f &&
                          (r.modLfoToPitch != 0 || r.modLfoToCutoff != 0 || r.modLfoToVolume != 0);
  const bool stepVib = voice.vibLfo.delta != 0.0f && r.vibLfoToPitch != 0;
  const double staticGain = dbToGain(voice.noteGain);
  auto blockDb = [&] {
    return dbToGain(voice.noteGain + voice.modLfo.level * r.modLfoToVolume * 0.1);
  };

  double ratio = voice.ratio;
  for (int done = 0; done < frames;) {
    const int n = std::min(VOICE_BLOCK, frames - done);
    if (cutoffDynamic) {
      const double cutoff = r.filterCutoff + voice.modLfo.level * r.modLfoToCutoff +
                            voice.modulationEnvelope.level * r.modEnvToCutoff;
      voice.filter.active = cutoff <= FILTER_OPEN_CENTS;
      if (voice.filter.active) filterSetup(voice.filter, centsToHz(cutoff) / OUTPUT_RATE);
    }
    if (pitchDynamic) {
      ratio = ratioFor(voice, voice.pitchInput + voice.modLfo.level * r.modLfoToPitch +
                                  voice.vibLfo.level * r.vibLfoToPitch +
                                  voice.modulationEnvelope.level * r.modEnvToPitch);
    }
    const double gainBefore = (gainDynamic ? blockDb() : staticGain) * voice.volumeEnvelope.level;

    envelopeStep(voice.volumeEnvelope, n);
    if (stepModEnv) envelopeStep(voice.modulationEnvelope, n);
    if (stepModLfo) lfoStep(voice.modLfo, n);
    if (stepVib) lfoStep(voice.vibLfo, n);

    const double gainAfter = (gainDynamic ? blockDb() : staticGain) * voice.volumeEnvelope.level;
    const auto g = static_cast<float>(gainBefore);
    const auto step = static_cast<float>((gainAfter - gainBefore) / n);
    float* o = out + 2 * done;
    const bool loops = voice.loopStart < voice.loopEnd;
    if (voice.filter.active) {
      if (loops)
        mixFrames<true, true>(voice, samples, o, n, ratio, g, step);
      else
        mixFrames<false, true>(voice, samples, o, n, ratio, g, step);
    } else {
      if (loops)
        mixFrames<true, false>(voice, samples, o, n, ratio, g, step);
      else
        mixFrames<false, false>(voice, samples, o, n, ratio, g, step);
    }
    done += n;

    if (voice.samplePosition >= r.end || voice.volumeEnvelope.segment == SEG_DONE) {
      voice.playingPreset = -1;
      voice.region = nullptr;
      return false;
    }
  }
  return true;
}

}  // namespace quavrix
