#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// How the core talks to the person using the program: modal messages with a
// fixed text and caption, and file dialogs. The GUI, the command line and the
// tests each provide their own implementation.

#include <optional>
#include <string>
#include <string_view>

namespace quavrix {

inline constexpr const char* APP_CAPTION = "quavrix";

enum class Icon { Error, Warning, Information, Question };
enum class Buttons { Ok, YesNo, OkCancel };
enum class Answer { Ok, Yes, No, Cancel };

const char* iconName(Icon icon);

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows one modal message with the caption APP_CAPTION and waits for the answer.
  virtual Answer show(std::string_view text, Icon icon, Buttons buttons) = 0;

  void error(std::string_view text) { show(text, Icon::Error, Buttons::Ok); }
  void warning(std::string_view text) { show(text, Icon::Warning, Buttons::Ok); }
  void information(std::string_view text) { show(text, Icon::Information, Buttons::Ok); }
  // An OK box with the given icon.
  void notify(std::string_view text, Icon icon) { show(text, icon, Buttons::Ok); }
  // A Yes/No question; true on Yes.
  bool ask(std::string_view text, Icon icon = Icon::Question) {
    return show(text, icon, Buttons::YesNo) == Answer::Yes;
  }
  // An OK/Cancel question with the question icon; true on OK.
  bool confirm(std::string_view text) {
    return show(text, Icon::Question, Buttons::OkCancel) == Answer::Ok;
  }
};

struct FileDialogRequest {
  bool save = false;             // save dialog (true) or open dialog (false)
  std::string defaultExtension;  // without the dot, e.g. "wav"
  std::string initialName;       // e.g. "*.wav" or "song.dat"
  std::string folder;            // where the dialog starts; empty for the toolkit's choice
  std::string filterLabel;       // e.g. "quavrix data (*.dat)"; empty for all files
  std::string filterPattern;     // e.g. "*.dat"
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen path, or nothing when the person cancelled.
  virtual std::optional<std::string> choose(const FileDialogRequest& request) = 0;
};

}  // namespace quavrix
