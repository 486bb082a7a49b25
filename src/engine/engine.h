#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The one owner of all program state. Created once; every other part reaches
// its data through it.

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "analysis/recording.h"
#include "base/prompter.h"
#include "engine/project_paths.h"
#include "engine/suggestions.h"
#include "engine/view_layout.h"
#include "engine/view_state.h"
#include "persist/settings.h"
#include "playback/playback_state.h"
#include "score/cell_grid.h"
#include "score/note_edit.h"
#include "score/note_store.h"
#include "score/strobe_state.h"
#include "synth/sampler.h"

namespace quavrix {

// Key audition while the pointer explores the piano roll.
struct AuditionState {
  int soundingKey = -1;  // MIDI key now sounding, -1 = none
  int preset = -1;       // preset it sounds on
  int delayCount = 0;    // calls waited before switching keys
};

struct Engine {
  // Stops the playback threads before the sub-records they use go away.
  ~Engine();

  Recording recording;
  PlaybackState playback;
  Sampler sampler;
  NoteStore notes;
  CellGrid cellGrid;
  StrobeState strobe;
  // 1 until the first recording is open, and again while one is being opened.
  int busy = 1;
  ProjectPaths paths;
  // Set once a recent-files list could not be written, so that every later
  // Save does not say it again.
  bool recentListFailureShown = false;
  // Display sub-rows per pixel row of the envelope displays.
  std::uint8_t columnFactor = 8;
  Settings settings;
  ViewState viewState;
  ViewLayout layout;

  // How the engine talks to the person; never null after createEngine.
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  // Where the progress lines of opening a recording go; never null.
  std::ostream* console = nullptr;
  // Audio backend opened with the first recording ("portaudio", "null", "wav:PATH").
  std::string audioDevice;

  // How long a SoundFont change gives the renderer to leave the old bank.
  std::chrono::milliseconds soundFontSettle{100};
  AuditionState audition;
  // The note appended last, for deleting it again at once.
  LastNote lastNote;
  // The note model's suggestions for the open recording.
  SuggestionState suggestions;
  // What the window shows of the project: its title, and whether the menus
  // that need a project are enabled. The project commands keep them.

  std::string title = "QUAVRIX";
  bool menusEnabled = false;
};

struct EngineOptions {
  // Path of the running program; empty = ask the system. Its folder (or the
  // install's share/quavrix/) holds the shipped default_settings.xml.
  std::string programPath;
  // The person's folder for recent_files.txt and their start-up settings;
  // empty = the system's configuration folder for the program.
  std::string configFolder;
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  bool smallLayout = false;
  // Audio backend; empty = QUAVRIX_AUDIO or "portaudio".
  std::string audioDevice;
  // Progress lines; null = standard output.
  std::ostream* console = nullptr;
};

// Builds a ready engine: defaults, paths, settings, key tables.
std::unique_ptr<Engine> createEngine(const EngineOptions& options);

// Recomputes the key tables from the key setting.
void rebuildKeyTables(Engine& engine);

}  // namespace quavrix
