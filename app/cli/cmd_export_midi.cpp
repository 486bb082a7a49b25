// quavrix-cli export-midi --wav W.wav --dat P.dat [--settings S.xml] [--out O.mid] [--json]:
// writes the MIDI file of a saved project as the beat editor's "SAVE to MIDI
// FILE" would, without opening a window.

#include <cstdio>
#include <iostream>
#include <string>

#include <sstream>

#include "cli.h"
#include "engine/engine.h"
#include "engine/project.h"
#include "engine/project_open.h"
#include "persist/midi_export.h"

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
  std::ostringstream progress;
  EngineOptions options;
  options.prompter = &prompter;
  options.console = &progress;
  options.audioDevice = "null";               // nothing is played
  const auto engine = createEngine(options);  // reads default_settings.xml beside the program

  std::string failure;
  const int opened =
      openProject(*engine, *wav, *dat, args.value("--settings").value_or(""), &failure);
  if (opened <= 0) {
    std::fprintf(stderr, "quavrix-cli %s: %s\n", NAME, failure.c_str());
    return 1;
  }
  const NoteStore& notes = engine->notes;
  engine->console = &std::cerr;  // the export's diagnostics
  const auto out = args.value("--out");
  const int result = out ? exportMidiTo(*engine, *out, &failure) : saveMidi(*engine, &failure);
  const std::string written = out ? *out : engine->paths.midiOutput;
  if (result == MIDI_EXPORT_WRITE_FAILED) {
    std::fprintf(stderr, "quavrix-cli %s: cannot write %s: %s\n", NAME, written.c_str(),
                 failure.c_str());
    return 1;
  }
  if (result != MIDI_EXPORT_WRITTEN) {
    // The export's own messages above say why.
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
