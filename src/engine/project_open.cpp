#include "engine/project_open.h"

#include <cstdio>
#include <ostream>

#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "engine/engine.h"
#include "engine/settings_apply.h"
#include "engine/sound.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/strobe.h"

namespace quavrix {

std::string speedText(int step) {
  char text[32];
  std::snprintf(text, sizeof text, "x %1.2f", step > 0 ? 2048.0 / step : 9.999);
  return text;
}

std::string chooseRecording(Engine& engine) {
  if (!confirmDiscardProject(engine)) return {};
  FileDialogRequest request;
  request.defaultExtension = "wav";
  request.initialName = "*.wav";
  request.filterLabel = "WAV files (*.wav)";
  request.filterPattern = "*.wav";
  engine.recording.analysed = false;
  const auto chosen = engine.files->choose(request);
  if (!chosen) return {};
  engine.paths.wav = *chosen;
  engine.paths.dat.clear();
  return *chosen;
}

int openRecording(Engine& engine, const std::string& requested) {
  std::ostream& console = *engine.console;
  if (isPlaying(engine.playback)) {
    engine.prompter->error(" Please stop playing. ");
    return 0;
  }
  engine.busy = 1;
  console << "************   Initializing   **************        \n\n";
  if (engine.settings.loaded) selectSoundFont(engine);

  std::string path = requested.empty() ? chooseRecording(engine) : requested;
  if (path.empty()) {
    engine.prompter->error(WAV_OPEN_FAILED);
    return 0;
  }
  engine.playback.sampler = &engine.sampler;

  console << "reading .wav              " << std::flush;
  engine.recording.path = path.substr(0, 256);
  const int read = readRecording(engine.recording);
  console << "Done.\n\n";
  if (read != WAV_OK) {
    engine.prompter->error(WAV_OPEN_FAILED);
    return 0;
  }
  engine.paths.wav = path;

  console << "beat detection start      " << std::flush;
  detectOnsets(engine.recording);
  engine.recording.analysed = true;
  console << "Done.\n\n";

  console << "open AUDIO DEVICE start   " << std::flush;
  if (!openRecordingAudio(engine)) return 0;
  console << "Done.\n\n";

  NoteStore& notes = engine.notes;
  notes.wavPath = path;
  if (!allocateNotes(notes, static_cast<std::uint32_t>(engine.recording.capacity),
                     *engine.prompter)) {
    return 0;
  }
  relinkPlayback(engine);

  seedBeats(notes, engine.recording.onsetMarks);
  refreshGrid(notes, engine.cellGrid);
  allocateStrobe(engine.strobe, notes, *engine.prompter);

  console << "FFT  start                " << std::flush;
  engine.viewState.speedText = speedText(engine.playback.step.load());
  engine.viewState.timeText1 = "00:00";
  engine.viewState.timeText2 = "00:00";
  console << "Done.\n\n";

  applySettings(engine, APPLY_ALL);

  notes.gridHistory.modified = 0;
  notes.noteHistory.modified = 0;
  engine.busy = 0;
  return 1;
}

}  // namespace quavrix
