// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/onsets.h"
#include "analysis/recording.h"
#include "base/units.h"
#include "support/metronome.h"

namespace quavrix {
namespace {

using test::beatInstants;
using test::metronomeFrames;

BeatTrack trackFrames(const std::vector<std::int16_t>& stereo) {
  const std::size_t frames = stereo.size() / 2;
  std::vector<std::int16_t> left(frames), right(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    left[f] = stereo[2 * f];
    right[f] = stereo[2 * f + 1];
  }
  return trackBeats(left.data(), right.data(), frames);
}

double nearest(const std::vector<double>& times, double t) {
  double best = 1e9;
  for (double x : times) best = std::min(best, std::abs(x - t));
  return best;
}

// Share of `reference` beats that a tracked beat lies within `window` of, and
// share of tracked beats that lie within `window` of a reference beat.
struct Match {
  double recall = 0;
  double precision = 0;
};
Match match(const std::vector<double>& reference, const std::vector<double>& tracked,
            double window) {
  Match m;
  if (reference.empty() || tracked.empty()) return m;
  for (double t : reference) m.recall += nearest(tracked, t) <= window;
  for (double t : tracked) m.precision += nearest(reference, t) <= window;
  m.recall /= static_cast<double>(reference.size());
  m.precision /= static_cast<double>(tracked.size());
  return m;
}

TEST(BeatTracker, ClickTrackAt120BpmLandsWithinFiveMilliseconds) {
  const double seconds = 20.0;
  const auto clicks = beatInstants(seconds, [](double) { return 120.0; });
  const BeatTrack track = trackFrames(metronomeFrames(clicks, 4, seconds));
  ASSERT_GE(track.beats.size(), clicks.size() - 2);
  for (double beat : track.beats) EXPECT_LE(nearest(clicks, beat), 0.005) << beat;
  EXPECT_NEAR(track.bpm, 120.0, 1.0);
  EXPECT_EQ(track.beatsPerBar, 4);
  for (double bar : track.downbeats)  // the accented clicks, every fourth from the first
    EXPECT_LE(nearest({clicks.begin(), clicks.end()}, bar), 0.005);
  EXPECT_LE(std::fmod(track.downbeats.front() - 0.25 + 0.001, 2.0), 0.01)
      << track.downbeats.front();
}

TEST(BeatTracker, FollowsATempoRampFrom80To120) {
  const double seconds = 40.0;
  const auto clicks = beatInstants(seconds, [&](double t) { return 80.0 + 40.0 * t / seconds; });
  const BeatTrack track = trackFrames(metronomeFrames(clicks, 4, seconds));
  const Match m = match(clicks, track.beats, 0.035);
  EXPECT_GE(m.recall, 0.95);
  EXPECT_GE(m.precision, 0.95);
  // The last beats come at the end's tempo, not the mean one.
  const std::size_t n = track.beats.size();
  ASSERT_GE(n, 3u);
  EXPECT_NEAR(60.0 / (track.beats[n - 1] - track.beats[n - 2]), 119.0, 4.0);
}

TEST(BeatTracker, AWaltzHasThreeBeatsToTheBar) {
  const double seconds = 24.0;
  const auto clicks = beatInstants(seconds, [](double) { return 120.0; });
  const BeatTrack track = trackFrames(metronomeFrames(clicks, 3, seconds));
  EXPECT_EQ(track.beatsPerBar, 3);
  const Match bars =
      match({clicks[0], clicks[3], clicks[6], clicks[9], clicks[12]}, track.downbeats, 0.01);
  EXPECT_EQ(bars.recall, 1.0);
  for (double bar : track.downbeats)
    EXPECT_NE(std::find(track.beats.begin(), track.beats.end(), bar), track.beats.end());
}

TEST(BeatTracker, SilenceAndScrapsGiveNoBeats) {
  for (std::size_t frames : {0u, 100u, 44100u * 5}) {
    const std::vector<std::int16_t> silence(2 * frames, 0);
    const BeatTrack track = trackFrames(silence);
    EXPECT_TRUE(track.beats.empty()) << frames;
    EXPECT_TRUE(track.downbeats.empty()) << frames;
    EXPECT_EQ(track.bpm, 0.0) << frames;
  }
}

// Opening with tracked beats finds the onsets and the beats in one pass over
// the samples; both must come out as the two passes find them, up to the
// recording's last frames (an odd count, past the last whole position).
TEST(BeatTracker, OnePassGivesTheOnsetsAndBeatsOfTwo) {
  const double seconds = 12.0;
  const auto clicks = beatInstants(seconds, [&](double t) { return 90.0 + 3.0 * t; });
  const std::vector<std::int16_t> stereo = metronomeFrames(clicks, 3, seconds);
  const auto opened = [&] {
    Recording rec;
    rec.framesRead = static_cast<std::uint32_t>(stereo.size() / 2 - 77);
    rec.capacity = static_cast<std::int32_t>(rec.framesRead) + LEAD_IN_FRAMES + 10240;
    const std::size_t entries = static_cast<std::size_t>(rec.capacity) + 4;
    rec.left.assign(entries, 0);
    rec.right.assign(entries, 0);
    for (std::size_t f = 0; f < rec.framesRead; ++f) {
      rec.left[LEAD_IN_FRAMES + f] = stereo[2 * f];
      rec.right[LEAD_IN_FRAMES + f] = stereo[2 * f + 1];
    }
    rec.onsetEnergy.assign(entries / 32 + 32, 0);
    rec.onsetMarks.assign(entries / 32 + 32, 0.0f);
    return rec;
  };
  Recording together = opened();
  detectOnsetsTrackingBeats(together);
  Recording apart = opened();
  detectOnsets(apart);
  const BeatTrack track = trackBeats(apart);

  ASSERT_TRUE(together.beatsTracked);
  EXPECT_GE(track.beats.size(), clicks.size() - 2);
  EXPECT_EQ(together.beatTrack.beats, track.beats);
  EXPECT_EQ(together.beatTrack.downbeats, track.downbeats);
  EXPECT_EQ(together.beatTrack.beatsPerBar, 3);
  EXPECT_TRUE(std::equal(together.onsetEnergy.begin(), together.onsetEnergy.end(),
                         apart.onsetEnergy.begin()));
  EXPECT_TRUE(
      std::equal(together.onsetMarks.begin(), together.onsetMarks.end(), apart.onsetMarks.begin()));
}

}  // namespace
}  // namespace quavrix
