#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The apply step: pushes the values of the settings record into the parts of
// the program that use them, the sampler and the player included. The dialogs
// change only SettingValues and leave ApplyFlags; nothing takes effect until
// applySettings or applyPending runs.

#include <cstdint>
#include <string>

namespace quavrix {

struct Engine;

// MIDI intervals above this many milliseconds count as 0.
inline constexpr int MAX_MIDI_INTERVAL = 12;
// Frames of lag per millisecond of MIDI timing, and the first timing that is
// not applied.
inline constexpr int LAG_FRAMES_PER_MS = 44;
inline constexpr int MIDI_TIMING_LIMIT = 100;

// Applies one group of settings: APPLY_ALL (0) or one of APPLY_SOUNDFONT (1),
// APPLY_PROGRAMS (2), APPLY_SOUND (4), APPLY_COLOURS (8). Other masks do
// nothing. Returns 0.
int applySettings(Engine& engine, int mask);

// Runs the apply pass over the flags the dialogs left, then clears them all.
// Returns whether any flag was set.
bool applyPending(Engine& engine);

// What applyPending applied, for the settings command's reopen loop.
struct PendingApplied {
  bool any = false;
  // A full reload, a new SoundFont or changed instruments: the dialog is shown
  // again so that its instrument lists follow.
  bool reopen = false;
};
PendingApplied applyPendingSettings(Engine& engine);

// Reads a settings file the caller names and applies it whole.
int useSettingsFile(Engine& engine, const std::string& path);
// The same for a file that must be used: one that is missing or cannot be
// read changes nothing and shows no message; -1 with the file and the reason
// in `failure` (when given). The file becomes the current settings path.
int useSettingsFileStrictly(Engine& engine, const std::string& path, std::string* failure);

// The player's note-timer delay in milliseconds for a MIDI interval (values
// outside 0..12 count as 0).
int noteTimerMilliseconds(int midiInterval);

// Chooses and (re)loads the SoundFont the settings name, stopping playback
// around the change and playing on afterwards. Returns 0 with a bank.
int selectSoundFont(Engine& engine);

}  // namespace quavrix
