#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The two autosaves beside the recording: the notes, in the project file
// layout, to one of three files in turn, and the settings to one XML file.
// Both are silent; the engine decides when they run.

#include <string>
#include <string_view>

#include "persist/settings.h"
#include "score/note_store.h"

namespace quavrix {

inline constexpr const char* SETTINGS_AUTOSAVE_SUFFIX = "-autosave.xml";

// Autosave file name for a rotation value 0, 1, 2: the recording's drive,
// folder and base name + "-autosave_A.dat", "_B" or "_C".
std::string autosavePath(const std::string& recordingPath, int rotation);

// Writes the score when it changed since the last autosave. Returns 0 after
// writing, -1 when nothing was written (the rotation advances either way).
// `failed`, when given, is set when a write was attempted and did not succeed.
int autosaveProject(NoteStore& notes, const std::string& recordingPath, bool* failed = nullptr);

// drive + folder + base name of the recording + "-autosave.xml".
std::string settingsAutosavePath(std::string_view wavPath);

// Writes the settings to the autosave beside the recording. Nothing is
// written without a recording path. Returns 0 when a file was written.
int autosaveSettings(const Settings& settings, std::string_view wavPath);

}  // namespace quavrix
