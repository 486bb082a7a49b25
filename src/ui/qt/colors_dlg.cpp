// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/colors_dlg.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "ui/qt/dialog_style.h"
#include "ui/qt/number_edit.h"

namespace quavrix {

// One line of the dialog: its label, its colour record (PLAYHEAD_RECORD for
// the playhead's own) and the ids of its edits for R, G, B, alpha (head) and
// thickness (tail); 0 = no edit.
struct ColourRow {
  const char* label;
  int record;
  std::array<int, 5> ids;
};

namespace {

constexpr std::int32_t ColourRecord::*MEMBERS[5] = {
    &ColourRecord::r, &ColourRecord::g, &ColourRecord::b, &ColourRecord::a, &ColourRecord::t};

constexpr ColourRow KEY_ROWS[] = {
    {"Ivory WHITE", COLOUR_IVORY_KEY, {1282, 1280, 1278, 0, 0}},
    {"Ivory   C", COLOUR_IVORY_KEY_C, {1283, 1281, 1279, 0, 0}},
    {"Ebony BLACK", COLOUR_EBONY_KEY, {1267, 1266, 1265, 0, 0}},
};
constexpr ColourRow LINE_ROWS[] = {
    {"BAR", COLOUR_BAR_LINES, {1204, 1203, 1202, 1201, 1205}},
    {"BEAT", COLOUR_BEAT_LINES, {1211, 1210, 1209, 1208, 1212}},
    {"DIVISION", COLOUR_DIV_LINES, {1260, 1258, 1256, 1254, 1262}},
    {"NOTE GUESSING", COLOUR_NOTE_GUESSING, {1287, 1286, 1285, 1284, 1288}},
    {"PLAYHEAD", ColorsDlg::PLAYHEAD_RECORD, {1300, 1301, 1302, 1303, 1304}},
};
// Track 7 at the top, as the roll's tracks stand in the toolbar.
constexpr ColourRow TRACK_ROWS[] = {
    {"7", 7 + COLOUR_TRACK_OFFSET, {1249, 1248, 1247, 1245, 1246}},
    {"6", 6 + COLOUR_TRACK_OFFSET, {1244, 1243, 1242, 1240, 1241}},
    {"5", 5 + COLOUR_TRACK_OFFSET, {1239, 1238, 1237, 1235, 1236}},
    {"4", 4 + COLOUR_TRACK_OFFSET, {1234, 1233, 1232, 1230, 1231}},
    {"3", 3 + COLOUR_TRACK_OFFSET, {1229, 1228, 1227, 1225, 1226}},
    {"2", 2 + COLOUR_TRACK_OFFSET, {1224, 1223, 1222, 1220, 1221}},
    {"1", 1 + COLOUR_TRACK_OFFSET, {1219, 1218, 1217, 1215, 1216}},
};

QGroupBox* group(const char* title, QWidget* parent) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  box->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
  return box;
}

// Every group's columns line up with the others': the same label width and
// the spare room at the right.
QGridLayout* groupGrid(QGroupBox* box, int labelWidth) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(10, 12, 10, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  grid->setColumnMinimumWidth(0, labelWidth);
  grid->setColumnStretch(7, 1);
  return grid;
}

void headings(QGridLayout& grid, int row, std::initializer_list<const char*> texts,
              QWidget* parent) {
  int column = 1;
  for (const char* text : texts) {
    if (*text) {
      QLabel* label = staticText(QString::fromUtf8(text), parent);
      label->setAlignment(Qt::AlignCenter);
      grid.addWidget(label, row, column);
    }
    ++column;
  }
}

}  // namespace

ColorsDlg::ColorsDlg(Settings& settings, SettingValues& values, QWidget* parent)
    : QDialog(parent), settings_(settings), values_(values) {
  setWindowTitle(QStringLiteral("Color Settings"));
  setModal(true);
  applyDialogColours(*this);
  // In the style sheet: a font set on the widget would give way to the style
  // sheet of the Settings dialog around it.
  setStyleSheet(styleSheet() +
                QStringLiteral("* { font-family: \"DejaVu Sans Mono\", monospace; font-size: 12pt;"
                               "  font-weight: bold; }"
                               "QLineEdit { padding: 0px 3px; }"));

  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(12, 8, 12, 10);
  stack->setSpacing(4);

  const QFont mono(QStringLiteral("DejaVu Sans Mono"), 12, QFont::Bold);
  const int labelWidth = QFontMetrics(mono).horizontalAdvance(QStringLiteral("NOTE GUESSING")) + 12;
  QGroupBox* keys = group("Keys", this);
  QGridLayout* keyGrid = groupGrid(keys, labelWidth);
  keyGrid->addWidget(staticText(QStringLiteral("R G B"), keys), 0, 1, 1, 3, Qt::AlignCenter);
  addRows(*keyGrid, 1, KEY_ROWS, 3, 3);
  stack->addWidget(keys);

  QGroupBox* lines = group("Lines", this);
  QGridLayout* lineGrid = groupGrid(lines, labelWidth);
  headings(*lineGrid, 0, {"", "", "", "", "", "Line"}, lines);
  headings(*lineGrid, 1, {"R", "G", "B", "Alpha", "", "Thickness"}, lines);
  addRows(*lineGrid, 2, LINE_ROWS, 5, 5);
  stack->addWidget(lines);

  QGroupBox* tracks = group("TRACK", this);
  QGridLayout* trackGrid = groupGrid(tracks, labelWidth);
  headings(*trackGrid, 0, {"R", "G", "B", "HEAD", "TAIL"}, tracks);
  addRows(*trackGrid, 1, TRACK_ROWS, 7, 5);
  trackGrid->addWidget(staticText(QStringLiteral("(rec. BASS)"), tracks), 7, 6);
  stack->addWidget(tracks);

  QPushButton* back = colourButton(1251, QStringLiteral("Go BACK"), QColor(100, 30, 30), this);
  connect(back, &QPushButton::clicked, this, [this] { done(0); });
  stack->addWidget(back, 0, Qt::AlignRight);

  // Tab follows the rows, top to bottom, left to right.
  for (std::size_t i = 1; i < fields_.size(); ++i)
    setTabOrder(fields_[i - 1].edit, fields_[i].edit);
  setTabOrder(fields_.back().edit, back);
  placeInsideOwner(*this, 670, 80);
}

void ColorsDlg::addRows(QGridLayout& grid, int firstRow, const ColourRow* rows, int count,
                        int columns) {
  QWidget* parent = grid.parentWidget();
  for (int i = 0; i < count; ++i) {
    const ColourRow& row = rows[i];
    const int line = firstRow + i;
    grid.addWidget(staticText(QString::fromUtf8(row.label), parent), line, 0);
    int column = 1;
    for (int c = 0; c < columns; ++c, ++column) {
      // Line rows have a "-" between their alpha and their thickness.
      const bool lineRow = (row.record >= COLOUR_BAR_LINES && row.record <= COLOUR_NOTE_GUESSING) ||
                           row.record == PLAYHEAD_RECORD;
      if (c == 4 && lineRow) {
        QLabel* dash = staticText(QStringLiteral("-"), parent);
        dash->setAlignment(Qt::AlignCenter);
        grid.addWidget(dash, line, column++);
      }
      auto* edit = new QLineEdit(parent);
      edit->setObjectName(controlName(row.ids[c]));
      edit->setFixedWidth(52);
      edit->setAlignment(Qt::AlignRight);
      edit->setMaxLength(5);
      const Field field{edit, row.record, MEMBERS[c]};
      edit->setText(QString::number(record(row.record).*field.member));
      connect(edit, &QLineEdit::textEdited, this, [this, field] { valueCheck(field); });
      fields_.push_back(field);
      grid.addWidget(edit, line, column);
    }
  }
}

ColourRecord& ColorsDlg::record(int index) {
  return index == PLAYHEAD_RECORD ? values_.playhead : values_.colours[index];
}

void ColorsDlg::valueCheck(const Field& field) {
  // An empty edit (or a lone sign) counts as 0 and keeps what was typed.
  const int value = checkNumberEdit(*field.edit, 0, 100).value_or(0);
  record(field.record).*field.member = value;
  settings_.applyFlags.colours = 1;
}

}  // namespace quavrix
