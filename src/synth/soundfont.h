#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A SoundFont 2 bank in memory: presets sorted by bank and program, every zone
// resolved into a flat BankRegion, every sample point converted to float, and
// the voice pool the sampler plays it with.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "synth/bank_region.h"
#include "synth/sampler_voice.h"
#include "synth/synth_channel.h"
#include "synth/voice_render.h"

namespace quavrix {

struct Sf2Contents;

// Voices that may sound at once. The pool is allocated with the bank and never
// reallocated, so the renderer can always walk it.
inline constexpr int VOICE_CAPACITY = 256;
// Presets the settings dialog offers at most.
inline constexpr int DIALOG_PRESET_LIMIT = 510;
inline constexpr float DEFAULT_GLOBAL_GAIN = 15.0f;  // dB

enum OutputMode : std::int32_t {
  OUTPUT_STEREO_INTERLEAVED = 0,
  OUTPUT_STEREO_BLOCKS = 1,
  OUTPUT_MONO = 2,
};

struct BankPreset {
  std::string name;  // at most 19 characters
  std::uint16_t program = 0;
  std::uint16_t bank = 0;
  std::vector<BankRegion> regions;
};

struct SoundFontBank {
  std::vector<BankPreset> presets;
  // All sample points, each 16-bit value / 32767, followed by a few zeros so
  // that interpolation at the last point never reads past the array.
  std::vector<float> samples;
  std::size_t sampleCount = 0;
  std::vector<SynthVoice> voices;           // VOICE_CAPACITY entries
  std::vector<std::uint16_t> activeVoices;  // indices of voices in use; capacity reserved
  // The renderer's working space for one block of every voice, allocated
  // here so that rendering never allocates.
  std::vector<float> blockScratch;     // VOICE_CAPACITY x VOICE_BLOCK
  std::vector<VoiceBlock> blockPlans;  // VOICE_CAPACITY
  MixBus mixBus;
  SynthChannelTable channels;
  std::uint32_t voicePlayCounter = 0;
  std::int32_t outputMode = OUTPUT_STEREO_INTERLEAVED;
  float outputRate = OUTPUT_RATE;
  float globalGain = DEFAULT_GLOBAL_GAIN;

  int presetCount() const { return static_cast<int>(presets.size()); }
  int voiceCount() const { return static_cast<int>(voices.size()); }
};

// Loads a bank from a file; null when the file is missing or unreadable, not
// a SoundFont, incomplete, or memory runs out, with the reason in `reason`
// when given (the system's for a file that cannot be read).
std::unique_ptr<SoundFontBank> loadSoundFontFile(const std::string& path,
                                                 std::string* reason = nullptr);
// The same from a file image in memory.
std::unique_ptr<SoundFontBank> loadSoundFontMemory(const std::uint8_t* data, std::size_t size);
// Resolves the parsed records into presets and regions.
std::unique_ptr<SoundFontBank> buildSoundFontBank(Sf2Contents& contents);

// Names of the presets the settings dialog offers, in program order: the
// first DIALOG_PRESET_LIMIT.
std::vector<std::string> dialogPresetNames(const SoundFontBank& bank);

// Index of the first preset with this bank and program, or -1.
int findPreset(const SoundFontBank& bank, int bankNumber, int program);
std::size_t regionCount(const SoundFontBank& bank);

}  // namespace quavrix
