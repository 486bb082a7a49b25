#pragma once
// The one owner of all program state. Created once; every other part reaches
// its data through it.

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/recording.h"
#include "base/prompter.h"
#include "engine/project_paths.h"
#include "engine/view_state.h"
#include "persist/settings.h"
#include "playback/playback_state.h"
#include "playback/sampler.h"
#include "score/cell_grid.h"
#include "score/note_store.h"
#include "score/strobe_state.h"

namespace quavrix {

struct Engine {
  Recording recording;
  PlaybackState playback;
  Sampler sampler;
  NoteStore notes;
  void* view = nullptr;  // the view that draws this engine; not owned
  CellGrid cellGrid;
  StrobeState strobe;
  // 1 until the first recording is open, and again while one is being opened.
  int busy = 1;
  ProjectPaths paths;
  // Display sub-rows per pixel row of the envelope displays.
  std::uint8_t columnFactor = 8;
  Settings settings;
  ViewState viewState;

  // How the engine talks to the person; never null after createEngine.
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
};

struct EngineOptions {
  // Path of the running program; empty = ask the system. Its folder holds
  // default_settings.xml and recent_files.txt.
  std::string programPath;
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  void* view = nullptr;
  bool smallLayout = false;
};

// Builds a ready engine: defaults, paths, settings, key tables.
std::unique_ptr<Engine> createEngine(const EngineOptions& options);

// Recomputes the key tables from the key setting.
void rebuildKeyTables(Engine& engine);

}  // namespace quavrix
