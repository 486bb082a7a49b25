// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of the Settings dialog and where they sit. Tab order follows
// the rows: the SoundFont line, the levels, the track table line by line,
// then the right-hand column top to bottom.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/settings_apply.h"
#include "ui/qt/dialog_style.h"
#include "ui/qt/sound_font_dlg.h"

namespace quavrix {

namespace {

// Control ids of the track lines 1..7 (entry 0: the tick line).
constexpr std::array<int, 8> PROGRAM_IDS = {1296, 1314, 1323, 1332, 1341, 1350, 1359, 1368};
constexpr std::array<int, 8> LIST_IDS = {1373, 1312, 1322, 1331, 1340, 1349, 1358, 1367};
constexpr std::array<int, 8> VELOCITY_IDS = {1297, 1316, 1325, 1334, 1343, 1352, 1361, 1371};
constexpr std::array<int, 8> OUTPUT_IDS = {0, 1317, 1326, 1335, 1344, 1353, 1362, 1372};

const char* const KEY_NAMES[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B"};

// Static texts stacked one under the other.
QWidget* captions(std::initializer_list<const char*> lines, QWidget* parent,
                  Qt::Alignment align = Qt::AlignLeft) {
  auto* box = new QWidget(parent);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (const char* line : lines) {
    QLabel* label = staticText(QString::fromUtf8(line), box);
    label->setAlignment(align);
    column->addWidget(label);
  }
  return box;
}

QComboBox* dropDown(int id, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(controlName(id));
  list->setMaxVisibleItems(20);
  return list;
}

}  // namespace

void SoundFontDlg::build() {
  applyDialogColours(*this);
  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(12, 12, 12, 12);
  columns->setSpacing(14);
  columns->addWidget(buildTable(), 0, Qt::AlignTop);
  columns->addWidget(buildRightColumn(), 0, Qt::AlignTop);
  // Tab follows the rows whatever the layouts did to the widgets' order.
  QWidget* previous = nullptr;
  for (QWidget* w : findChildren<QWidget*>()) {
    if (w->objectName().startsWith(QStringLiteral("id")) && w->focusPolicy() & Qt::TabFocus) {
      if (previous) setTabOrder(previous, w);
      previous = w;
    }
  }
}

QWidget* SoundFontDlg::buildTable() {
  auto* table = new QWidget(this);
  auto* grid = new QGridLayout(table);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(5);
  const auto percent = [this](int level) {
    return [this, level](int v) { values_.level[level] = static_cast<float>(v) / 100.0f; };
  };

  // The SoundFont line and the two overall levels.
  int row = 0;
  grid->addWidget(staticText(QStringLiteral(".SF2"), table), row, 0, Qt::AlignRight);
  name_ = new QLineEdit(table);
  name_->setObjectName(controlName(1291));
  name_->setReadOnly(true);
  grid->addWidget(name_, row, 1, 1, 3);
  QPushButton* open = colourButton(1294, QStringLiteral("OPEN"), QColor(60, 100, 60), table);
  connect(open, &QPushButton::clicked, this, [this] { openSoundFont(); });
  grid->addWidget(open, row, 4, 1, 2);
  ++row;
  auto* levels = new QHBoxLayout;
  levels->setSpacing(6);
  levels->addWidget(staticText(QStringLiteral("WAV"), table));
  wavLevel_ = numberEdit(1375, 0, 100, percent(LEVEL_WAV), Mark::Sound);
  levels->addWidget(wavLevel_);
  levels->addSpacing(16);
  levels->addWidget(staticText(QStringLiteral("MIDI"), table));
  midiLevel_ = numberEdit(1292, 0, 100, percent(LEVEL_MIDI), Mark::Sound);
  levels->addWidget(midiLevel_);
  levels->addStretch();
  grid->addLayout(levels, row, 1, 1, 5);
  ++row;
  grid->setRowMinimumHeight(row++, 6);

  // The column headings.
  grid->addWidget(captions({"TRACK", "- No. -"}, table, Qt::AlignHCenter), row, 0);
  grid->addWidget(captions({"PC Num", "TIMBRE"}, table, Qt::AlignHCenter), row, 1);
  grid->addWidget(captions({"I n s t r u m e n t  N a m e"}, table, Qt::AlignHCenter), row, 2,
                  Qt::AlignBottom);
  grid->addWidget(captions({"V E L O C I T I E S"}, table, Qt::AlignHCenter), row, 3,
                  Qt::AlignBottom);
  grid->addWidget(captions({".MID", "output"}, table, Qt::AlignHCenter), row, 4);
  ++row;

  QStringList names;
  for (const std::string& name : presetNames_) names << QString::fromStdString(name);
  const int presets = static_cast<int>(presetNames_.size());
  const auto addLine = [&](int track, QWidget* label) {
    Row& line = rows_[track];
    grid->addWidget(label, row, 0, Qt::AlignCenter);
    line.program = numberEdit(
        PROGRAM_IDS[track], 0, presets,
        [this, track](int v) {
          (track == 0 ? values_.tickProgram : values_.trackProgram[track]) = v;
          rows_[track].instrument->setCurrentIndex(v - 1);
        },
        Mark::Programs);
    grid->addWidget(line.program, row, 1, Qt::AlignCenter);
    line.instrument = dropDown(LIST_IDS[track], table);
    line.instrument->addItems(names);
    line.instrument->setMinimumContentsLength(19);
    connect(line.instrument, &QComboBox::activated, this,
            [this, track](int index) { chooseInstrument(track, index); });
    grid->addWidget(line.instrument, row, 2);
    line.velocity =
        numberEdit(VELOCITY_IDS[track], 0, 100,
                   percent(track == 0 ? LEVEL_TICK : track + LEVEL_TRACK_OFFSET), Mark::Sound);
    grid->addWidget(line.velocity, row, 3, Qt::AlignCenter);
  };
  for (int track = FIRST_SETTING_TRACK; track <= LAST_SETTING_TRACK; ++track) {
    addLine(track, staticText(QStringLiteral("- %1 -").arg(track), table));
    Row& line = rows_[track];
    line.output = new QCheckBox(table);
    line.output->setObjectName(controlName(OUTPUT_IDS[track]));
    connect(line.output, &QCheckBox::clicked, this,
            [this, track](bool on) { values_.midiOutput[track] = on ? 1 : 0; });
    grid->addWidget(line.output, row, 4, Qt::AlignCenter);
    if (track == 1) grid->addWidget(staticText(QStringLiteral("(rec. BASS)"), table), row, 5);
    ++row;
  }
  addLine(0, captions({"Tick", "tack"}, table, Qt::AlignHCenter));
  tickNote_ = numberEdit(
      1374, 0, 81, [this](int v) { values_.tickNote = v; }, Mark::Programs);
  auto* note = new QVBoxLayout;
  note->setSpacing(0);
  note->addWidget(staticText(QStringLiteral("NOTE"), table), 0, Qt::AlignHCenter);
  note->addWidget(tickNote_, 0, Qt::AlignHCenter);
  grid->addLayout(note, row, 4);
  grid->addWidget(staticText(QStringLiteral("(rec.  36: KICK)"), table), row, 5, Qt::AlignBottom);
  return table;
}

QWidget* SoundFontDlg::buildRightColumn() {
  auto* column = new QWidget(this);
  auto* stack = new QVBoxLayout(column);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(8);

  auto* frame = new QFrame(column);
  frame->setObjectName(QStringLiteral("group"));
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(10, 14, 10, 10);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);
  int row = 0;
  const auto item = [&](QWidget* caption, QWidget* control, const char* unit) {
    grid->addWidget(caption, row, 0, Qt::AlignVCenter);
    grid->addWidget(control, row, 1, Qt::AlignVCenter);
    if (unit) grid->addWidget(staticText(QString::fromUtf8(unit), frame), row, 2);
    ++row;
  };
  timeLag_ = numberEdit(
      1380, 0, 100, [this](int v) { values_.midiTiming = v; }, Mark::Sound);
  item(captions({"WAV - MIDI", "TIME LAG"}, frame), timeLag_, "0-100 mSec");
  tuning_ = numberEdit(
      1379, -100, 100, [this](int v) { values_.tuning = v; }, Mark::Sound);
  item(captions({"TUNING", "440Hz"}, frame), tuning_, "- / + cent");
  key_ = dropDown(1387, frame);
  for (const char* name : KEY_NAMES) key_->addItem(QString::fromUtf8(name));
  connect(key_, &QComboBox::activated, this, [this](int index) {
    values_.cKeyTo = index;
    mark(Mark::Sound);
  });
  item(captions({"Piano Roll", "CHANGE", "C  Key  to"}, frame), key_, "Key");
  judging_ = numberEdit(
      1207, 0, 20, [this](int v) { values_.judgingTolerance = v; }, Mark::Sound);
  item(captions({"BEAT  EDITOR", "TOL cent.", "interval JUDGE"}, frame), judging_, nullptr);
  autoFill_ = numberEdit(
      1206, 0, 20, [this](int v) { values_.autoFillTolerance = v; }, Mark::Sound);
  item(captions({"AutoFilling"}, frame), autoFill_, nullptr);
  singleNote_ = numberEdit(
      1376, 0, 32, [this](int v) { values_.singleNoteDelay = v; }, Mark::None);
  item(captions({"Single NOTE", "DELAY"}, frame), singleNote_, nullptr);
  magnification_ = numberEdit(
      1272, 1, 10, [this](int v) { values_.displayMagnification = v; }, Mark::Sound);
  item(captions({"Note Guessing", "Display Y-axis mag."}, frame), magnification_, "x  [ 0 to 10 ]");
  gridOnOpening_ = dropDown(GRID_ON_OPENING_ID, frame);
  gridOnOpening_->addItem(QStringLiteral("onsets"));
  gridOnOpening_->addItem(QStringLiteral("beats"));
  connect(gridOnOpening_, &QComboBox::activated, this, [this](int index) {
    values_.gridOnOpening = index == 1 ? GRID_FROM_BEATS : GRID_FROM_ONSETS;
  });
  item(captions({"Grid on opening"}, frame), gridOnOpening_, nullptr);
  // Takes effect at the next export; nothing to apply.
  tempoMap_ = new QCheckBox(QStringLiteral("follows the grid"), frame);
  tempoMap_->setObjectName(controlName(1391));
  tempoMap_->setStyleSheet(QStringLiteral("QCheckBox { color: white; }"));
  tempoMap_->setToolTip(QStringLiteral("Off: one tempo, from the first beat of the range"));
  connect(tempoMap_, &QCheckBox::clicked, this,
          [this](bool on) { values_.midiTempoMap = on ? 1 : 0; });
  grid->addWidget(captions({".MID  TEMPO"}, frame), row, 0, Qt::AlignVCenter);
  grid->addWidget(tempoMap_, row++, 1, 1, 2, Qt::AlignVCenter);
  stack->addWidget(frame);

  // The MIDI interval: a bar between two step buttons.
  stack->addWidget(captions({"MIDI Interval調整 mSec"}, column));
  auto* bar = new QHBoxLayout;
  bar->setSpacing(4);
  const auto stepButton = [&](int id, const char* text, int step) {
    auto* button = new QPushButton(QString::fromUtf8(text), column);
    button->setObjectName(controlName(id));
    button->setAutoDefault(false);
    button->setFixedWidth(30);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background-color: rgb(80, 80, 80);"
                       "  border: 1px solid rgb(140, 140, 140); padding: 2px; }"
                       "QPushButton:pressed { background-color: rgb(60, 60, 60); }"
                       "QPushButton:focus { border: 1px solid white; }"));
    connect(button, &QPushButton::clicked, this, [this, step] { stepInterval(step); });
    return button;
  };
  QPushButton* down = stepButton(1385, "◀", -1);
  interval_ = new QProgressBar(column);
  interval_->setObjectName(controlName(1382));
  interval_->setRange(0, MAX_MIDI_INTERVAL);
  interval_->setFormat(QStringLiteral("%v"));
  interval_->setFixedHeight(20);
  interval_->setStyleSheet(
      QStringLiteral("QProgressBar { background-color: rgb(32, 32, 32); color: white;"
                     "  border: 1px solid rgb(120, 120, 120); text-align: center; }"
                     "QProgressBar::chunk { background-color: rgb(224, 128, 128); }"));
  QPushButton* up = stepButton(1386, "▶", 1);
  bar->addWidget(down);
  bar->addWidget(interval_, 1);
  bar->addWidget(up);
  stack->addLayout(bar);
  stack->addWidget(captions({"[大きいと音飛びしやすくなります]"}, column));

  // DEFAULT, NEXT PAGE and CLOSE.
  auto* buttons = new QGridLayout;
  buttons->setHorizontalSpacing(8);
  buttons->setVerticalSpacing(3);
  buttons->addWidget(staticText(QStringLiteral("DEFAULT"), column), 0, 0, 1, 2, Qt::AlignHCenter);
  buttons->addWidget(staticText(QStringLiteral("NEXT PAGE"), column), 0, 2, Qt::AlignHCenter);
  QPushButton* load = colourButton(1252, QStringLiteral("LOAD"), QColor(30, 100, 30), column);
  QPushButton* save = colourButton(1253, QStringLiteral("SAVE"), QColor(100, 30, 30), column);
  QPushButton* colours =
      colourButton(1213, QStringLiteral("Color Settings"), QColor(80, 80, 150), column);
  buttons->addWidget(load, 1, 0);
  buttons->addWidget(save, 1, 1);
  buttons->addWidget(colours, 1, 2);
  QPushButton* close = colourButton(1290, QStringLiteral("CLOSE"), QColor(150, 150, 20), column);
  buttons->setRowMinimumHeight(2, 6);
  buttons->addWidget(close, 3, 0, 1, 3);
  stack->addLayout(buttons);

  connect(load, &QPushButton::clicked, this, [this] { loadDefault(); });
  connect(save, &QPushButton::clicked, this, [this] { saveDefault(); });
  connect(colours, &QPushButton::clicked, this, [this] { openColours(); });
  connect(close, &QPushButton::clicked, this, [this] { done(0); });
  return column;
}

}  // namespace quavrix
