// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine.h"

#include <iostream>

#include "base/paths.h"
#include "engine/key_tables.h"
#include "engine/settings_apply.h"
#include "persist/settings_file.h"
#include "platform/program_folders.h"
#include "platform/program_path.h"
#include "playback/playback.h"

namespace quavrix {

namespace {

// Answers every question with No (or Cancel) and drops every message; used
// when the caller gives no prompter, so that the engine never has to test for one.
class SilentPrompter final : public Prompter {
 public:
  Answer show(std::string_view, Icon, Buttons buttons) override {
    if (buttons == Buttons::YesNo) return Answer::No;
    return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::Ok;
  }
};

class NoFileChooser final : public FileChooser {
 public:
  std::optional<std::string> choose(const FileDialogRequest&) override { return std::nullopt; }
};

SilentPrompter silentPrompter;
NoFileChooser noFileChooser;

}  // namespace

Engine::~Engine() {
  shutdownPlayback(playback);
}

void rebuildKeyTables(Engine& engine) {
  rebuildKeyTables(engine.viewState, engine.settings.values.cKeyTo);
}

std::unique_ptr<Engine> createEngine(const EngineOptions& options) {
  auto engine = std::make_unique<Engine>();
  engine->prompter = options.prompter ? options.prompter : &silentPrompter;
  engine->files = options.files ? options.files : &noFileChooser;
  engine->viewState.smallLayout = options.smallLayout ? 1 : 0;
  engine->console = options.console ? options.console : &std::cout;
  engine->audioDevice =
      options.audioDevice.empty() ? defaultAudioDeviceName() : options.audioDevice;

  ProjectPaths& paths = engine->paths;
  paths.program = options.programPath.empty() ? programPath() : options.programPath;
  const PathParts parts = splitPath(paths.program);
  const ProgramFolders folders = locateProgramFolders(parts.folder);
  paths.programFolder = folders.program;
  paths.dataFolder = folders.data;
  paths.configFolder = options.configFolder.empty() ? folders.config : options.configFolder;
  paths.defaultSettings = paths.dataFolder + "default_settings.xml";
  // Without a home the program writes beside itself, as a build tree always did.
  const std::string& writable =
      paths.configFolder.empty() ? paths.programFolder : paths.configFolder;
  paths.recentList = writable + "recent_files.txt";
  paths.userDefaults = writable + "default_settings.xml";

  // Without a readable default file the built-in values stay and `loaded`
  // stays 0, so no SoundFont is opened until settings are read.
  engine->settings.currentPath.clear();
  engine->settings.defaultPath = paths.defaultSettings;
  engine->settings.userDefaultPath = paths.userDefaults;
  loadSettings(engine->settings, std::string(), *engine->prompter);
  engine->viewState.values = &engine->settings.values;

  engine->sampler.settings = &engine->settings.values;

  rebuildKeyTables(*engine);
  engine->playback.noteTimerMs.store(noteTimerMilliseconds(engine->settings.values.midiInterval));
  return engine;
}

}  // namespace quavrix
