#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Project commands besides opening: load, new, save, save as, the MIDI export,
// the autosave points and the close check. Every message is shown through the
// engine's prompter; the window adds only what is about windows (the title
// and menus it reads back from the engine).

#include <string>

namespace quavrix {

struct Engine;

// Texts of the project commands that callers and tests refer to.
inline constexpr const char* SAVE_QUESTION = " SAVE  .dat  \n\n     Are you shure? ";
inline constexpr const char* SAVE_DONE =
    " SAVING to .DAT and Settings(*.XML)\n\n       OK COMPLETED. ";
inline constexpr const char* SAVE_AS_DONE =
    " SAVING to .DAT and Settings(*.XML)\n\n       OK completed ";
inline constexpr const char* SAVE_AS_NAME_REFUSED =
    "FILE SAVE\nThe .dat file name does not include the name of .wav file ";
inline constexpr const char* CLOSE_QUESTION = "CLOSE\nWITHOUT SAVING ?";
inline constexpr const char* NEW_DATA_TITLE = " *** NEW DATA *** ";

// Whether the open project has edits that were not saved.
bool hasUnsavedChanges(const Engine& engine);

// The close check (quit, and before the open project is replaced): 1 when it
// may go. With unsaved edits both autosaves are written first (a failed
// write is reported), then the person is asked.
int closeCheck(Engine& engine);

// Writes the settings autosave and, when the notes changed since the last
// one, the next notes autosave. Returns the notes autosave's result.
int autosaveSettingsAndNotes(Engine& engine);

// "L O A D": the close check, a file dialog, then loadProjectFile.
void loadProjectData(Engine& engine);
// Reads a .dat of the open recording, then its settings file (`settingsPath`,
// or the .dat's own .xml when empty). The paths and settings change only when
// the .dat was read. Returns 0, or -1 after a message naming the file and why.
//
// The .dat's own settings file may be missing (the defaults are used, with a
// warning). A settings file the caller names is wanted: one that cannot be
// read stops the load before anything changes, with no message; -1 then.
// `failure`, when given, receives which file failed and why.
int loadProjectFile(Engine& engine, const std::string& dat, const std::string& settingsPath,
                    std::string* failure = nullptr);

// "N E W": the close check, then a grid seeded afresh and no notes.
void newProjectData(Engine& engine);

// "S A V E": asks, writes the settings, commits and writes the notes and the
// recent-files list. Returns 0 when everything was written.
int saveProjectData(Engine& engine);
// "S A V E   AS": a save dialog; the name must contain the recording's.
// Returns 0 when written, -1 when cancelled or refused or a write failed.
int saveProjectDataAs(Engine& engine);

// "SAVE to MIDI FILE": the notes between the markers to the .mid beside the
// project's .dat, with the tempo of the settings. Returns a MidiExportResult; after a failed write
// `failure`, when given, holds the system's reason.
int saveMidi(Engine& engine, std::string* failure = nullptr);
// The same export to a file of the caller's choosing, with the single
// tempo whatever the settings say; after a failed write
// `failure`, when given, holds the system's reason.
int exportMidiTo(Engine& engine, const std::string& path, std::string* failure = nullptr);

}  // namespace quavrix
