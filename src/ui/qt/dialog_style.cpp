// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialog_style.h"

#include <QDialog>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

namespace quavrix {

namespace {

QString rgb(const QColor& c) {
  return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

}  // namespace

QString dialogStyleSheet() {
  const QString edit = rgb(EDIT_BACKGROUND);
  return QStringLiteral(
             "QDialog { background-color: %1; }"
             "QLabel { color: white; background: transparent; }"
             "QLineEdit, QComboBox { color: white; background-color: %2;"
             "  border: 1px solid rgb(120, 120, 120); padding: 1px 3px; }"
             // A list of hundreds of presets opens as a short scrolling list,
             // not as a column the height of the screen.
             "QComboBox { combobox-popup: 0; }"
             "QLineEdit:focus, QComboBox:focus { border: 1px solid white; }"
             "QComboBox QAbstractItemView { color: white; background-color: %2;"
             "  selection-background-color: rgb(80, 80, 150); }"
             "QGroupBox, QFrame#group { color: white; border: 1px solid rgb(140, 140, 140);"
             "  margin-top: 8px; }"
             "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }")
      .arg(rgb(DIALOG_BACKGROUND), edit);
}

void applyDialogColours(QWidget& dialog) {
  // Check boxes keep the style's own indicator (a box with a tick, outlined
  // when focused), drawn in these colours.
  QPalette palette = dialog.palette();
  palette.setColor(QPalette::Window, DIALOG_BACKGROUND);
  palette.setColor(QPalette::WindowText, Qt::white);
  palette.setColor(QPalette::Base, EDIT_BACKGROUND);
  palette.setColor(QPalette::Text, Qt::white);
  palette.setColor(QPalette::Button, EDIT_BACKGROUND);
  palette.setColor(QPalette::ButtonText, Qt::white);
  palette.setColor(QPalette::Highlight, QColor(120, 160, 255));
  dialog.setPalette(palette);
  dialog.setStyleSheet(dialogStyleSheet());
}

QString controlName(int id) {
  return QStringLiteral("id%1").arg(id);
}

QLabel* staticText(const QString& text, QWidget* parent) {
  return new QLabel(text, parent);
}

QPushButton* colourButton(int id, const QString& caption, const QColor& fill, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(controlName(id));
  button->setAutoDefault(false);
  button->setDefault(false);
  const QColor light = fill.lighter(150);
  const QColor dark = fill.darker(170);
  button->setStyleSheet(
      QStringLiteral("QPushButton { color: white; background-color: %1; padding: 4px 10px;"
                     "  border: 2px solid; border-color: %2 %3 %3 %2; }"
                     "QPushButton:pressed { border-color: %3 %2 %2 %3; padding: 5px 9px 3px 11px; }"
                     "QPushButton:focus { outline: none; border: 2px solid white; }")
          .arg(rgb(fill), rgb(light), rgb(dark)));
  return button;
}

void placeInsideOwner(QDialog& dialog, int x, int y) {
  // The main window, also for a dialog opened from another dialog.
  const QWidget* owner = dialog.parentWidget();
  if (!owner) return;
  while (owner->parentWidget()) owner = owner->parentWidget();
  const QRect area = owner->frameGeometry();
  const QSize size = dialog.sizeHint().expandedTo(dialog.minimumSizeHint());
  const int left =
      std::clamp(area.left() + x, area.left(), std::max(area.left(), area.right() - size.width()));
  const int top =
      std::clamp(area.top() + y, area.top(), std::max(area.top(), area.bottom() - size.height()));
  dialog.move(left, top);
}

}  // namespace quavrix
