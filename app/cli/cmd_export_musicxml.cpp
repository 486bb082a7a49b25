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

  SilentProject project;
  if (!openSilentProject(NAME, args, project)) return 1;
  const auto& engine = project.engine;
  std::string failure;
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
