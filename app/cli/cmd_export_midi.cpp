// quavrix-cli export-midi --wav W.wav --dat P.dat [--settings S.xml] [--out O.mid] [--json]:
// writes the MIDI file of a saved project as the beat editor's "SAVE to MIDI
// FILE" would, without opening a window.

#include <cstdio>
#include <iostream>
#include <string>

#include "analysis/wav_reader.h"
#include "base/paths.h"
#include "cli.h"
#include "engine/engine.h"
#include "persist/midi_export.h"
#include "persist/project_file.h"
#include "persist/settings_file.h"
#include "score/note_store.h"

namespace quavrix::cli {
namespace {

constexpr const char* NAME = "export-midi";

int runExportMidi(const std::vector<std::string>& argv) {
  const Args args(argv, {"--wav", "--dat", "--settings", "--out"});
  if (!args.error().empty()) return usageError(NAME, args.error());
  if (!args.positional().empty()) return usageError(NAME, "unexpected " + args.positional()[0]);
  const auto wav = args.value("--wav");
  const auto dat = args.value("--dat");
  if (!wav || !dat) return usageError(NAME, "give the recording (--wav) and the project (--dat)");

  // Every box the program would show goes to standard error with its kind.
  ConsolePrompter prompter(Answer::No);
  EngineOptions options;
  options.prompter = &prompter;
  const auto engine = createEngine(options);  // reads default_settings.xml beside the program

  // The recording gives the project its length; the spectrum is not needed.
  engine->recording.path = *wav;
  std::string reason;
  if (readRecordingSamples(engine->recording, &reason) != WAV_OK) {
    std::fprintf(stderr, "quavrix-cli %s: cannot read %s: %s\n", NAME, wav->c_str(),
                 reason.c_str());
    return 1;
  }
  engine->paths.wav = *wav;
  NoteStore& notes = engine->notes;
  if (!allocateNotes(notes, static_cast<std::uint32_t>(engine->recording.capacity), prompter)) {
    return 1;
  }
  if (readProject(notes, *dat) != 0) {
    std::fprintf(stderr,
                 "quavrix-cli %s: cannot read %s (missing, cut short, or made for a recording of "
                 "another length)\n",
                 NAME, dat->c_str());
    return 1;
  }
  engine->paths.dat = *dat;
  loadSettings(engine->settings, args.value("--settings").value_or(datToXml(*dat)), prompter);

  int result = MIDI_EXPORT_STOPPED;
  std::string written;
  if (const auto out = args.value("--out")) {
    written = *out;
    result = exportMidi(notes, engine->settings.values, written, notes.startMarker, notes.endMarker,
                        prompter, std::cerr);
  } else {
    result = saveMidiFile(*dat, engine->paths.midiOutput, notes, engine->settings.values, prompter,
                          std::cerr);
    written = engine->paths.midiOutput;
  }
  if (result != MIDI_EXPORT_WRITTEN) {
    std::fprintf(stderr, "quavrix-cli %s: no MIDI file written\n", NAME);
    return 1;
  }
  if (args.flag("--json")) {
    std::printf("{\"midi\": %s, \"start\": %u, \"end\": %u}\n", jsonString(written).c_str(),
                notes.startMarker, notes.endMarker);
  } else {
    std::printf("wrote %s (positions %u to %u)\n", written.c_str(), notes.startMarker,
                notes.endMarker);
  }
  return 0;
}

const CommandRegistrar registrar({NAME,
                                  "export-midi --wav W.wav --dat P.dat [--settings S.xml] "
                                  "[--out O.mid] [--json]",
                                  runExportMidi});

}  // namespace
}  // namespace quavrix::cli
