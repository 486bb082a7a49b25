// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli.h"
#include "engine/engine.h"
#include "engine/project_open.h"

namespace quavrix::cli {

SilentProject::~SilentProject() = default;

bool openSilentProject(const char* command, const Args& args, SilentProject& project) {
  EngineOptions options;
  options.prompter = &project.prompter;
  options.console = &project.progress;
  options.audioDevice = "null";            // nothing is played
  project.engine = createEngine(options);  // reads default_settings.xml beside the program
  std::string failure;
  const int opened = openProject(*project.engine, args.value("--wav").value_or(""),
                                 args.value("--dat").value_or(""),
                                 args.value("--settings").value_or(""), &failure);
  if (opened > 0) return true;
  std::fprintf(stderr, "quavrix-cli %s: %s\n", command, failure.c_str());
  return false;
}

}  // namespace quavrix::cli
