#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// One playable sample zone of a preset with every value resolved at load time,
// so that a note-on only has to match key and velocity ranges.

#include <array>
#include <cstdint>

namespace quavrix {

// Entries of BankRegion::volumeEnvelope and modulationEnvelope.
enum EnvelopeParam : int {
  ENV_DELAY = 0,
  ENV_ATTACK = 1,
  ENV_HOLD = 2,
  ENV_DECAY = 3,
  ENV_SUSTAIN = 4,
  ENV_RELEASE = 5,
  ENV_KEY_TO_HOLD = 6,
  ENV_KEY_TO_DECAY = 7,
  ENV_PARAM_COUNT = 8,
};

enum LoopMode : std::int32_t {
  LOOP_NONE = 0,
  LOOP_CONTINUOUS = 1,
  LOOP_UNTIL_RELEASE = 2,
};

// Cutoffs above this many absolute cents leave the sound unfiltered.
inline constexpr std::int32_t FILTER_OPEN_CENTS = 13500;

struct BankRegion {
  std::int32_t loopMode = LOOP_NONE;
  std::uint32_t sampleRate = 0;
  std::uint8_t lowKey = 0, highKey = 127;
  std::uint8_t lowVelocity = 0, highVelocity = 127;
  std::uint32_t exclusiveGroup = 0;
  // Indices into the bank's sample array. end is exclusive; a voice loops
  // only when loopStart < loopEnd (loopEnd is the last looped point).
  std::uint32_t offset = 0;
  std::uint32_t end = 0;
  std::uint32_t loopStart = 0;
  std::uint32_t loopEnd = 0;
  std::int32_t transpose = 0;  // semitones
  std::int32_t tune = 0;       // cents
  std::int32_t rootKey = 60;
  std::int32_t keyTracking = 100;  // cents per key
  float attenuation = 0.0f;        // dB
  float pan = 0.0f;                // -0.5 .. 0.5
  // Times in seconds, except hold and decay while their key scaling is
  // non-zero (then timecents, scaled per key at note-on). Sustain is a gain
  // (volume) or a level 0..1 (modulation).
  std::array<float, ENV_PARAM_COUNT> volumeEnvelope{};
  std::array<float, ENV_PARAM_COUNT> modulationEnvelope{};
  std::int32_t filterQ = 0;                       // centibels
  std::int32_t filterCutoff = FILTER_OPEN_CENTS;  // absolute cents
  std::int32_t modEnvToPitch = 0;                 // cents at full envelope
  std::int32_t modEnvToCutoff = 0;                // cents at full envelope
  std::int32_t modLfoToCutoff = 0;                // cents
  std::int32_t modLfoToVolume = 0;                // centibels
  float modLfoDelay = 0.0f;                       // seconds
  std::int32_t modLfoFrequency = 0;               // absolute cents
  std::int32_t modLfoToPitch = 0;                 // cents
  float vibLfoDelay = 0.0f;                       // seconds
  std::int32_t vibLfoFrequency = 0;               // absolute cents
  std::int32_t vibLfoToPitch = 0;                 // cents
};

}  // namespace quavrix
