#include "engine/engine.h"

#include "base/paths.h"
#include "engine/key_tables.h"
#include "platform/program_path.h"

namespace quavrix {

namespace {

// Answers every question with No and drops every message; used when the
// caller gives no prompter, so that the engine never has to test for one.
class SilentPrompter final : public Prompter {
 public:
  Answer show(std::string_view, Icon, Buttons buttons) override {
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
};

class NoFileChooser final : public FileChooser {
 public:
  std::optional<std::string> choose(const FileDialogRequest&) override { return std::nullopt; }
};

SilentPrompter silentPrompter;
NoFileChooser noFileChooser;

}  // namespace

void rebuildKeyTables(Engine& engine) {
  // The key setting arrives with the settings record; until then row 0 is C.
  rebuildKeyTables(engine.viewState, 0);
}

std::unique_ptr<Engine> createEngine(const EngineOptions& options) {
  auto engine = std::make_unique<Engine>();
  engine->prompter = options.prompter ? options.prompter : &silentPrompter;
  engine->files = options.files ? options.files : &noFileChooser;
  engine->view = options.view;
  engine->viewState.smallLayout = options.smallLayout ? 1 : 0;

  ProjectPaths& paths = engine->paths;
  paths.program = options.programPath.empty() ? programPath() : options.programPath;
  const PathParts parts = splitPath(paths.program);
  paths.programFolder = parts.folder;
  paths.defaultSettings = paths.programFolder + "default_settings.xml";
  paths.recentList = paths.programFolder + "recent_files.txt";

  rebuildKeyTables(*engine);
  return engine;
}

}  // namespace quavrix
