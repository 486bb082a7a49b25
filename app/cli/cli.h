#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The headless tools of quavrix-cli. Each subcommand lives in its own file and
// registers itself with a static CommandRegistrar.

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/prompter.h"

namespace quavrix {
struct Engine;
}

namespace quavrix::cli {

struct Command {
  const char* name;
  const char* usage;  // shown by "quavrix-cli help"
  int (*run)(const std::vector<std::string>& args);
};

struct CommandRegistrar {
  explicit CommandRegistrar(Command command);
};

// Arguments after the subcommand name: "--name value" options, "--flag"
// switches and positional words, in any order.
class Args {
 public:
  // `valued` names the options that take a value.
  Args(const std::vector<std::string>& args, const std::vector<std::string>& valued);

  bool flag(const std::string& name) const;
  std::optional<std::string> value(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }
  // Empty when every word was understood; otherwise a one-line reason.
  const std::string& error() const { return error_; }

 private:
  std::vector<std::string> flags_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> positional_;
  std::string error_;
};

// Prints every message to standard error as "<kind>: <text>" and answers
// questions with a fixed answer.
class ConsolePrompter final : public Prompter {
 public:
  explicit ConsolePrompter(Answer answer = Answer::Yes) : answer_(answer) {}
  Answer show(std::string_view text, Icon icon, Buttons buttons) override;

 private:
  Answer answer_;
};

// Prints the reason to standard error and returns the exit code for a usage error.
int usageError(const std::string& command, const std::string& reason);

// A silent engine (no sound) holding the project named by --wav, --dat and
// --settings, for the commands that export it. Every box the program would
// show goes to standard error with its kind; questions are answered No.
struct SilentProject {
  ConsolePrompter prompter{Answer::No};
  std::ostringstream progress;
  std::unique_ptr<Engine> engine;
  ~SilentProject();
};

// Opens the project into `project`; on failure prints the reason as
// "quavrix-cli <command>: ..." and returns false.
bool openSilentProject(const char* command, const Args& args, SilentProject& project);

// JSON string literal for the text, quotes included.
std::string jsonString(std::string_view text);

}  // namespace quavrix::cli
