// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/project_open.h"

#include <cstdio>
#include <ostream>

#include "analysis/beat_tracker.h"
#include "analysis/frequency_peaks.h"
#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "base/paths.h"
#include "base/units.h"
#include "engine/engine.h"
#include "engine/find_beats.h"
#include "engine/project.h"
#include "engine/settings_apply.h"
#include "engine/transport.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/strobe.h"

namespace quavrix {

namespace {

constexpr const char* RECENT_PLAYING = "Recent .wav & .dat\n Please, stop playing. ";
constexpr const char* RECENT_LIST_MISSING = "FILE OPEN\n Can not find recently saved .txt file ";
constexpr const char* RECENT_WAV_MISSING = "FILE OPEN\n Can not find recently saved .wav file ";
constexpr const char* RECENT_DAT_MISSING = "FILE OPEN\n Can not find recently saved .dat file ";

}  // namespace

std::string speedText(int step) {
  char text[32];
  std::snprintf(text, sizeof text, "x %1.2f", step > 0 ? 2048.0 / step : 9.999);
  return text;
}

std::string chooseRecording(Engine& engine) {
  if (!closeCheck(engine)) return {};
  FileDialogRequest request;
  request.defaultExtension = "wav";
  request.initialName = "*.wav";
  request.filterLabel = "Recordings";
  request.filterPattern = "*.wav *.flac *.mp3 *.ogg *.opus *.aif *.aiff";
  const auto chosen = engine.files->choose(request);
  return chosen ? *chosen : std::string();
}

std::string prepareOpen(Engine& engine, const std::string& requested, bool loadSoundFont) {
  if (isPlaying(engine.playback)) {
    engine.prompter->error(" Please stop playing. ");
    return {};
  }
  *engine.console << "************   Initializing   **************        \n\n";
  if (loadSoundFont && engine.settings.loaded) selectSoundFont(engine);
  const std::string path = requested.empty() ? chooseRecording(engine) : requested;
  if (path.empty()) engine.prompter->error(WAV_OPEN_FAILED);
  return path;
}

std::string memoryRefusal(std::uint64_t availableBytes) {
  const std::uint64_t minutes = framesThatFit(availableBytes) / SAMPLE_RATE / 60;
  char text[160];
  std::snprintf(text, sizeof text,
                "INIT ctrl\n Not enough memory for this .wav file\n This machine can open "
                "recordings up to %llu h %02llu min long.",
                static_cast<unsigned long long>(minutes / 60),
                static_cast<unsigned long long>(minutes % 60));
  return text;
}

std::string openFailureMessage(int read, const std::string& reason) {
  if (read < 0) return reason;
  // A musician who opened a snippet learns why it cannot be used.
  if (reason == SHORT_RECORDING_REASON) return std::string(WAV_OPEN_FAILED) + "\n " + reason;
  return WAV_OPEN_FAILED;
}

int readForOpen(Recording& scratch, const std::string& path, std::ostream& console,
                std::string* reason, bool trackingBeats) {
  console << "reading .wav              " << std::flush;
  scratch.path = path.substr(0, 256);
  const int read = readRecordingSamples(scratch, reason);
  // The onsets (and the beats, when the grid opens with them) are found on
  // one core while the other starts on the spectrum.
  if (read == WAV_OK) {
    analyseRecording(scratch, [&] {
      if (trackingBeats)
        detectOnsetsTrackingBeats(scratch);
      else
        detectOnsets(scratch);
    });
  }
  console << "Done.\n\n";
  if (read == WAV_NO_MEMORY) {
    if (reason) *reason = memoryRefusal(availableMemoryBytes());
    return -1;
  }
  if (read != WAV_OK) return 0;
  console << "beat detection start      " << std::flush;
  scratch.analysed = true;
  console << "Done.\n\n";
  return 1;
}

int finishOpen(Engine& engine, Recording& scratch, const std::string& path, std::string* failure) {
  std::ostream& console = *engine.console;
  console << "open AUDIO DEVICE start   " << std::flush;
  if (!openRecordingAudio(engine, failure)) return 0;
  console << "Done.\n\n";
  ScoreArrays arrays;
  if (!allocateScoreArrays(arrays, static_cast<std::uint32_t>(scratch.capacity),
                           *engine.prompter)) {
    if (failure) *failure = "not enough memory for the score of " + path;
    return 0;
  }

  // From here on the new recording replaces the open project. A paused pass
  // belongs to the old recording: the next play starts at the range start.
  stopPlaying(engine);
  engine.recording = std::move(scratch);
  scratch = Recording{};
  installScoreArrays(engine.notes, std::move(arrays));
  engine.paths.wav = path;
  engine.paths.dat.clear();
  engine.lastNote = LastNote{};
  relinkPlayback(engine);

  NoteStore& notes = engine.notes;
  seedGrid(engine);
  allocateStrobe(engine.strobe, notes, *engine.prompter);

  console << "FFT  start                " << std::flush;
  engine.viewState.speedText = speedText(engine.playback.step.load());
  engine.viewState.timeText1 = "00:00";
  engine.viewState.timeText2 = "00:00";
  console << "Done.\n\n";

  applySettings(engine, APPLY_ALL);
  engine.viewState.viewText = " Notes    wav : " + path;
  notes.gridHistory.modified = 0;
  notes.noteHistory.modified = 0;
  engine.viewState.sectionsModified = 0;
  engine.busy = 0;
  engine.title = path;
  engine.menusEnabled = true;
  return 1;
}

int openRecording(Engine& engine, const std::string& requested, std::string* failure) {
  const int wasBusy = engine.busy;
  engine.busy = 1;
  const std::string path = prepareOpen(engine, requested);
  if (path.empty()) {
    if (failure)
      *failure = isPlaying(engine.playback) ? "stop playing first" : "no recording chosen";
    engine.busy = wasBusy;
    return 0;
  }
  Recording scratch;
  std::string reason;
  const int read = readForOpen(scratch, path, *engine.console, &reason,
                               engine.settings.values.gridOnOpening == GRID_FROM_BEATS);
  if (read <= 0) {
    engine.prompter->error(openFailureMessage(read, reason));
    if (failure) *failure = read < 0 ? reason : "cannot read " + path + ": " + reason;
    engine.busy = wasBusy;
    return 0;
  }
  if (!finishOpen(engine, scratch, path, failure)) {
    engine.busy = wasBusy;
    return 0;
  }
  return 1;
}

int openProject(Engine& engine, const std::string& wav, const std::string& dat,
                const std::string& settingsPath, std::string* failure) {
  if (!openRecording(engine, wav, failure)) return 0;
  if (loadProjectFile(engine, dat, settingsPath, failure) != 0) return -1;
  return 1;
}

bool checkRecentProject(Engine& engine, RecentProject& recent) {
  if (isPlaying(engine.playback)) {
    engine.prompter->error(RECENT_PLAYING);
    return false;
  }
  if (!closeCheck(engine)) return false;
  // A list left beside the program by an older build still counts until the
  // first save writes the person's own.
  std::string list = engine.paths.recentList;
  if (!fileExists(list)) list = engine.paths.programFolder + "recent_files.txt";
  if (!fileExists(list)) {
    engine.prompter->error(RECENT_LIST_MISSING);
    return false;
  }
  if (!readRecentList(list, recent.wav, recent.dat)) return false;
  if (!fileExists(recent.wav)) {
    engine.prompter->error(RECENT_WAV_MISSING);
    return false;
  }
  if (!fileExists(recent.dat)) {
    engine.prompter->error(RECENT_DAT_MISSING);
    return false;
  }
  return true;
}

void openRecentProject(Engine& engine) {
  RecentProject recent;
  if (!checkRecentProject(engine, recent)) return;
  if (!openRecording(engine, recent.wav)) {
    engine.prompter->error(RECENT_OPEN_FAILED);
    return;
  }
  loadProjectFile(engine, recent.dat, std::string());
}

}  // namespace quavrix
