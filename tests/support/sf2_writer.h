#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Builds small SoundFont 2 files in memory for the tests: presets, instruments
// and samples described as plain structs, written with the record layouts of
// the format. Chunks can be left out to make broken files.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quavrix::test {

struct Sf2Gen {
  std::uint16_t oper = 0;
  std::uint16_t amount = 0;
};

// A generator with a signed amount.
Sf2Gen gen(int oper, int value);
// A key or velocity range generator.
Sf2Gen range(int oper, int low, int high);

inline constexpr int SF_KEY_RANGE = 43;
inline constexpr int SF_VEL_RANGE = 44;
inline constexpr int SF_SAMPLE_MODES = 54;
inline constexpr int SF_EXCLUSIVE_CLASS = 57;
inline constexpr int SF_ROOT_KEY = 58;
inline constexpr int SF_RELEASE_VOL_ENV = 38;
inline constexpr int SF_ATTACK_VOL_ENV = 34;
inline constexpr int SF_FILTER_FC = 8;
inline constexpr int SF_FILTER_Q = 9;
inline constexpr int SF_ATTENUATION = 48;
inline constexpr int SF_PAN = 17;

struct Sf2Zone {
  std::vector<Sf2Gen> gens;
  // Instrument index (preset zones) or sample index (instrument zones),
  // written as the zone's last generator; -1 makes a global zone.
  int link = -1;
};

struct Sf2Instrument {
  std::string name;
  std::vector<Sf2Zone> zones;
};

struct Sf2Preset {
  std::string name;
  int program = 0;
  int bank = 0;
  std::vector<Sf2Zone> zones;
};

struct Sf2Sample {
  std::string name;
  std::vector<std::int16_t> points;
  std::uint32_t rate = 44100;
  std::uint8_t rootKey = 60;
  std::int8_t correction = 0;
  // Loop points relative to the first point of the sample.
  std::uint32_t loopStart = 0;
  std::uint32_t loopEnd = 0;
  // Raw header values written instead of the computed ones.
  std::optional<std::uint32_t> headerEnd;
};

struct Sf2Description {
  std::vector<Sf2Preset> presets;
  std::vector<Sf2Instrument> instruments;
  std::vector<Sf2Sample> samples;
  // Four-character ids of pdta/sdta chunks to leave out, e.g. "imod".
  std::vector<std::string> omit;
};

std::vector<std::uint8_t> buildSf2(const Sf2Description& description);
bool writeSf2File(const std::string& path, const Sf2Description& description);

// A sine of `frequency` Hz at `rate`, `count` points, peak `amplitude` of full scale.
std::vector<std::int16_t> sinePoints(double frequency, double rate, std::size_t count,
                                     double amplitude = 0.5);

// One preset (bank 0, program 0) with one instrument zone over one sample,
// extended by the given generators; the usual starting point of a test.
Sf2Description singleSampleFont(const Sf2Sample& sample,
                                const std::vector<Sf2Gen>& instrumentGens = {},
                                const std::vector<Sf2Gen>& presetGens = {});

}  // namespace quavrix::test
