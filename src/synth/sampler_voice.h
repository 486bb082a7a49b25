#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// One sounding region: envelopes, LFOs, low-pass filter and the resampling
// loop that mixes it into an interleaved stereo block.

#include <array>
#include <cstdint>

#include "synth/bank_region.h"
#include "synth/synth_channel.h"

namespace quavrix {

inline constexpr float OUTPUT_RATE = 44100.0f;
// Envelopes, LFOs and filter coefficients move once per block of this many frames.
inline constexpr int VOICE_BLOCK = 64;

enum EnvelopeSegment : std::int16_t {
  SEG_NONE = 0,
  SEG_DELAY = 1,
  SEG_ATTACK = 2,
  SEG_HOLD = 3,
  SEG_DECAY = 4,
  SEG_SUSTAIN = 5,
  SEG_RELEASE = 6,
  SEG_DONE = 7,
};

struct VoiceEnvelope {
  float level = 0.0f;
  float slope = 0.0f;
  std::int32_t samplesLeft = 0;
  std::int16_t segment = SEG_NONE;
  std::int16_t velocity = 0;  // MIDI velocity 0..127
  std::array<float, ENV_PARAM_COUNT> params{};
  bool exponential = false;
  bool isVolume = false;
  // ln(slope) and slope ^ VOICE_BLOCK, for exponential segments.
  double logSlope = 0.0;
  float blockFactor = 1.0f;
};

// Triangle between -1 and 1.
struct VoiceLfo {
  std::int32_t samplesUntilStart = 0;
  float level = 0.0f;
  float delta = 0.0f;
};

struct VoiceFilter {
  double qInv = 1.0;
  double a0 = 0.0, a1 = 0.0, b1 = 0.0, b2 = 0.0;
  double x1 = 0.0, x2 = 0.0;  // last two inputs
  double y1 = 0.0, y2 = 0.0;  // last two outputs
  bool active = false;
};

struct SynthVoice {
  std::int32_t playingPreset = -1;  // -1 = free
  std::int32_t playingKey = 0;
  std::int32_t playingChannel = 0;
  const BankRegion* region = nullptr;
  double pitchInput = 0.0;         // cents
  double pitchOutputFactor = 0.0;  // region sample rate / output rate
  double ratio = 0.0;              // source points per output frame at pitchInput
  double samplePosition = 0.0;
  float noteGain = 0.0f;  // dB
  float noteGainLinear = 0.0f;
  float panLeft = 0.0f, panRight = 0.0f;
  std::uint32_t playIndex = 0;
  std::uint32_t loopStart = 0, loopEnd = 0;  // both 0 when the voice does not loop
  VoiceEnvelope volumeEnvelope, modulationEnvelope;
  VoiceFilter filter;
  VoiceLfo modLfo, vibLfo;

  bool isFree() const { return playingPreset < 0; }
  bool releasing() const { return volumeEnvelope.segment >= SEG_RELEASE; }
};

// Envelope segments (lengths in samples at the output rate).
void envelopeSetup(VoiceEnvelope& env, const std::array<float, ENV_PARAM_COUNT>& params,
                   bool isVolume, int key, int velocity);
void envelopeNextSegment(VoiceEnvelope& env);
void envelopeStep(VoiceEnvelope& env, int frames);

void lfoSetup(VoiceLfo& lfo, float delaySeconds, std::int32_t frequencyCents);
void lfoStep(VoiceLfo& lfo, int frames);

// Low-pass coefficients for a cutoff given as a fraction of the output rate.
void filterSetup(VoiceFilter& filter, double normalisedFrequency);
// The same for a cutoff in absolute cents, through a table (modulated cutoffs
// are set up every block).
void filterSetupCents(VoiceFilter& filter, double cents);
double centsToHz(double cents);
// Whether a low-pass at this cutoff (absolute cents) and resonance (cB) is heard.
bool filterHeard(double cutoffCents, std::int32_t q);

// Starts `voice` on `region`. `channel` may be null (no channel table yet).
void voiceStart(SynthVoice& voice, const BankRegion& region, int preset, int key, int midiVelocity,
                float velocity, std::uint32_t playIndex, float globalGain,
                const SynthChannel* channel);
// Recomputes pitch input and ratio with a shift in semitones.
void voiceComputePitch(SynthVoice& voice, float pitchShift);
// Both envelopes go to release; a loop-until-release sample plays out.
void voiceRelease(SynthVoice& voice);
// Release over 0.01 s.
void voiceEndQuick(SynthVoice& voice);
// Current output amplitude, for choosing a voice to take over.
float voiceLoudness(const SynthVoice& voice);
// Source points per output frame at a pitch of `cents`.
double voiceRatio(const SynthVoice& voice, double cents);
// 10^(dB / 20); 0 at -100 dB and below.
double dbToGain(double db);

}  // namespace quavrix
