// SPDX-License-Identifier: GPL-3.0-or-later
// Note suggestions in the real window: drawn over the demo's roll as
// outlines, one accepted by a click, all in view accepted as one undo group.

#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "engine/suggestions.h"
#include "frame_fixture.h"
#include "support/run_command.h"

namespace quavrix {
namespace {

struct Suggestions : Frame {
  void SetUp() override {
    if (!std::filesystem::exists(test::binPath("note_model.qvnm")))
      GTEST_SKIP() << "no note model beside the programs: run scripts/fetch-model.sh, then rebuild";
    setenv("XDG_CACHE_HOME", fixture.dir.file("cache").c_str(), 1);
    // The demo's tones, where the fixture's own recording has only clicks.
    fixture.wav = fixture.dir.file("demo.wav");
    ASSERT_EQ(
        test::runCommand(test::binPath("quavrix-cli") + " demo " + fixture.wav + " --seconds 8")
            .exitCode,
        0);
    openDemo();
    ASSERT_EQ(engine().busy, 0) << fixture.prompter.last();
    QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(780, 930));  // track 1
    ASSERT_EQ(engine().viewState.currentTrack, 1);
  }
  int track1Notes() {
    int n = 0;
    for (const std::int32_t word : engine().notes.slots)
      n += word != 0 && !noteDeleted(word) && noteTrack(word) == 1 ? 1 : 0;
    return n;
  }
  std::vector<int> inView() {
    std::vector<int> out;
    for (std::size_t i = 0; i < engine().suggestions.notes.size(); ++i) {
      ScreenRect r;
      if (suggestionRect(engine(), engine().suggestions.notes[i], r) && r.bottom - r.top > 8)
        out.push_back(static_cast<int>(i));
    }
    return out;
  }
};

TEST_F(Suggestions, AreDrawnAsOutlinesAndAClickPlacesOneAsOneUndoStep) {
  frame->runCommand(ID_SUGGEST_NOTES);
  ASSERT_TRUE(engine().suggestions.present) << fixture.prompter.last();
  const auto shown = inView();
  ASSERT_GE(shown.size(), 3u);
  EXPECT_FALSE(std::filesystem::is_empty(fixture.dir.file("cache") + "/quavrix"))
      << "suggestions are cached per recording";

  ScreenRect r;
  ASSERT_TRUE(suggestionRect(engine(), engine().suggestions.notes[shown[0]], r));
  const int x = (r.left + r.right) / 2;
  const QRgb edge = pixel(x, r.top);
  const QRgb inside = pixel(x, (r.top + r.bottom) / 2);
  EXPECT_GT(qRed(edge), 200) << "an amber outline";
  EXPECT_LT(qBlue(edge), 140);
  EXPECT_NE(edge, inside) << "outlined, not filled";

  // The hide toggle takes them off the roll and off the mouse.
  frame->runCommand(ID_HIDE_SUGGESTIONS);
  EXPECT_EQ(suggestionAt(engine(), {x, (r.top + r.bottom) / 2}), -1);
  frame->runCommand(ID_HIDE_SUGGESTIONS);

  const int before = track1Notes();
  QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(x, (r.top + r.bottom) / 2));
  EXPECT_EQ(track1Notes(), before + 1);
  QTest::keyClick(view(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(track1Notes(), before);
}

TEST_F(Suggestions, AcceptingAllInViewIsOneUndoGroup) {
  frame->runCommand(ID_SUGGEST_NOTES);
  ASSERT_TRUE(engine().suggestions.present) << fixture.prompter.last();
  const int before = track1Notes();
  frame->runCommand(ID_ACCEPT_SUGGESTIONS);
  const int placed = track1Notes() - before;
  EXPECT_GE(placed, 3);
  frame->runCommand(ID_UNDO);
  EXPECT_EQ(track1Notes(), before);
  frame->runCommand(ID_REDO);
  EXPECT_EQ(track1Notes(), before + placed);
}

}  // namespace
}  // namespace quavrix
