#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: a fixed-size frame with the program's menu and one view
// widget directly under it. It owns the engine and turns menu commands into
// the engine's project commands; what it adds is about windows only (title,
// menus, focus, progress while a recording opens).

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "base/prompter.h"

class QAction;
class QMenu;

namespace quavrix {

struct Engine;
struct View;
class Artwork;
class CChildView;
class ProgressLog;

struct FrameOptions {
  // Path of the running program; empty = ask the system.
  std::string programPath;
  // Audio backend; empty = QUAVRIX_AUDIO or the sound card.
  std::string audioDevice;
  // Forced layout: 0 large, 1 small; -1 chooses by the screen (or QUAVRIX_LAYOUT).
  int smallLayout = -1;
  // Tests script the person; null = message boxes and file dialogs.
  Prompter* prompter = nullptr;
  FileChooser* files = nullptr;
  // Where the progress lines go besides the window; null = standard output.
  std::ostream* console = nullptr;
};

// Menu command ids.
enum MenuId : int {
  ID_OPEN_WAV = 32771,
  ID_OPEN_RECENT = 32804,
  ID_EXIT = 32779,
  ID_LOAD_DAT = 32774,
  ID_NEW_DAT = 32773,
  ID_SAVE_DAT = 32772,
  ID_SAVE_DAT_AS = 32809,
  ID_MIDI_SAVE = 32812,
  ID_EXPORT_MIDI = 32850,
  ID_UNDO = 57643,
  ID_REDO = 57644,
  ID_SETTINGS = 32801,
  ID_SHORTCUT_KEYS = 32813,
  ID_ABOUT = 57664,
  ID_EXPORT_SCORE = 32840,  // "Export score (MusicXML)..."
  ID_FIND_BEATS = 32820,
  ID_SUGGEST_NOTES = 32900,
  ID_ACCEPT_SUGGESTIONS = 32901,
  ID_HIDE_SUGGESTIONS = 32902,
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(const FrameOptions& options = {});
  ~CMainFrame() override;

  Engine& engine() { return *engine_; }
  View& view() { return *view_; }
  CChildView* childView() { return childView_; }
  QAction* action(int id) const;
  QMenu* topMenu(int position) const;

  // Runs the command of a menu item, as choosing it does.
  void runCommand(int id);
  // The recording (and project) named on the command line, after start-up.
  void openFromCommandLine(const std::string& wav, const std::string& dat);
  // The dialog the settings command shows; set by whoever provides it.
  void setSettingsDialog(std::function<void()> show) { settingsDialog_ = std::move(show); }
  // The settings command: the menu item and both gear buttons.
  void settingsCommand();

  // The size of the frame for a layout, around the view's client area.
  static QSize frameSize(bool small);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  // Opens a recording with progress shown; true on success.
  bool openWithProgress(const std::string& requested);
  // Runs `work` on another thread while the view shows `title` and what
  // `stage` says, polled; the window takes no commands meanwhile.
  void runWithProgress(const QString& title, const std::function<void()>& work,
                       const std::function<QString()>& stage);
  // The view's long work (FFT Mono) with the engine busy.
  void runBeside(const char* stage, const std::function<void()>& work);
  void openRecent();
  void afterCommand();
  void setMenusEnabled(bool enabled);
  void showShortcutKeys();
  void showAbout();
  void chooseAudioDevice(const std::string& requested);
  // "Suggest notes": the note model runs beside the window, which shows how
  // far it got; then the suggestions are drawn on the roll.
  void suggestNotes();

  std::unique_ptr<Prompter> ownPrompter_;
  std::unique_ptr<FileChooser> ownFiles_;
  std::unique_ptr<ProgressLog> progress_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<View> view_;
  std::unique_ptr<Artwork> artwork_;
  CChildView* childView_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* menus_[5] = {};
  std::function<void()> settingsDialog_;
  bool opening_ = false;
};

}  // namespace quavrix
