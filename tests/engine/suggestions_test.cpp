// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/suggestions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/signal_builders.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

TEST(SuggestionCache, ARecordingOfTheSameContentGetsItsSuggestionsWithoutTheModel) {
  test::TempDir dir;
  setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
  setenv("QUAVRIX_NOTE_MODEL", dir.file("no-model.qvnm").c_str(), 1);
  const auto samples = test::sineFrames(20000, 440.0, 0.5);
  const Recording rec = test::makeRecording(samples);
  const std::string path = suggestionCachePath(rec);
  ASSERT_EQ(path.rfind(dir.file("cache") + "/quavrix/", 0), 0u) << path;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "quavrix note suggestions 1\n300 420 46 90\n500 600 58 64\n";

  std::vector<Suggestion> found;
  std::string reason;
  ASSERT_TRUE(findSuggestions(test::makeRecording(samples), found, &reason)) << reason;
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].start, 500u);
  EXPECT_EQ(found[1].end, 600u);
  EXPECT_EQ(found[1].key, 58);
  EXPECT_EQ(found[1].velocity, 64);

  // One sample different is another recording: no cache, and no model here.
  auto other = samples;
  other[1234] ^= 1;
  EXPECT_NE(suggestionCachePath(test::makeRecording(other)), path);
  EXPECT_FALSE(findSuggestions(test::makeRecording(other), found, &reason));
  EXPECT_NE(reason.find("no note model"), std::string::npos) << reason;
  unsetenv("QUAVRIX_NOTE_MODEL");
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace quavrix
