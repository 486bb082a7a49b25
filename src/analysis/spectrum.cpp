#include "analysis/spectrum.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace quavrix {

namespace {

// Bin spacing in hertz (44100 / 8192), exact in single precision.
constexpr float BIN_HERTZ = 5.38330078125f;
// Peaks are searched in bins 1 .. 379 (about 2040 Hz, the top of the roll's guessing).
constexpr int LAST_PEAK_BIN = POWER_BINS - 2;
constexpr double PEAK_SCALE = 0.00244140625;  // 5 / 2048

enum class Source { Channels, Difference };

struct RowJob {
  Source source;
  const float* left;
  const float* right;
  float* a;
  float* b;
};

void analyseRows(FftWorkspace& work, const RowJob& job, int firstRow, int endRow) {
  PowerBins power;
  for (int r = firstRow; r < endRow; ++r) {
    const std::size_t start = static_cast<std::size_t>(r) * SPECTRUM_ROW;
    std::span<float, SPECTRUM_ROW> rowA(job.a + start, SPECTRUM_ROW);
    std::span<float, SPECTRUM_ROW> rowB(job.b + start, SPECTRUM_ROW);
    if (job.source == Source::Channels) {
      work.powers(job.left + start, power);
      writePeakRow(power, rowA);
      work.powers(job.right + start, power);
      writePeakRow(power, rowB);
    } else {
      work.differencePowers(job.left + start, job.right + start, power);
      writePeakRow(power, rowA);
      std::copy(rowA.begin(), rowA.end(), rowB.begin());
    }
  }
}

// The rows 1 .. n - 1 whose window and entries lie inside the buffers.
int usableRows(const Recording& recording) {
  if (recording.blockCount <= 1) return 0;
  const std::size_t samples = std::min(recording.left.size(), recording.right.size());
  const std::size_t entries = std::min(recording.spectrumA.size(), recording.spectrumB.size());
  if (samples < static_cast<std::size_t>(FFT_SIZE)) return 0;
  const std::size_t byInput = (samples - FFT_SIZE) / SPECTRUM_ROW + 1;
  const std::size_t byOutput = entries / SPECTRUM_ROW;
  return static_cast<int>(
      std::min({static_cast<std::size_t>(recording.blockCount), byInput, byOutput}));
}

int analyse(Recording& recording, Source source, int threads) {
  // Row 0 and every row that cannot be computed read as silence.
  std::fill(recording.spectrumA.begin(), recording.spectrumA.end(), 0.0f);
  std::fill(recording.spectrumB.begin(), recording.spectrumB.end(), 0.0f);
  const int rows = usableRows(recording);
  if (rows <= 1) return SPECTRUM_OK;

  const FftPlan plan;
  if (!plan.ready()) return SPECTRUM_NO_TRANSFORM;
  const RowJob job{source, recording.left.data(), recording.right.data(),
                   recording.spectrumA.data(), recording.spectrumB.data()};

  // Rows are independent: each worker takes one contiguous share with its own
  // buffers. The calling thread works the first share itself.
  const int wanted = std::clamp(threads, 1, rows - 1);
  std::vector<FftWorkspace> workspaces;
  workspaces.reserve(static_cast<std::size_t>(wanted));
  for (int t = 0; t < wanted; ++t) {
    workspaces.emplace_back(plan);
    if (!workspaces.back().ready()) {
      workspaces.pop_back();
      break;
    }
  }
  if (workspaces.empty()) return SPECTRUM_NO_TRANSFORM;

  const int count = static_cast<int>(workspaces.size());
  std::vector<int> bounds(static_cast<std::size_t>(count) + 1);
  for (int t = 0; t <= count; ++t) bounds[static_cast<std::size_t>(t)] = 1 + (rows - 1) * t / count;

  std::vector<std::thread> helpers;
  int handedOut = 1;  // shares 1 .. handedOut - 1 run on helper threads
  for (; handedOut < count; ++handedOut) {
    const auto t = static_cast<std::size_t>(handedOut);
    try {
      helpers.emplace_back(analyseRows, std::ref(workspaces[t]), std::cref(job), bounds[t],
                           bounds[t + 1]);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the caller works the rest
    }
  }
  analyseRows(workspaces[0], job, bounds[0], bounds[1]);
  for (int t = handedOut; t < count; ++t) {
    const auto s = static_cast<std::size_t>(t);
    analyseRows(workspaces[0], job, bounds[s], bounds[s + 1]);
  }
  for (std::thread& helper : helpers) helper.join();
  return SPECTRUM_OK;
}

}  // namespace

void writePeakRow(const PowerBins& power, std::span<float, SPECTRUM_ROW> row) {
  for (int k = 1; k <= LAST_PEAK_BIN; ++k) {
    const double centre = power[static_cast<std::size_t>(k)];
    const double left = power[static_cast<std::size_t>(k - 1)];
    const double right = power[static_cast<std::size_t>(k + 1)];
    if (!(centre > left && centre > right)) continue;

    // The neighbours' frequencies come from the centre's in single precision,
    // truncated to whole hertz like the centre.
    const float hertz = static_cast<float>(k) * BIN_HERTZ;
    const int h = static_cast<int>(hertz);
    const int above = static_cast<int>(hertz + BIN_HERTZ);
    const int below = static_cast<int>(hertz - BIN_HERTZ);
    int index;
    double value;
    if (right >= left) {
      const double v = (right - left) / (centre - left);
      index = h + static_cast<int>((above - h - 1) * v);
      value = centre + 0.5 * (right - left);
    } else {
      const double v = (left - right) / (2.0 * (centre - right));
      index = h - static_cast<int>((h - below - 1) * v);
      value = centre + 0.5 * (centre - right) * v;
    }
    const auto entry = static_cast<std::uint16_t>(index);
    if (entry < SPECTRUM_ROW) row[entry] = static_cast<float>(value * PEAK_SCALE);
  }
}

int analyseRecording(Recording& recording, int threads) {
  return analyse(recording, Source::Channels, threads);
}

int analyseDifference(Recording& recording, int threads) {
  return analyse(recording, Source::Difference, threads);
}

}  // namespace quavrix
