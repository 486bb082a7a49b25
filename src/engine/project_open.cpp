#include "engine/project_open.h"

#include <cstdio>
#include <ostream>

#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "base/paths.h"
#include "base/units.h"
#include "engine/engine.h"
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
  request.filterLabel = "WAV files (*.wav)";
  request.filterPattern = "*.wav";
  const auto chosen = engine.files->choose(request);
  return chosen ? *chosen : std::string();
}

std::string prepareOpen(Engine& engine, const std::string& requested) {
  if (isPlaying(engine.playback)) {
    engine.prompter->error(" Please stop playing. ");
    return {};
  }
  *engine.console << "************   Initializing   **************        \n\n";
  if (engine.settings.loaded) selectSoundFont(engine);
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

int readForOpen(Recording& scratch, const std::string& path, std::ostream& console,
                std::string* failure) {
  console << "reading .wav              " << std::flush;
  scratch.path = path.substr(0, 256);
  const int read = readRecording(scratch);
  console << "Done.\n\n";
  if (read == WAV_NO_MEMORY && failure) *failure = memoryRefusal(availableMemoryBytes());
  if (read != WAV_OK) return 0;
  console << "beat detection start      " << std::flush;
  detectOnsets(scratch);
  scratch.analysed = true;
  console << "Done.\n\n";
  return 1;
}

int finishOpen(Engine& engine, Recording& scratch, const std::string& path) {
  std::ostream& console = *engine.console;
  console << "open AUDIO DEVICE start   " << std::flush;
  if (!openRecordingAudio(engine)) return 0;
  console << "Done.\n\n";
  ScoreArrays arrays;
  if (!allocateScoreArrays(arrays, static_cast<std::uint32_t>(scratch.capacity),
                           *engine.prompter)) {
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
  seedBeats(notes, engine.recording.onsetMarks);
  refreshGrid(notes, engine.cellGrid);
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
  engine.busy = 0;
  engine.title = path;
  engine.menusEnabled = true;
  return 1;
}

int openRecording(Engine& engine, const std::string& requested) {
  const int wasBusy = engine.busy;
  engine.busy = 1;
  const std::string path = prepareOpen(engine, requested);
  if (path.empty()) {
    engine.busy = wasBusy;
    return 0;
  }
  Recording scratch;
  std::string failure;
  if (!readForOpen(scratch, path, *engine.console, &failure)) {
    engine.prompter->error(failure.empty() ? WAV_OPEN_FAILED : failure);
    engine.busy = wasBusy;
    return 0;
  }
  if (!finishOpen(engine, scratch, path)) {
    engine.busy = wasBusy;
    return 0;
  }
  return 1;
}

int openProject(Engine& engine, const std::string& wav, const std::string& dat,
                const std::string& settingsPath) {
  if (!openRecording(engine, wav)) return 0;
  if (loadProjectFile(engine, dat, settingsPath) != 0) return -1;
  return 1;
}

void openRecentProject(Engine& engine) {
  if (isPlaying(engine.playback)) {
    engine.prompter->error(RECENT_PLAYING);
    return;
  }
  if (!closeCheck(engine)) return;
  const std::string& list = engine.paths.recentList;
  if (!fileExists(list)) {
    engine.prompter->error(RECENT_LIST_MISSING);
    return;
  }
  std::string wav;
  std::string dat;
  if (!readRecentList(list, wav, dat)) return;
  if (!fileExists(wav)) {
    engine.prompter->error(RECENT_WAV_MISSING);
    return;
  }
  if (!fileExists(dat)) {
    engine.prompter->error(RECENT_DAT_MISSING);
    return;
  }
  if (!openRecording(engine, wav)) {
    engine.prompter->error(RECENT_OPEN_FAILED);
    return;
  }
  loadProjectFile(engine, dat, std::string());
}

}  // namespace quavrix
