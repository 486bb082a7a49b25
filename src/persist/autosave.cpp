// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/autosave.h"

#include <new>

#include "base/atomic_file.h"
#include "base/paths.h"
#include "persist/dat_codec.h"
#include "persist/settings_file.h"

namespace quavrix {

std::string autosavePath(const std::string& recordingPath, int rotation) {
  static constexpr const char* SUFFIXES[] = {"-autosave_A.dat", "-autosave_B.dat",
                                             "-autosave_C.dat"};
  return companionPath(recordingPath, SUFFIXES[rotation % 3]);
}

int autosaveProject(NoteStore& notes, const std::string& recordingPath, bool* failed) {
  if (failed) *failed = false;
  if (!notes.autosaveDirty) return -1;
  const std::string path = autosavePath(recordingPath, notes.autosaveRotation);
  // Advanced before writing: a file that cannot be written is skipped for good.
  notes.autosaveRotation = static_cast<std::uint8_t>((notes.autosaveRotation + 1) % 3);
  if (!notes.ready() || recordingPath.empty()) return -1;
  if (!writeScoreFile(notes, path)) {
    if (failed) *failed = true;
    return -1;
  }
  notes.autosaveDirty = 0;
  return 0;
}

std::string settingsAutosavePath(std::string_view wavPath) {
  return companionPath(wavPath, SETTINGS_AUTOSAVE_SUFFIX);
}

int autosaveSettings(const Settings& settings, std::string_view wavPath) {
  // Without a recording the name would be a bare "-autosave.xml" in whatever
  // folder the program happens to run in.
  if (wavPath.empty()) return -1;
  try {
    const std::string text = settingsDocumentText(settings);
    return writeFileAtomically(settingsAutosavePath(wavPath), text.data(), text.size()) ? 0 : -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace quavrix
