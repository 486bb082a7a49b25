#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing and (re)loading the SoundFont the settings name: old voices end
// quickly, the renderer is given time to leave the old bank, then it is freed
// and the new one installed. Stopping and restarting playback around it is
// the engine's part.

#include <chrono>
#include <string>

#include "base/prompter.h"
#include "persist/settings.h"
#include "synth/sampler.h"

namespace quavrix {

// Name of the bank that always comes from the program's data folder.
inline constexpr const char* DEFAULT_SOUNDFONT_NAME = "quavrix.sf2";
inline constexpr const char* SOUNDFONT_NOT_FOUND =
    "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.";
inline constexpr const char* CHOSEN_SOUNDFONT_MISSING = "FATAL ERROR\nCan not found soundfont";

// What the selection needs from the program around the sampler.
struct SoundFontHost {
  Settings* settings = nullptr;
  // The path of the bank now loaded (the project paths' SoundFont path).
  std::string* loadedPath = nullptr;
  // Folder of the program's shipped files, with its trailing separator.
  std::string dataFolder;
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  // How long the renderer is given to leave a bank.
  std::chrono::milliseconds settle{100};
};

// True when selectSoundFont would change nothing: the named bank is the one
// loaded, or no settings were read yet.
bool soundFontSettled(const Sampler& sampler, const SoundFontHost& host);

// Returns 0 when a bank is loaded afterwards (or the named one already was),
// -1 when there is none.
int selectSoundFont(Sampler& sampler, SoundFontHost& host);

}  // namespace quavrix
