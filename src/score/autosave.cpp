#include "score/autosave.h"

#include "base/paths.h"
#include "base/prompter.h"
#include "score/score_file.h"

namespace quavrix {

std::string autosavePath(const std::string& recordingPath, int rotation) {
  static constexpr const char* SUFFIXES[] = {"-autosave_A.dat", "-autosave_B.dat",
                                             "-autosave_C.dat"};
  return companionPath(recordingPath, SUFFIXES[rotation % 3]);
}

int autosaveProject(NoteStore& notes, const std::string& recordingPath) {
  if (!notes.autosaveDirty) return -1;
  const std::string path = autosavePath(recordingPath, notes.autosaveRotation);
  // Advanced before writing: a file that cannot be written is skipped for good.
  notes.autosaveRotation = static_cast<std::uint8_t>((notes.autosaveRotation + 1) % 3);
  if (!notes.ready() || recordingPath.empty()) return -1;
  if (!writeScoreFile(notes, path)) return -1;
  notes.autosaveDirty = 0;
  return 0;
}

int confirmDiscard(NoteStore& notes, const std::string& recordingPath, Prompter& prompter,
                   const std::function<void()>& autosaveSettings) {
  if (!notes.gridHistory.modified && !notes.noteHistory.modified) return 1;
  if (autosaveSettings) autosaveSettings();
  autosaveProject(notes, recordingPath);
  return prompter.ask("CLOSE\nWITHOUT SAVING ?", Icon::Information) ? 1 : 0;
}

}  // namespace quavrix
