// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/project.h"

#include <ostream>

#include "base/paths.h"
#include "engine/engine.h"
#include "engine/find_beats.h"
#include "engine/midi_commands.h"
#include "engine/settings_apply.h"
#include "engine/track_names.h"
#include "engine/transport.h"
#include "persist/autosave.h"
#include "persist/midi_export.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "platform/program_folders.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/edit_history.h"
#include "score/note_edit.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr const char* LOAD_PLAYING = " Please STOP playing.";

void clearHistories(Engine& engine) {
  clearGridHistory(engine.notes);
  clearNoteHistory(engine.notes);
  engine.notes.gridHistory.modified = 0;
  engine.notes.noteHistory.modified = 0;
  engine.viewState.sectionsModified = 0;
}

void clearModified(Engine& engine) {
  engine.notes.gridHistory.modified = 0;
  engine.notes.noteHistory.modified = 0;
  engine.viewState.sectionsModified = 0;
}

void setTitle(Engine& engine, const std::string& title) {
  engine.title = title;
}

FileDialogRequest datDialog(const Engine& engine, bool save) {
  FileDialogRequest request;
  request.save = save;
  request.defaultExtension = "dat";
  // The recording's own name in its folder: a wildcard would leave the name
  // box empty, and the dialog would start wherever the toolkit last was.
  const PathParts wav = splitPath(engine.paths.wav);
  request.initialName = wav.base + ".dat";
  request.folder = wav.drive + wav.folder;
  request.filterLabel = "quavrix data (*.dat)";
  request.filterPattern = "*.dat";
  return request;
}

int writeProjectSettings(Engine& engine) {
  if (saveSettings(engine.settings, engine.paths.projectSettings) == 0) return 0;
  engine.prompter->error("SAVE Dat\n ERROR : settings .xml fopen\n\n " +
                         engine.paths.projectSettings);
  return -1;
}

// The .dat and then the recent-files list. Only the .dat decides whether the
// project is saved: a list that cannot be written (a folder the person may
// not write, no home) costs "OPEN RECENT", not the work, so it is reported
// the first time only and the save stands.
int writeProjectAndRecentList(Engine& engine) {
  if (writeProject(engine.notes, engine.paths.dat, *engine.prompter) != 0) return -1;
  const std::string& list = engine.paths.recentList;
  const bool written = makeFolder(splitPath(list).folder) &&
                       writeRecentListFile(list, engine.paths.wav, engine.paths.dat);
  if (!written && !engine.recentListFailureShown) {
    engine.recentListFailureShown = true;
    engine.prompter->error(std::string(RECENT_LIST_NOT_WRITTEN) + "\n\n " + list);
  }
  return 0;
}

// The commit step of Save: the notes are compacted with playback stopped
// around it, so that the playback thread never reads a slot being moved.
void commitForSave(Engine& engine) {
  {
    Lock lock(engine.playback.playbackLock);
    samplerAllNotesOff(engine.sampler);
  }
  const bool wasPlaying = isPlaying(engine.playback);
  if (wasPlaying) stopPlaying(engine);
  commitNotes(engine.notes, true, engine.console);
  if (wasPlaying) togglePlay(engine);
}

}  // namespace

bool hasUnsavedChanges(const Engine& engine) {
  // The section records live in the settings, but a person records them like
  // notes: losing them unasked is losing work.
  return engine.notes.gridHistory.modified || engine.notes.noteHistory.modified ||
         engine.viewState.sectionsModified;
}

int autosaveSettingsAndNotes(Engine& engine) {
  autosaveSettings(engine.settings, engine.paths.wav);
  return autosaveProject(engine.notes, engine.paths.wav);
}

int closeCheck(Engine& engine) {
  if (!hasUnsavedChanges(engine)) return 1;
  Prompter& prompter = *engine.prompter;
  const std::string& wav = engine.paths.wav;
  if (!wav.empty() && autosaveSettings(engine.settings, wav) != 0) {
    prompter.error("AUTOSAVE\n Can not write the settings autosave\n\n " +
                   settingsAutosavePath(wav));
  }
  const std::string notesPath = autosavePath(wav, engine.notes.autosaveRotation);
  bool failed = false;
  autosaveProject(engine.notes, wav, &failed);
  if (failed) prompter.error("AUTOSAVE\n Can not write the notes autosave\n\n " + notesPath);
  return prompter.ask(CLOSE_QUESTION, Icon::Information) ? 1 : 0;
}

void loadProjectData(Engine& engine) {
  if (isPlaying(engine.playback)) {
    engine.prompter->error(LOAD_PLAYING);
    return;
  }
  if (!closeCheck(engine)) return;
  const auto chosen = engine.files->choose(datDialog(engine, false));
  if (!chosen) return;
  loadProjectFile(engine, *chosen, std::string());
}

int loadProjectFile(Engine& engine, const std::string& dat, const std::string& settingsPath,
                    std::string* failure) {
  NoteStore& notes = engine.notes;
  std::string reason;
  // A named settings file is read first, into a copy, so that a refusal
  // leaves the project as it was.
  Settings named;
  if (!settingsPath.empty()) {
    named = engine.settings;
    if (readSettingsFile(named, settingsPath, reason) != 0) {
      if (failure) *failure = "cannot read settings file " + settingsPath + ": " + reason;
      return -1;
    }
  }
  if (readProject(notes, dat, &reason) != 0) {
    engine.prompter->error("FILE OPEN\n Can not read .dat file\n\n " + dat + "\n (" + reason + ")");
    if (failure) *failure = "cannot read " + dat + ": " + reason;
    return -1;
  }
  engine.paths.dat = dat;
  engine.paths.projectSettings = settingsPath.empty() ? datToXml(dat) : settingsPath;
  buildNoteOffs(notes);
  refreshGrid(notes, engine.cellGrid);
  if (settingsPath.empty()) {
    loadSettings(engine.settings, engine.paths.projectSettings, *engine.prompter);
  } else {
    named.currentPath = settingsPath;
    named.hasUserFile = 1;
    engine.settings = std::move(named);
  }
  applySettings(engine, APPLY_ALL);
  clearHistories(engine);
  engine.lastNote = LastNote{};
  engine.menusEnabled = true;
  setTitle(engine, dat);
  return 0;
}

void newProjectData(Engine& engine) {
  if (isPlaying(engine.playback) || !engine.notes.ready()) return;
  if (!closeCheck(engine)) return;
  NoteStore& notes = engine.notes;
  clearNotes(notes);
  buildNoteOffs(notes);
  rebuildCells(engine.cellGrid, notes);
  seedGrid(engine);
  clearHistories(engine);
  engine.lastNote = LastNote{};
  engine.paths.dat.clear();
  setTitle(engine, NEW_DATA_TITLE);
}

int saveProjectData(Engine& engine) {
  ProjectPaths& paths = engine.paths;
  if (paths.dat.size() < paths.wav.size()) return saveProjectDataAs(engine);
  int result = -1;
  if (engine.prompter->ask(SAVE_QUESTION, Icon::Information) && writeProjectSettings(engine) == 0) {
    commitForSave(engine);
    if (writeProjectAndRecentList(engine) == 0) {
      engine.prompter->information(SAVE_DONE);
      clearModified(engine);
      result = 0;
    }
  }
  setTitle(engine, paths.dat);
  return result;
}

int saveProjectDataAs(Engine& engine) {
  ProjectPaths& paths = engine.paths;
  const auto chosen = engine.files->choose(datDialog(engine, true));
  if (!chosen) return -1;
  int result = -1;
  if (chosen->find(splitPath(paths.wav).base) == std::string::npos) {
    engine.prompter->error(SAVE_AS_NAME_REFUSED);
  } else {
    paths.dat = *chosen;
    paths.projectSettings = datToXml(*chosen);
    if (writeProjectSettings(engine) == 0 && writeProjectAndRecentList(engine) == 0) {
      engine.prompter->information(SAVE_AS_DONE);
      clearModified(engine);
      result = 0;
    }
  }
  setTitle(engine, paths.dat);
  return result;
}

int saveMidi(Engine& engine, std::string* failure) {
  MidiExportOptions options;
  options.tempo = settingsMidiTempo(engine);
  options.trackNames = exportTrackNames(engine);
  return saveMidiFile(engine.paths.dat, engine.paths.midiOutput, engine.notes,
                      engine.settings.values, *engine.prompter, *engine.console, failure, options);
}

int exportMidiTo(Engine& engine, const std::string& path, std::string* failure) {
  const NoteStore& notes = engine.notes;
  return exportMidi(notes, engine.settings.values, path, notes.startMarker, notes.endMarker,
                    *engine.prompter, *engine.console, failure);
}

}  // namespace quavrix
