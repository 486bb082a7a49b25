#include "engine/track_names.h"

#include "engine/engine.h"

namespace quavrix {

std::array<std::string, 8> exportTrackNames(const Engine& engine) {
  std::array<std::string, 8> names{};
  const SoundFontBank* bank = engine.sampler.bank.get();
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    // Programs count presets from 1 in the bank's sorted list.
    const int program = engine.settings.values.trackProgram[t];
    if (bank && program >= 1 && program <= bank->presetCount() &&
        !bank->presets[static_cast<std::size_t>(program - 1)].name.empty()) {
      names[t] = bank->presets[static_cast<std::size_t>(program - 1)].name;
    } else {
      names[t] = "Track " + std::to_string(t);
    }
  }
  return names;
}

}  // namespace quavrix
