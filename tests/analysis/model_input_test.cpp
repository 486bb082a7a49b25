// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/model_input.h"

#include <gtest/gtest.h>
#include <samplerate.h>

#include "base/units.h"
#include "support/signal_builders.h"

namespace quavrix {
namespace {

// The halves resampled apart must join exactly where one pass over the whole
// recording would have put every sample.
TEST(ModelInput, IsTheWholeRecordingHalvedInOnePassWithoutASeam) {
  auto left = test::sineFrames(5 * SAMPLE_RATE + 77, 441.0, 0.4);
  const auto right = test::sineFrames(5 * SAMPLE_RATE + 77, 1234.5, 0.3, 1.0);
  left[2 * SAMPLE_RATE] = 30000;  // a click near the middle
  const Recording rec = test::makeRecording(left, right);
  std::vector<float> ours;
  std::string reason;
  ASSERT_TRUE(modelInput(rec, ours, &reason)) << reason;

  std::vector<float> mono(rec.framesRead), whole(rec.framesRead / 2 + 64);
  for (std::size_t i = 0; i < mono.size(); ++i)
    mono[i] = (static_cast<float>(left[i]) + static_cast<float>(right[i])) * (0.5f / 32768.0f);
  SRC_DATA data{};
  data.data_in = mono.data();
  data.input_frames = static_cast<long>(mono.size());
  data.data_out = whole.data();
  data.output_frames = static_cast<long>(whole.size());
  data.src_ratio = 0.5;
  data.end_of_input = 1;
  ASSERT_EQ(src_simple(&data, SRC_SINC_FASTEST, 1), 0);
  whole.resize(static_cast<std::size_t>(data.output_frames_gen));
  ASSERT_EQ(ours.size(), whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(ours[i], whole[i]) << i;
}

}  // namespace
}  // namespace quavrix
