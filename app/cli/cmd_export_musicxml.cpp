// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli export-musicxml --wav W.wav --dat P.dat [--settings S.xml] [--out O.musicxml]
// [--json]: writes the score of a saved project as the menu's "Export score
// (MusicXML)..." would, without opening a window. Without --out the score
// goes beside the .dat.

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "base/paths.h"
#include "cli.h"
#include "engine/engine.h"
#include "engine/project_open.h"
#include "engine/score_export.h"

namespace quavrix::cli {
namespace {

constexpr const char* NAME = "export-musicxml";

int runExportMusicXml(const std::vector<std::string>& argv) {
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
  const std::string out = args.value("--out").value_or(companionPath(*dat, ".musicxml"));
  const int result = exportScoreTo(*engine, out, &failure);
  if (result == SCORE_EXPORT_WRITE_FAILED) {
    std::fprintf(stderr, "quavrix-cli %s: cannot write %s: %s\n", NAME, out.c_str(),
                 failure.c_str());
    return 1;
  }
  if (result != SCORE_EXPORT_WRITTEN) {
    // The export's own message above says why.
    std::fprintf(stderr, "quavrix-cli %s: no score written\n", NAME);
    return 1;
  }
  const ExportRange range = scoreRange(engine->notes);
  if (args.flag("--json")) {
    std::printf("{\"musicxml\": %s, \"start\": %u, \"end\": %u}\n", jsonString(out).c_str(),
                range.start, range.end);
  } else {
    std::printf("wrote %s (positions %u to %u)\n", out.c_str(), range.start, range.end);
  }
  return 0;
}

const CommandRegistrar registrar({NAME,
                                  "export-musicxml --wav W.wav --dat P.dat [--settings S.xml] "
                                  "[--out O.musicxml] [--json]",
                                  runExportMusicXml});

}  // namespace
}  // namespace quavrix::cli
