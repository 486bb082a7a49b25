#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The About box and the window that shows the shortcut list beside the program.

#include <QDialog>
#include <QIcon>
#include <string>

namespace quavrix {

// The program's icon, drawn in code: a note on a dark rounded square.
QIcon programIcon();

inline constexpr const char* PRODUCT_LINE = "quavrix lumo  V3.10";

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// Shows the text file in a read-only window of its own; nothing waits for it.
// A missing file is said in the window.
QWidget* showShortcutKeyWindow(QWidget* parent, const std::string& path);

}  // namespace quavrix
