#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Test doubles for the person at the screen: they record every message and
// answer questions and file dialogs from a script.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/prompter.h"

namespace quavrix::test {

struct ShownMessage {
  std::string text;
  Icon icon;
  Buttons buttons;
};

class ScriptedPrompter final : public Prompter {
 public:
  Answer show(std::string_view text, Icon icon, Buttons buttons) override;

  // Answers for the next questions, in order; once used up, questions get `fallback`.
  void answer(Answer a) { answers_.push_back(a); }
  Answer fallback = Answer::Yes;

  std::vector<ShownMessage> shown;
  // Text of the last message, or empty.
  std::string last() const { return shown.empty() ? std::string() : shown.back().text; }
  void clear() { shown.clear(); }

 private:
  std::deque<Answer> answers_;
};

class ScriptedFileChooser final : public FileChooser {
 public:
  std::optional<std::string> choose(const FileDialogRequest& request) override;

  // Paths handed out by the next dialogs; nothing (cancel) once used up.
  void reply(std::optional<std::string> path) { replies_.push_back(std::move(path)); }
  std::vector<FileDialogRequest> requests;

 private:
  std::deque<std::optional<std::string>> replies_;
};

}  // namespace quavrix::test
