#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The Settings dialog: the SoundFont, the instrument, level and export flag
// of every track and of the tick, and the sound, key, timing, beat-editor,
// display and MIDI export tempo values. Every edit goes into the settings at once and leaves a
// request for the apply step, which runs after the dialog has closed; a new
// SoundFont or instrument closes it so that the caller can apply and reopen.

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/prompter.h"
#include "persist/settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;

namespace quavrix {

struct Engine;

// Object name number of the "Grid on opening" choice, beside the ids of the
// dialog's other controls.
inline constexpr int GRID_ON_OPENING_ID = 1400;
inline constexpr const char* SOUNDFONT_NAME_WRONG = " Error : SOUNDFONT NAME is WRONG! ";
inline constexpr const char* UPDATE_SETTINGS_FAILED = " ERR : update settings. ";
inline constexpr const char* SAVE_DEFAULT_QUESTION = " SAVE : Are you sure?";
inline constexpr const char* SOUNDFONT_NOT_FOUND_TEXT = "Can not found soundfont";
inline constexpr const char* DEFAULT_SETTINGS_NOT_WRITTEN =
    " ERR : the default settings file could not be written. \n";

class SoundFontDlg : public QDialog {
  Q_OBJECT

 public:
  // `presetNames` are the bank's presets in list order (at most 510); their
  // count is the highest program number.
  SoundFontDlg(Settings& settings, SettingValues& values, std::vector<std::string> presetNames,
               Prompter& prompter, FileChooser& files, QWidget* parent = nullptr);

  // 1 once the controls are filled; edits before that mark nothing.
  int initialised() const { return initialised_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The close box and Escape: only with a SoundFont name that can be used.
  void reject() override;

 private:
  // One track line of the table; entry 0 is the tick line (no check box).
  struct Row {
    QLineEdit* program = nullptr;
    QComboBox* instrument = nullptr;
    QLineEdit* velocity = nullptr;
    QCheckBox* output = nullptr;
  };
  enum class Mark { None, SoundFont, Programs, Sound };

  void build();
  QWidget* buildTable();
  QWidget* buildRightColumn();
  QLineEdit* numberEdit(int id, int minimum, int maximum, std::function<void(int)> store,
                        Mark mark);
  void fill();
  void mark(Mark mark);
  void chooseInstrument(int track, int index);
  void stepInterval(int step);
  void openSoundFont();
  void loadDefault();
  void saveDefault();
  void openColours();
  bool soundFontNameRight();
  void storeSoundFontName(const std::string& path);

  Settings& settings_;
  SettingValues& values_;
  std::vector<std::string> presetNames_;
  Prompter& prompter_;
  FileChooser& files_;
  std::array<Row, 8> rows_{};
  QLineEdit* name_ = nullptr;
  QLineEdit* wavLevel_ = nullptr;
  QLineEdit* midiLevel_ = nullptr;
  QLineEdit* tickNote_ = nullptr;
  QLineEdit* timeLag_ = nullptr;
  QLineEdit* tuning_ = nullptr;
  QComboBox* key_ = nullptr;
  QLineEdit* judging_ = nullptr;
  // What a newly opened recording's grid starts from: onsets or tracked beats.
  QComboBox* gridOnOpening_ = nullptr;
  QLineEdit* autoFill_ = nullptr;
  QLineEdit* singleNote_ = nullptr;
  QLineEdit* magnification_ = nullptr;
  QProgressBar* interval_ = nullptr;
  QCheckBox* tempoMap_ = nullptr;
  int initialised_ = 0;
};

// Shows the Settings dialog modally over the engine's settings and the
// presets of its bank (none without a bank); returns when it closes. With
// `focus`, the control named there has the focus when the dialog opens and
// the one that had it last is named there when it closes, so that a person
// choosing instruments with the keys goes on where the dialog reopened.
void runSoundFontDlg(Engine& engine, QWidget* parent, QString* focus = nullptr);

}  // namespace quavrix
