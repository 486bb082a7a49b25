#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// An engine on the silent audio device with a short recording of clicks
// beside it, a scripted person at the screen and a temporary folder for the
// project's files.

#include <memory>
#include <sstream>
#include <string>

#include "engine/engine.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix::test {

// Writes `seconds` of stereo clicks, one every half second, to `path`.
bool writeClickRecording(const std::string& path, double seconds = 4.0);

struct ProjectFixture {
  explicit ProjectFixture(const std::string& name = "song.wav");

  // Opens the fixture's recording; true on success.
  bool open();
  // Appends a note of track 1 on the first two beats, as a click in the roll
  // would, in this fixture's engine or another one.
  bool addNote(Engine* other = nullptr);

  TempDir dir;
  std::string wav;
  ScriptedPrompter prompter;
  ScriptedFileChooser files;
  std::ostringstream console;
  std::unique_ptr<Engine> engine;
};

}  // namespace quavrix::test
