// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scripted_prompter.h"

namespace quavrix::test {

Answer ScriptedPrompter::show(std::string_view text, Icon icon, Buttons buttons) {
  shown.push_back({std::string(text), icon, buttons});
  if (buttons == Buttons::Ok) return Answer::Ok;
  Answer a = fallback;
  if (!answers_.empty()) {
    a = answers_.front();
    answers_.pop_front();
  }
  // Yes and No script OK/Cancel questions as well.
  if (buttons == Buttons::OkCancel)
    return (a == Answer::Yes || a == Answer::Ok) ? Answer::Ok : Answer::Cancel;
  return a;
}

std::optional<std::string> ScriptedFileChooser::choose(const FileDialogRequest& request) {
  requests.push_back(request);
  if (replies_.empty()) return std::nullopt;
  auto r = std::move(replies_.front());
  replies_.pop_front();
  return r;
}

}  // namespace quavrix::test
