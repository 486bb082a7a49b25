// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "analysis/note_decoder.h"
#include "analysis/note_posteriors.h"
#include "support/note_model_clip.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

class NoteModelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string why;
    model_ = test::builtNoteModel(&why).release();
    if (!model_) reason_ = new std::string(why);
  }
  static void TearDownTestSuite() {
    delete model_;
    model_ = nullptr;
  }
  void SetUp() override {
    if (!model_) GTEST_SKIP() << *reason_;
  }
  static NotePosteriors posteriorsOf(const std::vector<float>& audio, bool contours = false) {
    NotePosteriors post;
    PosteriorOptions options;
    options.contours = contours;
    EXPECT_TRUE(computePosteriors(*model_, audio.data(), audio.size(), post, options));
    return post;
  }
  static NoteModel* model_;
  static std::string* reason_;
};
NoteModel* NoteModelTest::model_ = nullptr;
std::string* NoteModelTest::reason_ = nullptr;

TEST(NoteModelFile, AMissingCutOrForeignFileIsRefusedWithTheReason) {
  test::TempDir dir;
  std::ofstream(dir.file("foreign.qvnm")) << "RIFF....WAVEfmt ";
  std::ofstream(dir.file("cut.qvnm"), std::ios::binary).write("QVXNOTE1\x02\0\0\0\x08cqt_real", 21);
  const std::pair<const char*, const char*> cases[] = {{"missing.qvnm", "no note model at"},
                                                       {"foreign.qvnm", "is not a note model file"},
                                                       {"cut.qvnm", "is cut short"}};
  for (const auto& [name, why] : cases) {
    std::string reason;
    EXPECT_EQ(NoteModel::load(dir.file(name), &reason), nullptr) << name;
    EXPECT_NE(reason.find(why), std::string::npos) << name << ": " << reason;
  }
}

TEST_F(NoteModelTest, PosteriorsOfTheClipMatchTheModelsOwnCodeOnEitherSideOfEveryJoin) {
  const auto ref = test::readNoteModelReference();
  const auto clip = test::noteModelClip();
  ASSERT_EQ(static_cast<int>(clip.size()), ref.samples);
  const NotePosteriors post = posteriorsOf(clip, true);
  ASSERT_EQ(post.frames, ref.frames);
  double worst = 0.0;
  int compared = 0;
  for (const auto& [kind, rows] : ref.rows) {
    const bool contour = kind == "contour";
    const std::vector<float>& ours = contour          ? post.contour
                                     : kind == "note" ? post.note
                                                      : post.onset;
    const int width = contour ? NoteModel::CONTOUR_BINS : NoteModel::KEYS;
    const int step = contour ? 8 : 1;
    for (const auto& [frame, values] : rows)
      for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = ours[static_cast<std::size_t>(frame) * width + i * step];
        worst = std::max(worst, std::abs(v - values[i]));
        ++compared;
      }
  }
  EXPECT_GT(compared, 1000);
  EXPECT_LT(worst, 1e-3);
  RecordProperty("max_posterior_difference", std::to_string(worst));
  std::printf("max posterior difference %.3g over %d values\n", worst, compared);
}

TEST_F(NoteModelTest, NotesOfTheClipEqualTheModelsOwnNotes) {
  const auto ref = test::readNoteModelReference();
  const auto notes = decodeNotes(posteriorsOf(test::noteModelClip()));
  ASSERT_EQ(notes.size(), ref.notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(notes[i].startFrame, ref.notes[i].startFrame);
    EXPECT_EQ(notes[i].frames, ref.notes[i].frames);
    EXPECT_EQ(notes[i].pitch, ref.notes[i].pitch);
    EXPECT_NEAR(notes[i].amplitude, ref.notes[i].amplitude, 1e-3);
    EXPECT_NEAR(notes[i].start, ref.notes[i].start, 1e-6);
    EXPECT_NEAR(notes[i].end, ref.notes[i].end, 1e-6);
  }
}

TEST_F(NoteModelTest, SilenceGivesNoNotes) {
  const NotePosteriors post = posteriorsOf(std::vector<float>(3 * NoteModel::SAMPLE_RATE, 0.0f));
  EXPECT_EQ(post.frames, 258);
  EXPECT_TRUE(decodeNotes(post).empty());
}

TEST_F(NoteModelTest, ARecordingShorterThanOneWindowStillGivesItsNote) {
  // The clip's first second: one window, padded; the C major third starts at 0.3 s.
  auto clip = test::noteModelClip();
  clip.resize(NoteModel::SAMPLE_RATE);
  const NotePosteriors post = posteriorsOf(clip);
  EXPECT_EQ(post.frames, 86);
  std::vector<int> pitches;
  for (const ModelNote& n : decodeNotes(post)) pitches.push_back(n.pitch);
  EXPECT_NE(std::find(pitches.begin(), pitches.end(), 60), pitches.end());
  EXPECT_NE(std::find(pitches.begin(), pitches.end(), 64), pitches.end());
}

}  // namespace
}  // namespace quavrix
