// SPDX-License-Identifier: GPL-3.0-or-later
// "Find beats" from the Edit menu of the real window, on a recording of a
// metronome: the grid's beat and bar lines follow the clicks, the panel
// shows the tempo, and the beat editor's Undo takes it back in one step.

#include <gtest/gtest.h>
#include <QAction>
#include <QMenu>
#include <QTest>

#include "engine/editing.h"
#include "engine/engine.h"
#include "qt_app.h"
#include "score/beat_editor/beat_editor.h"
#include "support/metronome.h"
#include "support/wav_builder.h"
#include "ui/qt/child_view.h"
#include "ui/qt/main_frame.h"

namespace quavrix {
namespace {

std::size_t countLines(const NoteStore& notes, std::uint8_t flag) {
  std::size_t count = 0;
  for (std::uint32_t p = 0; p < notes.positions; ++p) count += (notes.lineMap[p] & flag) != 0;
  return count;
}

TEST(FindBeatsFrame, EditMenuFindsTheBeatsAndOneUndoTakesThemBack) {
  test::qtApp();
  test::ProjectFixture fixture;
  const double seconds = 20.0;
  const auto clicks = test::beatInstants(seconds, [](double) { return 96.0; });
  ASSERT_TRUE(test::WavBuilder()
                  .format(2)
                  .data(test::metronomeFrames(clicks, 4, seconds))
                  .write(fixture.wav));
  CMainFrame frame(test::frameOptions(fixture));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  fixture.files.reply(fixture.wav);
  frame.runCommand(ID_OPEN_WAV);
  Engine& engine = frame.engine();
  ASSERT_EQ(engine.busy, 0) << fixture.prompter.last();
  const std::vector<std::uint8_t> seeded(engine.notes.lineMap.begin(), engine.notes.lineMap.end());

  QAction* find = frame.action(ID_FIND_BEATS);
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(frame.topMenu(2)->actions().contains(find)) << "under Edit";
  EXPECT_EQ(find->text(), QString("Find beats"));
  find->trigger();

  const NoteStore& notes = engine.notes;
  EXPECT_NEAR(static_cast<double>(countLines(notes, LINE_BEAT)), clicks.size(), 1.0);
  EXPECT_NEAR(static_cast<double>(countLines(notes, LINE_BAR)), clicks.size() / 4.0, 1.0);
  EXPECT_EQ(engine.viewState.beatsInBarText, "   4");
  EXPECT_EQ(engine.viewState.tempoText.substr(0, 2), "96");
  EXPECT_NE(notes.startMarker, 0u);
  EXPECT_GT(notes.endMarker, notes.startMarker);

  toggleEditor(engine);
  ASSERT_TRUE(editorCommand(engine, CMD_UNDO));
  EXPECT_TRUE(std::equal(seeded.begin(), seeded.end(), notes.lineMap.begin()));
}

}  // namespace
}  // namespace quavrix
