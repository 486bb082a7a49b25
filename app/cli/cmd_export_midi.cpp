// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli export-midi --wav W.wav --dat P.dat [--settings S.xml] [--out O.mid]
//                         [--tempo grid|single] [--json]:
// writes the MIDI file of a saved project without opening a window. The grid
// tempo (the default) follows the beat grid and takes the whole grid when no
// markers are set; the single tempo is the beat editor's "SAVE to MIDI FILE"
// with every one of its checks.

#include <cstdio>
#include <iostream>
#include <string>

#include <sstream>

#include "cli.h"
#include "engine/engine.h"
#include "engine/midi_commands.h"
#include "engine/project.h"
#include "engine/project_open.h"
#include "persist/midi_export.h"

namespace quavrix::cli {
namespace {

constexpr const char* NAME = "export-midi";

int runExportMidi(const std::vector<std::string>& argv) {
  const Args args(argv, {"--wav", "--dat", "--settings", "--out", "--tempo"});
  if (!args.error().empty()) return usageError(NAME, args.error());
  if (!args.positional().empty()) return usageError(NAME, "unexpected " + args.positional()[0]);
  const auto wav = args.value("--wav");
  const auto dat = args.value("--dat");
  if (!wav || !dat) return usageError(NAME, "give the recording (--wav) and the project (--dat)");
  const std::string tempo = args.value("--tempo").value_or("grid");
  if (tempo != "grid" && tempo != "single")
    return usageError(NAME, "--tempo is grid or single, not " + tempo);
  const bool single = tempo == "single";

  SilentProject project;
  if (!openSilentProject(NAME, args, project)) return 1;
  const auto& engine = project.engine;
  std::string failure;
  const NoteStore& notes = engine->notes;
  engine->console = &std::cerr;  // the export's diagnostics
  const auto out = args.value("--out");
  MidiRange range{notes.startMarker, notes.endMarker};
  std::string written;
  int result = MIDI_EXPORT_STOPPED;
  if (single) {
    // The beat editor's own command, whatever the settings say of the tempo.
    engine->settings.values.midiTempoMap = 0;
    result = out ? exportMidiTo(*engine, *out, &failure) : saveMidi(*engine, &failure);
    written = out ? *out : engine->paths.midiOutput;
  } else {
    range = wholeGridRange(notes);
    written = out ? *out : midiPathForDat(*dat);
    if (written.empty()) written = *dat + ".mid";
    result = exportWholeGrid(*engine, written, MidiTempo::Grid, &failure);
  }
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
    std::printf("{\"midi\": %s, \"start\": %u, \"end\": %u, \"tempo\": %s}\n",
                jsonString(written).c_str(), range.start, range.end, jsonString(tempo).c_str());
  } else {
    std::printf("wrote %s (positions %u to %u, %s tempo)\n", written.c_str(), range.start,
                range.end, tempo.c_str());
  }
  return 0;
}

const CommandRegistrar registrar({NAME,
                                  "export-midi --wav W.wav --dat P.dat [--settings S.xml] "
                                  "[--out O.mid] [--tempo grid|single] [--json]",
                                  runExportMidi});

}  // namespace
}  // namespace quavrix::cli
