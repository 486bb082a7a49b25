#include "support/scripted_prompter.h"

namespace quavrix::test {

Answer ScriptedPrompter::show(std::string_view text, Icon icon, Buttons buttons) {
  shown.push_back({std::string(text), icon, buttons});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (answers_.empty()) return fallback;
  const Answer a = answers_.front();
  answers_.pop_front();
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
