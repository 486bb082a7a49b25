// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frequency_peaks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "support/signal_builders.h"

namespace quavrix {
namespace {

using test::makeRecording;
using test::sineFrames;

constexpr int SECONDS_2 = 2 * 44100;

using Entries = std::array<float, SPECTRUM_ROW>;

// Row r of spectrum A (channel 0) or B as the readers see it.
Entries row(const Recording& recording, int channel, int r) {
  Entries entries;
  for (int hz = 0; hz < SPECTRUM_ROW; ++hz)
    entries[std::size_t(hz)] = spectrumValue(recording, channel, r, hz);
  return entries;
}

int loudestEntry(const Entries& entries) {
  return static_cast<int>(std::max_element(entries.begin(), entries.end()) - entries.begin());
}

bool allZero(const PeakRows& rows) {
  return std::all_of(rows.height.begin(), rows.height.end(), [](float v) { return v == 0.0f; });
}

bool same(const PeakRows& a, const PeakRows& b) {
  return a.height == b.height && a.place == b.place;
}

// Several decaying partials and some noise on each channel, different per channel.
Recording musicLike(int frames) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> noise(-300, 300);
  std::vector<std::int16_t> left(static_cast<std::size_t>(frames));
  std::vector<std::int16_t> right(left.size());
  const double partials[] = {110.0, 220.5, 330.0, 523.25, 659.3, 1318.5};
  for (std::size_t i = 0; i < left.size(); ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    const double beat = std::exp(-4.0 * std::fmod(t, 0.5));
    double l = 0.0;
    double r = 0.0;
    for (std::size_t p = 0; p < std::size(partials); ++p) {
      const double s = std::sin(2.0 * std::numbers::pi * partials[p] * t);
      l += s * beat * 2500.0 / static_cast<double>(p + 1);
      r += s * (p % 2 ? 3000.0 : 800.0) * beat;
    }
    left[i] = static_cast<std::int16_t>(l + noise(random));
    right[i] = static_cast<std::int16_t>(r + noise(random));
  }
  return makeRecording(left, right);
}

TEST(Spectrum, SineInLeftChannelPeaksAt440AndSilentRightStaysEmpty) {
  Recording recording =
      makeRecording(sineFrames(SECONDS_2, 440.0, 0.5), std::vector<std::int16_t>(SECONDS_2, 0));
  ASSERT_EQ(recording.blockCount, 39);
  ASSERT_EQ(analyseRecording(recording), SPECTRUM_OK);

  for (float v : row(recording, 0, 0)) ASSERT_EQ(v, 0.0f);
  for (int r = 1; r < recording.blockCount; ++r) {
    const auto entries = row(recording, 0, r);
    const int loudest = loudestEntry(entries);
    EXPECT_NEAR(loudest, 440, 2) << "row " << r;
    EXPECT_GT(entries[static_cast<std::size_t>(loudest)], 0.0f) << "row " << r;
  }
  EXPECT_TRUE(allZero(recording.spectrumB));
}

TEST(Spectrum, RightChannelGoesToSpectrumB) {
  Recording recording =
      makeRecording(std::vector<std::int16_t>(SECONDS_2, 0), sineFrames(SECONDS_2, 261.63, 0.3));
  ASSERT_EQ(analyseRecording(recording), SPECTRUM_OK);
  EXPECT_TRUE(allZero(recording.spectrumA));
  for (int r = 1; r < recording.blockCount; ++r) {
    EXPECT_NEAR(loudestEntry(row(recording, 1, r)), 262, 2) << "row " << r;
  }
}

TEST(Spectrum, DifferenceOfIdenticalChannelsIsEmpty) {
  const auto tone = sineFrames(SECONDS_2, 440.0, 0.5);
  Recording recording = makeRecording(tone, tone);
  ASSERT_EQ(analyseRecording(recording), SPECTRUM_OK);
  ASSERT_FALSE(allZero(recording.spectrumA));
  EXPECT_TRUE(same(recording.spectrumA, recording.spectrumB));

  ASSERT_EQ(analyseDifference(recording), SPECTRUM_OK);
  EXPECT_TRUE(allZero(recording.spectrumA));
  EXPECT_TRUE(allZero(recording.spectrumB));
}

TEST(Spectrum, DifferenceIsRectifiedAndWrittenToBothSpectra) {
  // |sine| has no 440 Hz component; its strongest partial is at twice the frequency.
  Recording recording =
      makeRecording(sineFrames(SECONDS_2, 440.0, 0.5), std::vector<std::int16_t>(SECONDS_2, 0));
  ASSERT_EQ(analyseDifference(recording), SPECTRUM_OK);
  EXPECT_TRUE(same(recording.spectrumA, recording.spectrumB));
  for (float v : row(recording, 0, 0)) ASSERT_EQ(v, 0.0f);
  for (int r = 4; r < recording.blockCount; ++r) {
    EXPECT_NEAR(loudestEntry(row(recording, 0, r)), 880, 2) << "row " << r;
  }
}

TEST(Spectrum, ThreadedRowsEqualSingleThreadedRows) {
  Recording single = musicLike(3 * 44100);
  Recording threaded = single;
  Recording many = single;
  ASSERT_EQ(analyseRecording(single, 1), SPECTRUM_OK);
  ASSERT_EQ(analyseRecording(threaded, 2), SPECTRUM_OK);
  ASSERT_EQ(analyseRecording(many, 5), SPECTRUM_OK);
  ASSERT_FALSE(allZero(single.spectrumA));
  ASSERT_FALSE(allZero(single.spectrumB));
  EXPECT_TRUE(same(single.spectrumA, threaded.spectrumA));
  EXPECT_TRUE(same(single.spectrumB, threaded.spectrumB));
  EXPECT_TRUE(same(single.spectrumA, many.spectrumA));
  EXPECT_TRUE(same(single.spectrumB, many.spectrumB));

  Recording differenceSingle = single;
  ASSERT_EQ(analyseDifference(differenceSingle, 1), SPECTRUM_OK);
  ASSERT_EQ(analyseDifference(threaded, 2), SPECTRUM_OK);
  EXPECT_TRUE(same(differenceSingle.spectrumA, threaded.spectrumA));
  EXPECT_TRUE(same(differenceSingle.spectrumB, threaded.spectrumB));
}

TEST(Spectrum, ShortOrInconsistentRecordingsStayInsideTheirBuffers) {
  // Too short for one window: a negative block count.
  Recording tiny = makeRecording(sineFrames(4096, 440.0, 0.5));
  ASSERT_LT(tiny.blockCount, 0);
  EXPECT_EQ(analyseRecording(tiny), SPECTRUM_OK);
  EXPECT_EQ(analyseDifference(tiny), SPECTRUM_OK);

  // Exactly one block: only row 0, which stays 0.
  Recording one = makeRecording(sineFrames(5 * 2048, 440.0, 0.5));
  ASSERT_EQ(one.blockCount, 1);
  one.spectrumA.height.assign(one.spectrumA.height.size(), 1.0f);
  EXPECT_EQ(analyseRecording(one), SPECTRUM_OK);
  EXPECT_TRUE(allZero(one.spectrumA));

  // A block count larger than the buffers hold: the rows that fit are computed.
  Recording claimed = makeRecording(sineFrames(SECONDS_2, 440.0, 0.5));
  const int realBlocks = claimed.blockCount;
  claimed.blockCount = 10 * realBlocks;
  EXPECT_EQ(analyseRecording(claimed), SPECTRUM_OK);
  EXPECT_NEAR(loudestEntry(row(claimed, 0, realBlocks - 1)), 440, 2);

  Recording shortSpectrum = makeRecording(sineFrames(SECONDS_2, 440.0, 0.5));
  shortSpectrum.spectrumA.height.resize(5 * PEAK_SLOTS);
  shortSpectrum.spectrumA.place.resize(5 * PEAK_PLACE_BYTES);
  EXPECT_EQ(analyseRecording(shortSpectrum), SPECTRUM_OK);
  EXPECT_NEAR(loudestEntry(row(shortSpectrum, 0, 4)), 440, 2);
  EXPECT_EQ(row(shortSpectrum, 0, 5), Entries{});
  EXPECT_TRUE(std::all_of(shortSpectrum.spectrumB.height.begin() + 5 * PEAK_SLOTS,
                          shortSpectrum.spectrumB.height.end(), [](float v) { return v == 0.0f; }));

  Recording empty;
  empty.blockCount = 3;
  EXPECT_EQ(analyseRecording(empty), SPECTRUM_OK);
}

// Powers of bins 0 .. 380 of x as plain sums of cosine and sine products, bin 0
// holding the 0 Hz and the half-rate power together.
std::vector<double> directPowers(const std::vector<double>& x) {
  std::vector<long double> cosines(FFT_SIZE);
  std::vector<long double> sines(FFT_SIZE);
  for (std::size_t m = 0; m < cosines.size(); ++m) {
    const long double angle =
        2.0L * std::numbers::pi_v<long double> * static_cast<long double>(m) / FFT_SIZE;
    cosines[m] = std::cos(angle);
    sines[m] = std::sin(angle);
  }
  std::vector<double> powers(POWER_BINS);
  for (std::size_t k = 0; k < powers.size(); ++k) {
    long double re = 0;
    long double im = 0;
    for (std::size_t j = 0; j < x.size(); ++j) {
      const std::size_t m = (j * k) % FFT_SIZE;
      re += x[j] * cosines[m];
      im += x[j] * sines[m];
    }
    if (k == 0) {
      for (std::size_t j = 0; j < x.size(); ++j) im += (j % 2 ? -x[j] : x[j]);
    }
    powers[k] = static_cast<double>(re * re + im * im);
  }
  return powers;
}

TEST(Spectrum, BinPowersMatchTheWindowedTransform) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> sample(-24000, 24000);
  std::vector<std::int16_t> samples(FFT_SIZE);
  // Noise with a 0 Hz part, so that bin 0 is more than rounding noise.
  for (std::int16_t& s : samples) s = static_cast<std::int16_t>(sample(random) + 8000);
  std::vector<std::int16_t> other(FFT_SIZE);
  for (std::int16_t& s : other) s = static_cast<std::int16_t>(sample(random));

  const auto window = [](int i) {
    return 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (i + 1) / 8193.0));
  };
  std::vector<double> windowed(FFT_SIZE);
  for (int i = 0; i < FFT_SIZE; ++i)
    windowed[std::size_t(i)] = samples[std::size_t(i)] / 32768.0 * window(i);
  const std::vector<double> expected = directPowers(windowed);
  // The difference input is |a - b|, through the same window.
  for (int i = 0; i < FFT_SIZE; ++i) {
    const auto u = std::size_t(i);
    windowed[u] = std::abs(samples[u] - other[u]) / 32768.0 * window(i);
  }
  const std::vector<double> difference = directPowers(windowed);

  FftPlan plan;
  ASSERT_TRUE(plan.ready());
  FftWorkspace work(plan);
  ASSERT_TRUE(work.ready());
  PowerBins power{};
  work.powers(samples.data(), power);
  for (int k = 0; k < POWER_BINS; ++k) {
    const double e = expected[std::size_t(k)];
    ASSERT_NEAR(power[std::size_t(k)], e, 1e-9 * e + 1e-9) << "bin " << k;
  }
  work.differencePowers(samples.data(), other.data(), power);
  for (int k = 0; k < POWER_BINS; ++k) {
    const double e = difference[std::size_t(k)];
    ASSERT_NEAR(power[std::size_t(k)], e, 1e-9 * e + 1e-9) << "bin " << k;
  }
}

// Bin 82 lies at 441.43 Hz: h = 441, the bin above truncates to 446, the bin below to 436.
PowerBins peakAt82(double left, double centre, double right) {
  PowerBins power{};
  power[81] = left;
  power[82] = centre;
  power[83] = right;
  return power;
}

// The 2048 entries that writePeakRow's compact row reads as.
Entries peakEntries(const PowerBins& power) {
  std::array<float, PEAK_SLOTS> height;
  std::array<std::uint8_t, PEAK_PLACE_BYTES> place;
  height.fill(-1.0f);  // every slot is written
  place.fill(0xFF);
  writePeakRow(power, {height.data(), place.data()});
  Entries entries;
  for (int hz = 0; hz < SPECTRUM_ROW; ++hz)
    entries[std::size_t(hz)] = peakRowValue(height.data(), place.data(), hz);
  return entries;
}

// The rows of |left - right| slide their window along the recording; each
// must read exactly as the transform of its own 8192 frames.
TEST(Spectrum, DifferenceRowsEqualTheirWindowsTransform) {
  Recording recording = musicLike(3 * 44100);
  ASSERT_EQ(analyseDifference(recording, 1), SPECTRUM_OK);
  FftPlan plan;
  FftWorkspace work(plan);
  ASSERT_TRUE(work.ready());
  PowerBins power;
  for (int r = 1; r < recording.blockCount; ++r) {
    const std::size_t start = std::size_t(r) * SPECTRUM_ROW;
    work.differencePowers(recording.left.data() + start, recording.right.data() + start, power);
    ASSERT_EQ(row(recording, 0, r), peakEntries(power)) << "row " << r;
  }
}

TEST(PeakRow, EqualNeighboursLandOnTheBinFrequency) {
  const Entries entries = peakEntries(peakAt82(1.0, 4.0, 1.0));
  EXPECT_FLOAT_EQ(entries[441], 4.0f * 5.0f / 2048.0f);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 0.0f), SPECTRUM_ROW - 1);
}

TEST(PeakRow, LargerRightNeighbourMovesUp) {
  // v = (3 - 1) / (5 - 1) = 0.5; index = 441 + trunc(4 x 0.5); value = 5 + 0.5 x 2.
  const Entries entries = peakEntries(peakAt82(1.0, 5.0, 3.0));
  EXPECT_FLOAT_EQ(entries[443], 6.0f * 0.00244140625f);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 0.0f), SPECTRUM_ROW - 1);
  // The right neighbour as high as the peak itself is as far up as a peak can go.
  const Entries top = peakEntries(peakAt82(1.0, 5.0, 5.0 - 1e-12));
  EXPECT_GT(top[444], 0.0f);
}

TEST(PeakRow, LargerLeftNeighbourMovesDown) {
  // v = (3 - 1) / (2 x (5 - 1)) = 0.25; index = 441 - trunc(4 x 0.25); value = 5 + (3 - 1) / 4.
  const Entries entries = peakEntries(peakAt82(3.0, 5.0, 1.0));
  EXPECT_FLOAT_EQ(entries[440], 5.5f * 0.00244140625f);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 0.0f), SPECTRUM_ROW - 1);
  const Entries bottom = peakEntries(peakAt82(5.0 - 1e-12, 5.0, 0.0));
  EXPECT_GT(bottom[440], 0.0f);
}

TEST(PeakRow, OnlyStrictMaximaOfBinsOneTo379Count) {
  PowerBins power{};
  power[82] = 5.0;  // plateau: neither bin is a strict maximum
  power[83] = 5.0;
  power[1] = 2.0;  // bin 1 against a larger bin 0
  power[0] = 3.0;
  power[380] = 9.0;  // beyond the searched bins
  Entries entries = peakEntries(power);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 0.0f), SPECTRUM_ROW);

  power = PowerBins{};
  power[1] = 2.0;    // 5.38 Hz
  power[379] = 2.0;  // 2040.27 Hz
  entries = peakEntries(power);
  EXPECT_FLOAT_EQ(entries[5], 2.0f * 0.00244140625f);
  EXPECT_FLOAT_EQ(entries[2040], 2.0f * 0.00244140625f);
}

}  // namespace
}  // namespace quavrix
