// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <iostream>
#include <thread>

#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/find_beats.h"
#include "engine/midi_commands.h"
#include "engine/project.h"
#include "engine/project_open.h"
#include "engine/score_export.h"
#include "engine/settings_apply.h"
#include "engine/suggestions.h"
#include "engine/transport.h"
#include "ui/model/layout.h"
#include "ui/model/progress_log.h"
#include "ui/model/settings_command.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/artwork.h"
#include "ui/qt/child_view.h"
#include "ui/qt/qt_prompter.h"
#include "ui/qt/sound_font_dlg.h"

namespace quavrix {

namespace {

bool chooseSmallLayout(int forced) {
  if (forced >= 0) return forced != 0;
  const QByteArray env = qgetenv("QUAVRIX_LAYOUT");
  if (env == "small") return true;
  if (env == "large") return false;
  // Device-independent pixels: a high-DPI screen of the large size draws the
  // large layout crisp instead of a tiny window.
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const QSize size = screen->size();
  return smallLayoutFor(size.width(), size.height());
}

// The progress lines, as a musician reads them.
QString stageText(const std::string& line) {
  if (line.rfind("reading", 0) == 0) return QStringLiteral("Reading the recording...");
  if (line.rfind("beat detection", 0) == 0) return QStringLiteral("Finding the beats...");
  if (line.rfind("open AUDIO", 0) == 0) return QStringLiteral("Opening the audio device...");
  if (line.rfind("FFT", 0) == 0) return QStringLiteral("Preparing the display...");
  return QStringLiteral("Starting...");
}

}  // namespace

QSize CMainFrame::frameSize(bool small) {
  return small ? QSize(1358, 726) : QSize(1910, 1020);
}

CMainFrame::CMainFrame(const FrameOptions& options) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  const bool small = chooseSmallLayout(options.smallLayout);
  Prompter* prompter = options.prompter;
  if (!prompter) {
    ownPrompter_ = std::make_unique<QtPrompter>(this);
    prompter = ownPrompter_.get();
  }
  FileChooser* files = options.files;
  if (!files) {
    ownFiles_ = std::make_unique<QtFileChooser>(this);
    files = ownFiles_.get();
  }
  progress_ = std::make_unique<ProgressLog>(options.console ? *options.console : std::cout);

  EngineOptions engineOptions;
  engineOptions.programPath = options.programPath;
  engineOptions.prompter = prompter;
  engineOptions.files = files;
  engineOptions.smallLayout = small;
  engineOptions.audioDevice = options.audioDevice;
  engineOptions.console = &progress_->stream();
  engine_ = createEngine(engineOptions);
  view_ = std::make_unique<View>(*engine_);
  linkView(*view_, small);
  artwork_ = std::make_unique<Artwork>();

  childView_ = new CChildView(*view_, *artwork_, this);
  view_->openSettings = [this] { settingsCommand(); };
  view_->runBeside = [this](const char* stage, const std::function<void()>& work) {
    runBeside(stage, work);
  };
  setSettingsDialog(
      [this, focus = QString()]() mutable { runSoundFontDlg(*engine_, this, &focus); });
  setCentralWidget(childView_);
  buildMenu();
  setMenusEnabled(false);
  setWindowTitle(QString::fromStdString(engine_->title));
  // Exactly the client area under the menu bar: nothing of the toolkit's own around it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  connect(childView_, &CChildView::ticked, this, [this] {
    if (!opening_) setWindowTitle(QString::fromStdString(engine_->title));
  });
  childView_->setFocus();
  chooseAudioDevice(options.audioDevice);
}

CMainFrame::~CMainFrame() {
  // The view and its timer go before the engine and the view state they draw.
  delete childView_;
  childView_ = nullptr;
}

void CMainFrame::chooseAudioDevice(const std::string&) {
  std::string reason;
  if (probeAudioDevice(*engine_, &reason)) return;
  std::cerr << "quavrix: no sound device could be opened (" << reason << "); playing silently.\n";
  // Said once, without holding up the start.
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromUtf8(APP_CAPTION),
                              QStringLiteral("No sound device could be opened:\n%1\n\n"
                                             "Quavrix works on, silently.")
                                  .arg(QString::fromStdString(reason)),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  QTimer::singleShot(0, box, [box] { box->show(); });
}

void CMainFrame::buildMenu() {
  struct Item {
    int id;  // 0 = separator
    const char* text;
  };
  struct Popup {
    const char* title;
    std::vector<Item> items;
  };
  const Popup popups[] = {
      {"    Wav    ",
       {{ID_OPEN_WAV, "OPEN       .W A V "},
        {0, nullptr},
        {ID_OPEN_RECENT, "OPEN  RECENT  .W A V  and  .D A T"},
        {0, nullptr},
        {ID_EXIT, "EXIT"}}},
      {"    Dat    ",
       {{ID_LOAD_DAT, "L O A D             .DAT"},
        {0, nullptr},
        {ID_NEW_DAT, "N E W                .DAT"},
        {0, nullptr},
        {0, nullptr},
        {ID_SAVE_DAT, "S A V E              .DAT"},
        {0, nullptr},
        {ID_SAVE_DAT_AS, "S A V E   AS      .DAT"},
        {0, nullptr},
        {0, nullptr},
        {ID_MIDI_SAVE, "M I D I   SAVE   .MID"},
        {ID_EXPORT_MIDI, "Export MIDI..."},
        {0, nullptr},
        {ID_EXPORT_SCORE, "Export score (MusicXML)..."}}},
      {"    Edit    ",
       {{ID_UNDO, "Undo\tCtrl+Z"},
        {0, nullptr},
        {ID_REDO, "Redo\tCtrl+Y"},
        {0, nullptr},
        {ID_FIND_BEATS, "Find beats"},
        {0, nullptr},
        {ID_SUGGEST_NOTES, "Suggest notes"},
        {ID_ACCEPT_SUGGESTIONS, "Accept suggestions in view"},
        {ID_HIDE_SUGGESTIONS, "Hide suggestions"}}},
      {"    Setting    ", {{ID_SETTINGS, "SETTING MENU"}}},
      {"    Help   ", {{ID_SHORTCUT_KEYS, "Short Cut Key"}, {ID_ABOUT, "about QUAVRIX"}}},
  };
  int position = 0;
  for (const Popup& popup : popups) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popup.title));
    menu->setSeparatorsCollapsible(false);
    for (const Item& item : popup.items) {
      if (item.id == 0) {
        menu->addSeparator();
        continue;
      }
      // The text after a tab is only shown; the view itself handles the keys.
      QAction* action = menu->addAction(QString::fromUtf8(item.text));
      action->setData(item.id);
      const int id = item.id;
      action->setCheckable(id == ID_HIDE_SUGGESTIONS);
      connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
      actions_[id] = action;
    }
    menus_[position++] = menu;
  }
}

QAction* CMainFrame::action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* CMainFrame::topMenu(int position) const {
  return position >= 0 && position < 5 ? menus_[position] : nullptr;
}

void CMainFrame::setMenusEnabled(bool enabled) {
  for (int position = 1; position <= 3; ++position)
    menus_[position]->menuAction()->setEnabled(enabled);
}

void CMainFrame::afterCommand() {
  setWindowTitle(QString::fromStdString(engine_->title));
  setMenusEnabled(engine_->menusEnabled);
  // Load, Open Recent and the settings bring settings of another project.
  viewAfterSettings(*view_);
  childView_->drawNow();
  childView_->setFocus();
}

void CMainFrame::runCommand(int id) {
  if (opening_) return;
  Engine& e = *engine_;
  switch (id) {
    case ID_OPEN_WAV:
      openWithProgress(std::string());
      break;
    case ID_OPEN_RECENT:
      openRecent();
      break;
    case ID_EXIT:
      close();
      return;
    case ID_LOAD_DAT:
      loadProjectData(e);
      break;
    case ID_NEW_DAT:
      newProjectData(e);
      break;
    case ID_SAVE_DAT:
      saveProjectData(e);
      break;
    case ID_SAVE_DAT_AS:
      saveProjectDataAs(e);
      break;
    case ID_MIDI_SAVE:
      toggleEditorForMidiSave(e);
      break;
    case ID_EXPORT_MIDI:
      exportMidiAs(e);
      break;
    case ID_EXPORT_SCORE:
      exportScore(e);
      break;
    case ID_UNDO:
      undoNoteEdit(e);
      break;
    case ID_REDO:
      redoNoteEdit(e);
      break;
    case ID_FIND_BEATS:
      findBeats(e);
      break;
    case ID_SUGGEST_NOTES:
      suggestNotes();
      break;
    case ID_ACCEPT_SUGGESTIONS:
      acceptSuggestionsInView(e);
      break;
    case ID_HIDE_SUGGESTIONS:
      setSuggestionsShown(e, !e.suggestions.shown);
      action(ID_HIDE_SUGGESTIONS)->setChecked(!e.suggestions.shown);
      break;
    case ID_SETTINGS:
      settingsCommand();
      break;
    case ID_SHORTCUT_KEYS:
      showShortcutKeys();
      break;
    case ID_ABOUT:
      showAbout();
      break;
    default:
      return;
  }
  afterCommand();
}

void CMainFrame::settingsCommand() {
  quavrix::settingsCommand(*view_, settingsDialog_);
  afterCommand();
}

bool CMainFrame::openWithProgress(const std::string& requested) {
  Engine& e = *engine_;
  const int wasBusy = e.busy;
  e.busy = 1;
  opening_ = true;
  menuBar()->setEnabled(false);
  const auto restore = [&](bool opened) {
    if (!opened) e.busy = wasBusy;
    opening_ = false;
    menuBar()->setEnabled(true);
    childView_->setProgress(QString());
    if (opened) {
      clearSuggestions(e);
      action(ID_HIDE_SUGGESTIONS)->setChecked(false);
      viewAfterOpen(*view_);
    }
    afterCommand();
    return opened;
  };
  const std::string path = prepareOpen(e, requested, false);
  if (path.empty()) return restore(false);

  // The SoundFont and the reading run beside the window, which shows how far
  // they got. Nothing else touches the sampler while the engine is busy.
  auto scratch = std::make_unique<Recording>();
  std::atomic<bool> soundFontLoaded{!e.settings.loaded};
  int read = 0;
  std::string reason;
  const bool tracking = e.settings.values.gridOnOpening == GRID_FROM_BEATS;
  runWithProgress(
      QStringLiteral("Opening the recording"),
      [&] {
        if (!soundFontLoaded.load()) {
          selectSoundFont(e);
          soundFontLoaded.store(true);
        }
        read = readForOpen(*scratch, path, progress_->stream(), &reason, tracking);
      },
      [&] {
        return soundFontLoaded.load() ? stageText(progress_->stage())
                                      : QStringLiteral("Loading the SoundFont...");
      });

  if (read <= 0) {
    // A recording too long for the memory says how long a recording fits.
    e.prompter->error(openFailureMessage(read, reason));
    return restore(false);
  }
  childView_->setProgress(stageText("open AUDIO"));
  return restore(finishOpen(e, *scratch, path) == 1);
}

void CMainFrame::runWithProgress(const QString& title, const std::function<void()>& work,
                                 const std::function<QString()>& stage) {
  std::atomic<bool> done{false};
  childView_->setProgress(stage(), title);
  std::thread worker([&] {
    work();
    done.store(true);
  });
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    childView_->setProgress(stage(), title);
    if (done.load()) loop.quit();
  });
  poll.start(30);
  loop.exec();
  worker.join();
}

void CMainFrame::runBeside(const char* stage, const std::function<void()>& work) {
  Engine& e = *engine_;
  const int wasBusy = e.busy;
  e.busy = 1;
  opening_ = true;
  menuBar()->setEnabled(false);
  const QString text = QString::fromUtf8(stage);
  runWithProgress(QStringLiteral("FFT Mono"), work, [text] { return text; });
  e.busy = wasBusy;
  opening_ = false;
  menuBar()->setEnabled(true);
  childView_->setProgress(QString());
  redrawAll(*view_);
}

void CMainFrame::openRecent() {
  Engine& e = *engine_;
  RecentProject recent;
  if (!checkRecentProject(e, recent)) return;
  if (!openWithProgress(recent.wav)) {
    e.prompter->error(RECENT_OPEN_FAILED);
    return;
  }
  loadProjectFile(e, recent.dat, std::string());
}

void CMainFrame::openFromCommandLine(const std::string& wav, const std::string& dat) {
  if (wav.empty()) return;
  if (openWithProgress(wav) && !dat.empty()) loadProjectFile(*engine_, dat, std::string());
  afterCommand();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Nothing may replace or drop the project while a recording is opening.
  if (opening_ || !closeCheck(*engine_)) {
    event->ignore();
    return;
  }
  closeAudio(*engine_);
  event->accept();
}

void CMainFrame::showShortcutKeys() {
  showShortcutKeyWindow(this, engine_->paths.dataFolder + "ShortCutKey.txt");
}

void CMainFrame::showAbout() {
  CAboutDlg about(this);
  about.exec();
}

}  // namespace quavrix
