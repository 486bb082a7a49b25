#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The look the settings dialogs share: white text on a dark grey, edits on a
// lighter grey, and buttons filled with their own colour.

#include <QColor>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace quavrix {

inline const QColor DIALOG_BACKGROUND(50, 50, 50);
inline const QColor EDIT_BACKGROUND(80, 80, 80);

// The style sheet of a dialog: background, labels, edits, lists, frames.
QString dialogStyleSheet();
// The dialog's colours: its palette and style sheet.
void applyDialogColours(QWidget& dialog);

// The control with the given id as its object name ("id1375"), so that tests
// and accessibility tools find it.
QString controlName(int id);

// A white static text.
QLabel* staticText(const QString& text, QWidget* parent);

// A button filled with `fill`, its caption white and centred on one line,
// drawn pushed in while pressed. Enter never presses it.
QPushButton* colourButton(int id, const QString& caption, const QColor& fill, QWidget* parent);

// Places a dialog at `offset` from the top left of the window it belongs to,
// moved as little as needed to lie inside that window.
void placeInsideOwner(QDialog& dialog, int x, int y);

}  // namespace quavrix
