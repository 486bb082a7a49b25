#pragma once
// Choosing and (re)loading the SoundFont the settings name, while playback
// may be running: old voices end quickly, the renderer is given time to leave
// the old bank, then it is freed and the new one installed.

#include <chrono>
#include <functional>
#include <string>

#include "base/prompter.h"
#include "persist/settings.h"
#include "playback/sampler.h"

namespace quavrix {

// Name of the bank that always comes from the program folder.
inline constexpr const char* DEFAULT_SOUNDFONT_NAME = "quavrix.sf2";
inline constexpr const char* SOUNDFONT_NOT_FOUND =
    "SoundFont\nFATAL ERROR\n SOUNDFONT is not found. \n see your setting.xml file.";
inline constexpr const char* CHOSEN_SOUNDFONT_MISSING = "FATAL ERROR\nCan not found soundfont";

// What the selection needs from the program around the sampler.
struct SoundFontHost {
  Settings* settings = nullptr;
  // The path of the bank now loaded (the project paths' SoundFont path).
  std::string* loadedPath = nullptr;
  // Folder of the program, with its trailing separator.
  std::string programFolder;
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  // Playback control, when there is a player: stop returns whether it was
  // playing; resetPass makes the next play start at the start of the range.
  std::function<bool()> stopPlayback;
  std::function<void()> restartPlayback;
  std::function<void()> resetPass;
  // How long the renderer is given to leave a bank (and playback to stop).
  std::chrono::milliseconds settle{100};
};

// Returns 0 when a bank is loaded afterwards (or the named one already was),
// -1 when there is none.
int selectSoundFont(Sampler& sampler, SoundFontHost& host);

}  // namespace quavrix
