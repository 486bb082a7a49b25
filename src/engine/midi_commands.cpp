// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/midi_commands.h"

#include "base/paths.h"
#include "engine/engine.h"
#include "engine/track_names.h"

namespace quavrix {

MidiTempo settingsMidiTempo(const Engine& engine) {
  return engine.settings.values.midiTempoMap != 0 ? MidiTempo::Grid : MidiTempo::Single;
}

std::string proposedMidiPath(const Engine& engine) {
  const std::string fromDat = midiPathForDat(engine.paths.dat);
  if (!fromDat.empty()) return fromDat;
  const PathParts wav = splitPath(engine.paths.wav);
  return wav.drive + wav.folder + wav.base + ".mid";
}

int exportWholeGrid(Engine& engine, const std::string& path, MidiTempo tempo,
                    std::string* failure) {
  const NoteStore& notes = engine.notes;
  MidiExportOptions options;
  options.tempo = tempo;
  options.trackNames = exportTrackNames(engine);
  options.namePathWhenDone = true;
  options.notesOnLastLine = notes.endMarker == 0;
  const MidiRange range = wholeGridRange(notes);
  if (notes.ready() && range.end == 0) {
    // No beat line anywhere: say so rather than blame a marker nobody set.
    engine.prompter->error(MIDI_NO_LINES_TEXT);
    return MIDI_EXPORT_STOPPED;
  }
  const int result = exportMidi(notes, engine.settings.values, path, range.start, range.end,
                                *engine.prompter, *engine.console, failure, options);
  if (result == MIDI_EXPORT_WRITTEN) engine.paths.midiOutput = path;
  return result;
}

int exportMidiAs(Engine& engine) {
  if (!engine.notes.ready()) return MIDI_EXPORT_STOPPED;
  FileDialogRequest request;
  request.save = true;
  request.defaultExtension = "mid";
  request.initialName = proposedMidiPath(engine);
  request.filterLabel = "MIDI file (*.mid)";
  request.filterPattern = "*.mid";
  const auto chosen = engine.files->choose(request);
  if (!chosen) return MIDI_EXPORT_STOPPED;
  return exportWholeGrid(engine, *chosen, settingsMidiTempo(engine));
}

}  // namespace quavrix
