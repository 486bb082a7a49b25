#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The person at the screen, through the toolkit: modal message boxes with the
// program's caption and file dialogs.

#include <QMessageBox>

#include "base/prompter.h"

class QWidget;

namespace quavrix {

class QtPrompter final : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent) : parent_(parent) {}
  Answer show(std::string_view text, Icon icon, Buttons buttons) override;

  // The box a message is shown in, before it is shown; tests inspect it.
  static void configure(QMessageBox& box, std::string_view text, Icon icon, Buttons buttons);

 private:
  Answer showHere(std::string_view text, Icon icon, Buttons buttons);
  QWidget* parent_;
};

class QtFileChooser final : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> choose(const FileDialogRequest& request) override;

  // The dialog's name filters for a request: its own filter first, then all files.
  static QStringList filters(const FileDialogRequest& request);

 private:
  std::optional<std::string> chooseHere(const FileDialogRequest& request);
  QWidget* parent_;
};

}  // namespace quavrix
