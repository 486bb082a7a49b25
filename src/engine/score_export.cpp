// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/score_export.h"

#include "base/paths.h"
#include "engine/engine.h"
#include "engine/track_names.h"

namespace quavrix {

namespace {

// The project's name: the .dat's when it was saved, else the recording's.
std::string projectName(const Engine& engine) {
  return splitPath(engine.paths.dat.empty() ? engine.paths.wav : engine.paths.dat).base;
}

}  // namespace

ScoreHeader scoreHeader(const Engine& engine) {
  ScoreHeader header;
  header.title = projectName(engine);
  header.trackNames = exportTrackNames(engine);
  const SoundFontBank* bank = engine.sampler.bank.get();
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    // As the MIDI export numbers it: the preset's place in the bank's sorted
    // list, 0-based. With a bank loaded, the preset's own program number is
    // what a General MIDI player understands.
    const int program = engine.settings.values.trackProgram[t];
    int gm = program > 0 ? program - 1 : 0;
    if (bank && program >= 1 && program <= bank->presetCount()) {
      gm = bank->presets[static_cast<std::size_t>(program - 1)].program;
    }
    header.midiPrograms[t] = gm & 0x7F;
  }
  return header;
}

int exportScoreTo(Engine& engine, const std::string& path, std::string* failure) {
  return exportMusicXml(engine.notes, engine.settings.values, scoreHeader(engine), path,
                        *engine.prompter, failure);
}

int exportScore(Engine& engine) {
  FileDialogRequest request;
  request.save = true;
  request.defaultExtension = "musicxml";
  request.initialName = projectName(engine) + ".musicxml";
  request.filterLabel = "MusicXML score (*.musicxml)";
  request.filterPattern = "*.musicxml";
  const auto chosen = engine.files->choose(request);
  if (!chosen) return SCORE_EXPORT_CANCELLED;
  return exportScoreTo(engine, *chosen);
}

}  // namespace quavrix
