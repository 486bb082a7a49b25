// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/sound_font_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>

#include "base/paths.h"
#include "engine/engine.h"
#include "engine/settings_apply.h"
#include "persist/settings_file.h"
#include "synth/soundfont.h"
#include "synth/soundfont_select.h"
#include "ui/qt/colors_dlg.h"
#include "ui/qt/dialog_style.h"
#include "ui/qt/number_edit.h"

namespace quavrix {

namespace {

QString percentText(float level) {
  // In single precision, as the settings file writes levels: 0.67 shows 67.
  return QString::number(static_cast<int>(level * 100.0f));
}

int shownInterval(int interval) {
  return (interval < 0 || interval > MAX_MIDI_INTERVAL) ? 0 : interval;
}

}  // namespace

SoundFontDlg::SoundFontDlg(Settings& settings, SettingValues& values,
                           std::vector<std::string> presetNames, Prompter& prompter,
                           FileChooser& files, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      values_(values),
      presetNames_(std::move(presetNames)),
      prompter_(prompter),
      files_(files) {
  if (presetNames_.size() > static_cast<std::size_t>(DIALOG_PRESET_LIMIT))
    presetNames_.resize(DIALOG_PRESET_LIMIT);
  setWindowTitle(QStringLiteral("Settings"));
  setModal(true);
  QFont font(QStringLiteral("DejaVu Sans"), 9);
  // The Japanese captions come from the Japanese font.
  font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic")});
  setFont(font);
  build();
  // Filled whether or not a settings file was ever read: the dialog always
  // shows, and edits, the values in use.
  fill();
  placeInsideOwner(*this, 340, 80);
}

QLineEdit* SoundFontDlg::numberEdit(int id, int minimum, int maximum,
                                    std::function<void(int)> store, Mark mark) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(controlName(id));
  edit->setFixedWidth(54);
  edit->setAlignment(Qt::AlignRight);
  edit->setMaxLength(6);
  // Only a person's typing: filling the controls stores and marks nothing.
  connect(edit, &QLineEdit::textEdited, this, [this, edit, minimum, maximum, store, mark] {
    if (const auto value = checkNumberEdit(*edit, minimum, maximum)) {
      store(*value);
      this->mark(mark);
    }
  });
  // An edit left empty (or with a lone sign) takes what an empty text reads as.
  connect(edit, &QLineEdit::editingFinished, this, [this, edit, minimum, maximum, store, mark] {
    if (!readNumberText(edit->text()).unfinished) return;
    const int value = std::clamp(0, minimum, maximum);
    edit->setText(QString::number(value));
    store(value);
    this->mark(mark);
  });
  return edit;
}

void SoundFontDlg::fill() {
  initialised_ = 0;
  name_->setText(QString::fromStdString(values_.soundFontFile));
  wavLevel_->setText(percentText(values_.level[LEVEL_WAV]));
  midiLevel_->setText(percentText(values_.level[LEVEL_MIDI]));
  const int presets = static_cast<int>(presetNames_.size());
  for (int track = 0; track <= LAST_SETTING_TRACK; ++track) {
    Row& row = rows_[track];
    const int program = track == 0 ? values_.tickProgram : values_.trackProgram[track];
    const int level = track == 0 ? LEVEL_TICK : track + LEVEL_TRACK_OFFSET;
    row.velocity->setText(percentText(values_.level[level]));
    row.program->setText(QString::number(program));
    row.instrument->setCurrentIndex(program >= 1 && program <= presets ? program - 1 : -1);
    if (row.output) row.output->setChecked(values_.midiOutput[track] != 0);
  }
  tickNote_->setText(QString::number(values_.tickNote));
  singleNote_->setText(QString::number(values_.singleNoteDelay));
  timeLag_->setText(QString::number(values_.midiTiming));
  tuning_->setText(QString::number(values_.tuning));
  if (values_.cKeyTo < 0 || values_.cKeyTo > 11) values_.cKeyTo = 0;
  key_->setCurrentIndex(values_.cKeyTo);
  judging_->setText(QString::number(values_.judgingTolerance));
  autoFill_->setText(QString::number(values_.autoFillTolerance));
  magnification_->setText(QString::number(values_.displayMagnification));
  gridOnOpening_->setCurrentIndex(values_.gridOnOpening == GRID_FROM_BEATS ? 1 : 0);
  interval_->setValue(shownInterval(values_.midiInterval));
  tempoMap_->setChecked(values_.midiTempoMap != 0);
  initialised_ = 1;
}

void SoundFontDlg::mark(Mark mark) {
  if (!initialised_) return;
  ApplyFlags& flags = settings_.applyFlags;
  switch (mark) {
    case Mark::SoundFont:
      flags.soundFont = 1;
      break;
    case Mark::Programs:
      flags.programs = 1;
      break;
    case Mark::Sound:
      flags.sound = 1;
      break;
    case Mark::None:
      break;
  }
}

void SoundFontDlg::chooseInstrument(int track, int index) {
  if (!initialised_ || index < 0) return;
  const int program = index + 1;
  int& stored = track == 0 ? values_.tickProgram : values_.trackProgram[track];
  // Choosing the instrument already set changes nothing and keeps the dialog.
  if (stored == program) return;
  stored = program;
  rows_[track].program->setText(QString::number(program));
  mark(Mark::Programs);
  // Closed so that the caller applies the instrument and shows the dialog again.
  done(0);
}

void SoundFontDlg::stepInterval(int step) {
  if (!initialised_) return;
  const int next = std::clamp(shownInterval(values_.midiInterval) + step, 0, MAX_MIDI_INTERVAL);
  if (next == values_.midiInterval) return;
  values_.midiInterval = next;
  interval_->setValue(next);
  settings_.applyFlags.intervalChanged = 1;
}

void SoundFontDlg::storeSoundFontName(const std::string& path) {
  // The program's own bank is named without a folder: it is found beside the program.
  if (path.find(DEFAULT_SOUNDFONT_NAME) != std::string::npos) {
    values_.soundFontFile = DEFAULT_SOUNDFONT_NAME;
  } else if (path.size() <= SOUNDFONT_NAME_MAX) {
    values_.soundFontFile = path;
  }
}

void SoundFontDlg::openSoundFont() {
  FileDialogRequest request;
  request.defaultExtension = "sf2";
  request.initialName = "*.sf2";
  request.filterLabel = "SoundFont (*.sf2)";
  request.filterPattern = "*.sf2";
  const auto chosen = files_.choose(request);
  // Cancelled: nothing changes and the dialog stays.
  if (!chosen || chosen->empty()) return;
  name_->setText(QString::fromStdString(*chosen));
  if (fileExists(*chosen)) {
    storeSoundFontName(*chosen);
    mark(Mark::SoundFont);
  } else {
    prompter_.information(SOUNDFONT_NOT_FOUND_TEXT);
  }
  done(0);
}

bool SoundFontDlg::soundFontNameRight() {
  const std::string name = name_->text().toStdString();
  if (name.find(DEFAULT_SOUNDFONT_NAME) != std::string::npos || fileExists(name)) return true;
  prompter_.error(SOUNDFONT_NAME_WRONG);
  return false;
}

void SoundFontDlg::loadDefault() {
  loadSettings(settings_, std::string(), prompter_);
  fill();
  if (initialised_) settings_.applyFlags.soundFontChanged = 1;
}

void SoundFontDlg::saveDefault() {
  // The instrument names go into the file beside the programs; a name too
  // long for its entry leaves the entry as it was.
  for (int track = LAST_SETTING_TRACK; track >= 0; --track) {
    const std::string name = rows_[track].instrument->currentText().toStdString();
    if (name.size() > INSTRUMENT_NAME_MAX) continue;
    (track == 0 ? values_.tickInstrument : values_.trackInstrument[track]) = name;
  }
  if (!soundFontNameRight()) {
    prompter_.error(UPDATE_SETTINGS_FAILED);
    return;
  }
  if (!prompter_.confirm(SAVE_DEFAULT_QUESTION)) return;
  if (saveDefaultSettings(settings_) != 0)
    prompter_.error(DEFAULT_SETTINGS_NOT_WRITTEN + defaultSettingsTarget(settings_));
}

void SoundFontDlg::openColours() {
  ColorsDlg colours(settings_, values_, this);
  colours.exec();
}

void SoundFontDlg::keyPressEvent(QKeyEvent* event) {
  // Enter confirms nothing here: every edit is already stored.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void SoundFontDlg::reject() {
  if (!soundFontNameRight()) return;
  done(0);
}

void runSoundFontDlg(Engine& engine, QWidget* parent, QString* focus) {
  std::vector<std::string> names;
  if (engine.sampler.bank) names = dialogPresetNames(*engine.sampler.bank);
  SoundFontDlg dialog(engine.settings, engine.settings.values, std::move(names), *engine.prompter,
                      *engine.files, parent);
  if (focus && !focus->isEmpty()) {
    if (QWidget* control = dialog.findChild<QWidget*>(*focus)) control->setFocus();
  }
  dialog.exec();
  if (focus) *focus = dialog.focusWidget() ? dialog.focusWidget()->objectName() : QString();
}

}  // namespace quavrix
