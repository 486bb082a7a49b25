#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The Colour Settings dialog: the key colours of the piano roll, the three
// kinds of grid line, the note-guessing curve, the playhead and the notes of every track,
// each as percent values. Edits go into the colour records at once; the view
// takes them up when the Settings dialog it was opened from has closed.

#include <QDialog>
#include <vector>

#include "persist/settings.h"

class QGridLayout;
class QLineEdit;

namespace quavrix {

struct ColourRow;

class ColorsDlg : public QDialog {
  Q_OBJECT

 public:
  // The record index of the playhead's row, whose colour is not one of the table's.
  static constexpr int PLAYHEAD_RECORD = -1;

  ColorsDlg(Settings& settings, SettingValues& values, QWidget* parent = nullptr);

 private:
  struct Field {
    QLineEdit* edit = nullptr;
    int record = 0;
    std::int32_t ColourRecord::*member = nullptr;
  };

  void addRows(QGridLayout& grid, int firstRow, const ColourRow* rows, int count, int columns);
  void valueCheck(const Field& field);
  ColourRecord& record(int index);

  Settings& settings_;
  SettingValues& values_;
  std::vector<Field> fields_;
};

}  // namespace quavrix
