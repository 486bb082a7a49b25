#pragma once
// The apply step: pushes the values of the settings record into the parts of
// the program that use them. The dialogs change only SettingValues and leave
// ApplyFlags; nothing takes effect until applySettings or applyPending runs.
//
// The view and the beat editor are served here directly. The sampler and the
// playback thread are served through Settings::soundTarget (see
// SettingsSoundTarget in persist/settings.h), which the playback side installs.

#include <cstdint>

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

// The note timer's due time for a MIDI interval, in 100-ns units.
std::int64_t noteTimerDueTime(int midiInterval);

// Every autosave point writes the settings autosave beside the current
// recording first, then the notes autosave. Returns the notes autosave's result.
int autosaveSettingsAndNotes(Engine& engine);

// The close check of the current project (confirmDiscard) with the settings
// autosave wired in: 1 when the project may be dropped, 0 when the user keeps it.
int confirmDiscardProject(Engine& engine);

}  // namespace quavrix
