// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine.h"

#include <gtest/gtest.h>

#include "engine/key_tables.h"
#include "support/scripted_prompter.h"

namespace quavrix {
namespace {

TEST(KeyTables, KeyZeroPutsCOnTheLowestRow) {
  ViewState view;
  rebuildKeyTables(view, 0);
  EXPECT_EQ(view.names[0], "C");
  EXPECT_EQ(view.keyClass[0], KEY_TONIC);
  for (int r : {1, 3, 6, 8, 10}) EXPECT_EQ(view.keyClass[r], KEY_BLACK) << r;
  for (int r : {2, 4, 5, 7, 9, 11}) EXPECT_EQ(view.keyClass[r], KEY_WHITE) << r;
  EXPECT_EQ(view.keyClass[12], KEY_TONIC);
  EXPECT_EQ(view.keyClass[83], KEY_WHITE);  // B
}

TEST(KeyTables, KeyNineStartsOnA) {
  ViewState view;
  rebuildKeyTables(view, 9);
  EXPECT_EQ(view.names[0], "A");
  EXPECT_EQ(view.keyClass[0], KEY_WHITE);
  EXPECT_EQ(view.names[3], "C");
  EXPECT_EQ(view.keyClass[3], KEY_TONIC);
  EXPECT_EQ(view.names[1], "Bb");
  EXPECT_EQ(view.keyClass[1], KEY_BLACK);
}

TEST(KeyTables, OutOfRangeKeyActsAsZero) {
  ViewState zero, twelve, negative;
  rebuildKeyTables(zero, 0);
  rebuildKeyTables(twelve, 12);
  rebuildKeyTables(negative, -3);
  EXPECT_EQ(twelve.keyClass, zero.keyClass);
  EXPECT_EQ(twelve.names, zero.names);
  EXPECT_EQ(negative.keyClass, zero.keyClass);
}

TEST(Engine, ConstructionSetsDefaultsAndPaths) {
  test::ScriptedPrompter prompter;
  EngineOptions options;
  options.programPath = "/opt/quavrix/bin/quavrix";
  options.configFolder = "/home/me/.config/quavrix/";
  options.prompter = &prompter;
  const auto engine = createEngine(options);
  EXPECT_EQ(engine->busy, 1);
  EXPECT_EQ(engine->columnFactor, 8);
  EXPECT_EQ(engine->paths.programFolder, "/opt/quavrix/bin/");
  EXPECT_EQ(engine->paths.defaultSettings, "/opt/quavrix/bin/default_settings.xml");
  EXPECT_EQ(engine->paths.recentList, "/home/me/.config/quavrix/recent_files.txt");
  EXPECT_EQ(engine->settings.userDefaultPath, "/home/me/.config/quavrix/default_settings.xml");
  EXPECT_TRUE(engine->paths.wav.empty());
  EXPECT_EQ(engine->viewState.speedText, "1.0");
  EXPECT_EQ(engine->viewState.tempoText, "Unknown");
  EXPECT_EQ(engine->viewState.divisorText, "4");
  EXPECT_EQ(engine->viewState.tuningText, "-  0");
  EXPECT_EQ(engine->viewState.names[0], "C");
  EXPECT_EQ(engine->notes.divisor, 4);
  EXPECT_EQ(engine->notes.discard, 1);
  EXPECT_EQ(engine->notes.ask, 1);
}

}  // namespace
}  // namespace quavrix
