#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Per-channel controller state of the sampler. Every voice takes the settings
// of the active channel (0); channel 9 is kept for the percussion set.

#include <array>
#include <cstdint>

namespace quavrix {

inline constexpr int PITCH_WHEEL_CENTRE = 8192;
inline constexpr int PERCUSSION_CHANNEL = 9;
// The channel table never grows past this many channels, so that nothing is
// reallocated while voices read it.
inline constexpr int SYNTH_CHANNEL_CAPACITY = 16;

struct SynthChannel {
  std::uint16_t presetIndex = 0;
  std::uint16_t bank = 0;
  std::uint16_t pitchWheel = PITCH_WHEEL_CENTRE;
  std::uint16_t pan = 8192;
  std::uint16_t volume = 16383;
  std::uint16_t expression = 16383;
  std::uint16_t parameterNumber = 65535;
  std::uint16_t dataEntry = 0;
  float panOffset = 0.0f;
  float gain = 0.0f;        // dB
  float pitchRange = 2.0f;  // semitones
  float tuning = 0.0f;      // semitones

  // Pitch shift in semitones from the wheel, its range and the tuning.
  float pitchShift() const {
    if (pitchWheel == PITCH_WHEEL_CENTRE) return tuning;
    return pitchWheel / 16383.0f * pitchRange * 2.0f - pitchRange + tuning;
  }
};

struct SynthChannelTable {
  std::array<SynthChannel, SYNTH_CHANNEL_CAPACITY> channels{};
  int count = 0;          // channels created so far; 0 = no table
  int activeChannel = 0;  // never changed: every voice takes channel 0
};

}  // namespace quavrix
