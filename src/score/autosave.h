#pragma once
// The notes autosave: the score written in the project file layout to one of
// three files beside the recording, in turn, and the close check that uses it.

#include <functional>
#include <string>

#include "score/note_store.h"

namespace quavrix {

class Prompter;

// Autosave file name for a rotation value 0, 1, 2: the recording's drive,
// folder and base name + "-autosave_A.dat", "_B" or "_C".
std::string autosavePath(const std::string& recordingPath, int rotation);

// Writes the score when it changed since the last autosave. Returns 0 after
// writing, -1 when nothing was written (the rotation advances either way).
int autosaveProject(NoteStore& notes, const std::string& recordingPath);

// Asks whether the current project may be dropped. Unchanged since the last
// save: 1 without asking. Otherwise writes the settings autosave (through
// `autosaveSettings`, which may be empty) and the notes autosave, then asks
// "CLOSE\nWITHOUT SAVING ?": 1 on Yes, 0 on No.
int confirmDiscard(NoteStore& notes, const std::string& recordingPath, Prompter& prompter,
                   const std::function<void()>& autosaveSettings);

}  // namespace quavrix
