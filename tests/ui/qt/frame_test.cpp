// SPDX-License-Identifier: GPL-3.0-or-later
// The real window on the offscreen platform: menus, project commands through
// the menu, and a round of editing with the mouse and the keys.

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <QTimer>
#include <fstream>
#include <sstream>
#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/project.h"
#include "engine/project_open.h"
#include "engine/score_export.h"
#include "engine/transport.h"
#include "frame_fixture.h"
#include "persist/midi_export.h"
#include "score/beat_grid.h"
#include "support/engine/project_fixture.h"
#include "support/midi_score.h"
#include "ui/model/view.h"
#include "ui/qt/child_view.h"
#include "ui/qt/main_frame.h"
#include "ui/qt/qt_prompter.h"

namespace quavrix {
namespace {

QApplication& app() {
  return test::qtApp();
}

TEST_F(Frame, MenusWaitForARecordingAndTheViewShowsIt) {
  for (int position : {1, 2, 3}) EXPECT_FALSE(frame->topMenu(position)->menuAction()->isEnabled());
  for (int position : {0, 4}) EXPECT_TRUE(frame->topMenu(position)->menuAction()->isEnabled());
  EXPECT_EQ(frame->topMenu(1)->title(), QString("    Dat    "));
  EXPECT_EQ(frame->action(ID_SAVE_DAT_AS)->text(), QString("S A V E   AS      .DAT"));
  EXPECT_EQ(view()->size(), QSize(1889, 956));
  const QImage before = view()->image().copy();

  openDemo();
  EXPECT_EQ(engine().busy, 0) << fixture.prompter.last();
  for (int position : {1, 2, 3}) EXPECT_TRUE(frame->topMenu(position)->menuAction()->isEnabled());
  EXPECT_EQ(frame->windowTitle().toStdString(), fixture.wav);
  EXPECT_NE(view()->image(), before);
  EXPECT_EQ(pixel(242, 500), qRgb(0, 56, 56)) << "the first margin strip";
}

TEST_F(Frame, ARoundOfEditingWithTheMouseAndTheKeys) {
  openDemo();
  ASSERT_EQ(engine().busy, 0);
  engine().settings.values.colours[1 + COLOUR_TRACK_OFFSET] = {100, 30, 30, 100, 45, {}};
  ++engine().settings.colourRevision;
  QWidget* v = view();
  // Track 1, then a note dragged over three lines of the roll.
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(780, 930));
  EXPECT_EQ(engine().viewState.currentTrack, 1);
  const CellGrid& grid = engine().cellGrid;
  ASSERT_GE(grid.columnCount, 6u);
  const int top = (grid.columnRects[1].top + grid.columnRects[1].bottom) / 2;
  const int bottom = (grid.columnRects[3].top + grid.columnRects[3].bottom) / 2;
  const int x = (grid.keyRects[40].left + grid.keyRects[40].right) / 2;
  QTest::mousePress(v, Qt::LeftButton, {}, QPoint(x, top));
  QTest::mouseMove(v, QPoint(x, bottom));
  QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(x, bottom));
  const QRgb head = pixel(x, top);
  EXPECT_EQ(qRed(head), 255) << "head in the track colour";
  EXPECT_LT(qGreen(head), 100);
  const QRgb tail = pixel(x, (grid.columnRects[2].top + grid.columnRects[2].bottom) / 2);
  EXPECT_GT(qRed(tail), 60);
  EXPECT_LT(qRed(tail), 200) << "the tail is fainter";

  // Right click deletes it, Ctrl+Z brings it back.
  QTest::mouseClick(v, Qt::RightButton, {}, QPoint(x, top));
  EXPECT_NE(pixel(x, top), head);
  QTest::keyClick(v, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(pixel(x, top), head);

  // The beat editor from the metronome button: bar lines on the first and the
  // fifth beat, END on the fifth and START on the first.
  const auto lineY = [&](int line) { return grid.columnRects[line].top; };
  const auto select = [&](int fromY, int toY) {
    QTest::mousePress(v, Qt::LeftButton, {}, QPoint(295, fromY));
    QTest::mouseMove(v, QPoint(295, toY));
    QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(295, toY));
  };
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(276, 30));
  ASSERT_TRUE(editorOpen(engine()));
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(400, 190));  // the Bar tab
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(400, 320));  // Bar line
  select(lineY(0) - 3, lineY(4) + 3);
  select(lineY(4) - 3, lineY(4) + 3);
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(440, 620));  // End
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(440, 585));  // Start
  select(lineY(0) - 3, lineY(0) + 3);
  NoteStore& notes = engine().notes;
  ASSERT_NE(notes.startMarker, 0u);
  EXPECT_EQ(notes.startMarker, grid.columnPositions[0]);
  EXPECT_EQ(notes.endMarker, grid.columnPositions[4]);

  // Space plays: the Play button is tinted.
  const QRgb idle = pixel(861, 30);
  QTest::keyClick(v, Qt::Key_Space);
  EXPECT_TRUE(transportStatus(engine()).playing);
  EXPECT_GT(qBlue(pixel(861, 30)), qBlue(idle) + 20);
  QTest::keyClick(v, Qt::Key_Space);
  EXPECT_FALSE(transportStatus(engine()).playing);

  // Saved as a project, then SAVE to MIDI FILE on the Bar page.
  engine().settings.values.midiOutput[1] = 1;
  fixture.files.reply(fixture.dir.file("song-round.dat"));
  frame->runCommand(ID_SAVE_DAT_AS);
  QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(640, 600));
  EXPECT_EQ(fixture.prompter.last(), MIDI_COMPLETED_TEXT);
  const auto midi = test::readMidiFile(fixture.dir.file("song-round.mid"));
  ASSERT_TRUE(midi.ok) << midi.error;
  int noteOns = 0;
  for (const auto& track : midi.trackEvents)
    for (const auto& event : track)
      noteOns += (event.bytes[0] & 0xF0) == 0x90 && event.bytes.size() > 2 && event.bytes[2] > 0;
  EXPECT_EQ(noteOns, 1);
}

TEST_F(Frame, ExportScoreAsksWhereAndWritesTheChosenTracks) {
  openDemo();
  ASSERT_EQ(engine().busy, 0);
  ASSERT_TRUE(fixture.addNote(&engine()));
  engine().settings.values.midiOutput = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(frame->action(ID_EXPORT_SCORE)->text(), QString("Export score (MusicXML)..."));

  // Cancelled: nothing is written and nothing said.
  fixture.prompter.clear();
  frame->runCommand(ID_EXPORT_SCORE);
  EXPECT_TRUE(fixture.prompter.shown.empty());

  const std::string path = fixture.dir.file("song-score.musicxml");
  fixture.files.reply(path);
  frame->runCommand(ID_EXPORT_SCORE);
  EXPECT_EQ(fixture.prompter.last(), SCORE_COMPLETED_TEXT);
  EXPECT_TRUE(fixture.files.requests.back().save);
  EXPECT_EQ(fixture.files.requests.back().defaultExtension, "musicxml");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  // One part, holding the one note (key 40 sounds as MIDI 63, E flat).
  EXPECT_NE(text.str().find("<part id=\"P1\">"), std::string::npos);
  EXPECT_EQ(text.str().find("<part id=\"P2\">"), std::string::npos);
  EXPECT_EQ(text.str().find("<pitch>"), text.str().rfind("<pitch>"));
  EXPECT_NE(text.str().find("<step>E</step>"), std::string::npos);
}

TEST_F(Frame, FailedOpensQuitAndTheMidiMenuKeepTheProjectAsItWas) {
  openDemo();
  ASSERT_EQ(engine().busy, 0);
  ASSERT_TRUE(fixture.addNote(&engine()));
  const AudioDevice* device = engine().playback.device.get();
  const QString title = frame->windowTitle();

  fixture.prompter.answer(Answer::Yes);  // drop the edits for the new recording...
  fixture.files.reply(std::nullopt);     // ...then cancel the dialog
  frame->runCommand(ID_OPEN_WAV);
  const std::string bad = fixture.dir.file("bad.wav");
  std::ofstream(bad) << "no";
  fixture.prompter.answer(Answer::Yes);
  fixture.files.reply(bad);
  frame->runCommand(ID_OPEN_WAV);
  EXPECT_EQ(fixture.prompter.last(), WAV_OPEN_FAILED);
  EXPECT_EQ(frame->windowTitle(), title);
  EXPECT_TRUE(frame->topMenu(1)->menuAction()->isEnabled());
  EXPECT_TRUE(hasUnsavedChanges(engine()));
  EXPECT_EQ(engine().busy, 0);

  // Quit with changes, answered No: the window stays.
  fixture.prompter.answer(Answer::No);
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(fixture.prompter.last(), CLOSE_QUESTION);

  // The MIDI menu item opens the panel on the Bar page, and closes it again.
  frame->runCommand(ID_MIDI_SAVE);
  EXPECT_TRUE(editorOpen(engine()));
  EXPECT_EQ(engine().notes.editor.page, EditorPage::Bar);
  frame->runCommand(ID_MIDI_SAVE);
  EXPECT_FALSE(editorOpen(engine()));

  // A second recording plays through the audio output the first one opened.
  fixture.prompter.answer(Answer::Yes);
  fixture.files.reply(fixture.wav);
  frame->runCommand(ID_OPEN_WAV);
  EXPECT_EQ(engine().playback.device.get(), device);
  fixture.prompter.clear();
  EXPECT_TRUE(frame->close()) << "no changes: nothing is asked";
  EXPECT_TRUE(fixture.prompter.shown.empty());
}

TEST_F(Frame, ExportMidiAsksWhereAndNeedsNeitherMarkersNorASavedProject) {
  openDemo();
  ASSERT_EQ(engine().busy, 0);
  ASSERT_TRUE(fixture.addNote(&engine()));
  ASSERT_EQ(engine().notes.startMarker, 0u);
  ASSERT_EQ(engine().notes.endMarker, 0u);
  ASSERT_TRUE(engine().paths.dat.empty());

  engine().settings.values.midiOutput[1] = 1;
  QAction* item = frame->action(ID_EXPORT_MIDI);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QString("Export MIDI..."));
  EXPECT_TRUE(frame->topMenu(1)->actions().contains(item)) << "under Dat";
  const std::string out = fixture.dir.file("exported.mid");
  fixture.files.reply(out);
  fixture.prompter.clear();
  item->trigger();

  // The dialog proposes the recording's name, as no .dat was saved.
  ASSERT_EQ(fixture.files.requests.size(), 2u);
  const FileDialogRequest& asked = fixture.files.requests.back();
  EXPECT_TRUE(asked.save);
  EXPECT_EQ(asked.initialName, fixture.dir.file("song.mid"));
  EXPECT_EQ(asked.defaultExtension, "mid");
  ASSERT_EQ(fixture.prompter.shown.size(), 1u);
  EXPECT_EQ(fixture.prompter.last(), std::string(MIDI_COMPLETED_TEXT) + "\n\n " + out);
  EXPECT_EQ(fixture.prompter.shown[0].icon, Icon::Information);

  // The whole grid in the grid tempo: a tempo track and the note's own track.
  const auto midi = test::readMidiFile(out);
  ASSERT_TRUE(midi.ok) << midi.error;
  EXPECT_EQ(midi.format, 1);
  int noteOns = 0;
  for (const auto& track : midi.trackEvents)
    for (const auto& event : track)
      noteOns += (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0;
  EXPECT_EQ(noteOns, 1);

  // Cancelled: nothing is written and nothing said.
  fixture.prompter.clear();
  fixture.files.reply(std::nullopt);
  item->trigger();
  EXPECT_TRUE(fixture.prompter.shown.empty());
}

TEST(Prompter, MessageBoxesCarryTheCaptionIconButtonsAndExactText) {
  app();
  struct Case {
    Icon icon;
    Buttons buttons;
    QMessageBox::Icon boxIcon;
    QMessageBox::StandardButtons boxButtons;
  };
  const std::string text = " SAVE  .dat  \n\n     Are you shure? ";
  for (const Case& c : {Case{Icon::Error, Buttons::Ok, QMessageBox::Critical, QMessageBox::Ok},
                        Case{Icon::Information, Buttons::YesNo, QMessageBox::Information,
                             QMessageBox::Yes | QMessageBox::No},
                        Case{Icon::Question, Buttons::YesNo, QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No},
                        Case{Icon::Question, Buttons::OkCancel, QMessageBox::Question,
                             QMessageBox::Ok | QMessageBox::Cancel}}) {
    QMessageBox box;
    QtPrompter::configure(box, text, c.icon, c.buttons);
    EXPECT_EQ(box.windowTitle(), QString("quavrix"));
    EXPECT_EQ(box.icon(), c.boxIcon);
    EXPECT_EQ(box.standardButtons(), c.boxButtons);
    EXPECT_EQ(box.text().toStdString(), text) << "blanks and line breaks kept";
  }
  // A real box answers: Escape on a question is No.
  QtPrompter prompter(nullptr);
  QTimer::singleShot(50, [] {
    if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
  });
  EXPECT_EQ(prompter.show("SECTION RECORD\nOver-write?", Icon::Question, Buttons::YesNo),
            Answer::No);
}

}  // namespace
}  // namespace quavrix
