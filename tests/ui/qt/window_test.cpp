// SPDX-License-Identifier: GPL-3.0-or-later
// The window's faults found in use: keys held across windows, long work
// beside the window, settings of a loaded project, the project dialogs.

#include <gtest/gtest.h>
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <thread>

#include "base/paths.h"
#include "engine/project.h"
#include "engine/transport.h"
#include "frame_fixture.h"
#include "score/beat_grid.h"
#include "synth/soundfont_select.h"
#include "ui/model/control_code.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"
#include "ui/qt/qt_prompter.h"

namespace quavrix {
namespace {

QApplication& app() {
  return test::qtApp();
}

TEST_F(Frame, CtrlReleasedOverAnotherWindowLeavesAPlainZAlone) {
  openDemo();
  ASSERT_TRUE(fixture.addNote(&engine()));
  NoteStore& notes = engine().notes;
  const std::uint32_t first = nextLine(notes, 0, LINE_BEAT);
  const std::int32_t note = notes.slots[first];
  QTest::keyPress(view(), Qt::Key_Control, Qt::ControlModifier);
  // Another window takes the keyboard; Ctrl goes up there.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  QTest::keyRelease(&other, Qt::Key_Control);
  other.close();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_Z);
  EXPECT_EQ(notes.slots[first], note) << "a plain Z undid the note";
  QTest::keyClick(view(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(notes.slots[first], note) << "Ctrl+Z still undoes";
}

TEST_F(Frame, FftMonoComputesBesideTheWindowBehindTheProgressOverlay) {
  openDemo();
  if (!channelSwitches(engine()).mono) toggleMonoMix(engine());
  if (!channelSwitches(engine()).rightInverted) toggleDifferenceMix(engine());
  const ScreenRect& r = view()->view().rects[FftMonoButton];
  bool overlaid = false;
  // Fires only once the window handles events again during the analysis.
  QTimer::singleShot(0, [&] { overlaid = engine().busy && !view()->progress().isEmpty(); });
  QTest::mouseClick(view(), Qt::LeftButton, {},
                    QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  EXPECT_TRUE(overlaid);
  EXPECT_EQ(engine().viewState.differenceSpectrum, 1);
  EXPECT_EQ(engine().busy, 0);
  EXPECT_TRUE(view()->progress().isEmpty());
}

TEST_F(Frame, LoadingAProjectShowsItsLevelsAndSectionRecords) {
  openDemo();
  Engine& e = engine();
  View& v = view()->view();
  e.settings.values.level[LEVEL_WAV] = 0.2f;
  e.settings.values.sections[0][0] = {e.viewState.window.start, e.viewState.window.end};
  placeLevelMarkers(v);
  const float savedX = e.viewState.wavLevelX;
  const std::string dat = fixture.dir.file("song-levels.dat");
  fixture.files.reply(dat);
  frame->runCommand(ID_SAVE_DAT_AS);
  // Another state on the screen, then the saved project again.
  e.settings.values.level[LEVEL_WAV] = 0.9f;
  e.settings.values.sections[0][0] = {};
  viewAfterSettings(v);
  ASSERT_FALSE(e.viewState.sections[0][0].flags & SLOT_HAS_RECORD);
  fixture.files.reply(dat);
  frame->runCommand(ID_LOAD_DAT);
  EXPECT_FLOAT_EQ(e.settings.values.level[LEVEL_WAV], 0.2f);
  EXPECT_FLOAT_EQ(e.viewState.wavLevelX, savedX);
  EXPECT_TRUE(e.viewState.sections[0][0].flags & SLOT_HAS_RECORD);
  EXPECT_TRUE(e.viewState.bankFlags[0] & SLOT_HAS_RECORD);
}

TEST(OpenProgress, AMissingSoundFontIsSoughtBesideTheWindowNotBlockingIt) {
  app();
  test::ProjectFixture fixture;
  // Records on which thread the SoundFont is asked for, then answers as scripted.
  struct Chooser final : FileChooser {
    std::optional<std::string> choose(const FileDialogRequest& request) override {
      // The first time: the open's own load (the settings step asks once more).
      if (request.defaultExtension == "sf2" && !asked) {
        asked = true;
        besideTheWindow = QThread::currentThread() != QApplication::instance()->thread();
      }
      return next->choose(request);
    }
    FileChooser* next = nullptr;
    bool asked = false;
    bool besideTheWindow = false;
  } chooser;
  chooser.next = &fixture.files;
  FrameOptions options = test::frameOptions(fixture);
  options.files = &chooser;
  CMainFrame frame(options);
  frame.engine().settings.values.soundFontFile = "missing.sf2";
  fixture.files.reply(fixture.wav);
  frame.runCommand(ID_OPEN_WAV);
  EXPECT_EQ(frame.engine().busy, 0) << "the recording opens without its SoundFont";
  EXPECT_TRUE(chooser.besideTheWindow);
  EXPECT_EQ(fixture.prompter.last(), SOUNDFONT_NOT_FOUND);
}

TEST(FileDialogs, TheProjectDialogsProposeTheRecordingsNameInItsFolder) {
  app();
  test::ProjectFixture fixture;
  ASSERT_TRUE(fixture.open());
  QtFileChooser chooser(nullptr);
  fixture.engine->files = &chooser;
  QString folder, name;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    folder = dialog->directory().absolutePath() + "/";
    if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) name = edit->text();
    dialog->reject();
  });
  poll.start(20);
  for (const bool save : {false, true}) {
    folder.clear();
    name.clear();
    save ? static_cast<void>(saveProjectDataAs(*fixture.engine)) : loadProjectData(*fixture.engine);
    const PathParts wav = splitPath(fixture.wav);
    EXPECT_EQ(folder.toStdString(), wav.folder) << save;
    EXPECT_EQ(name, QString("song.dat")) << save;
  }
}

TEST(Prompter, ABoxAskedBesideTheWindowOpensOnTheWindowsThread) {
  app();
  QtPrompter prompter(nullptr);
  // Asked by work running beside the window (the SoundFont of an open): the
  // window's thread shows the box while its loop runs.
  Answer fromWorker = Answer::Yes;
  QEventLoop loop;
  std::thread worker([&] {
    fromWorker = prompter.show("SECTION RECORD\nOver-write?", Icon::Question, Buttons::YesNo);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  bool boxOnWindowThread = false;
  QTimer escape;
  QObject::connect(&escape, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      boxOnWindowThread = box->thread() == QApplication::instance()->thread();
      QTest::keyClick(box, Qt::Key_Escape);
    }
  });
  escape.start(20);
  loop.exec();
  worker.join();
  EXPECT_TRUE(boxOnWindowThread) << "a box on another thread than the window's";
  EXPECT_EQ(fromWorker, Answer::No);
}

}  // namespace
}  // namespace quavrix
