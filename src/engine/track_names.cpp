// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/track_names.h"

#include "engine/engine.h"

namespace quavrix {

namespace {

// Preset names are padded in the bank; a name of blanks is no name.
std::string trimmed(const std::string& name) {
  const std::size_t end = name.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return std::string();
  const std::size_t begin = name.find_first_not_of(" \t\r\n");
  return name.substr(begin, end - begin + 1);
}

}  // namespace

std::array<std::string, 8> exportTrackNames(const Engine& engine) {
  std::array<std::string, 8> names;
  const SoundFontBank* bank = engine.sampler.bank.get();
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    // Programs count presets from 1 in the bank's sorted list.
    const int program = engine.settings.values.trackProgram[t];
    if (bank && program >= 1 && program <= bank->presetCount())
      names[t] = trimmed(bank->presets[program - 1].name);
    if (names[t].empty()) names[t] = "Track " + std::to_string(t);
  }
  return names;
}

}  // namespace quavrix
