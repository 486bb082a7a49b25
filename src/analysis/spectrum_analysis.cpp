#include "analysis/spectrum_analysis.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

// Whole-hertz frequency of a bin and of its two neighbours. The neighbours'
// come from the bin's own single-precision frequency plus or minus one spacing,
// each truncated like the bin's.
struct BinHertz {
  int centre;
  int above;
  int below;
};

constexpr std::array<BinHertz, POWER_BINS> BIN_HERTZ_TABLE = [] {
  std::array<BinHertz, POWER_BINS> table{};
  for (int k = 0; k < POWER_BINS; ++k) {
    const float hertz = static_cast<float>(k) * BIN_HERTZ;
    table[static_cast<std::size_t>(k)] = {static_cast<int>(hertz),
                                          static_cast<int>(hertz + BIN_HERTZ),
                                          static_cast<int>(hertz - BIN_HERTZ)};
  }
  return table;
}();

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
    // Cleared here rather than up front, so that each worker clears its own
    // rows while they are in its cache.
    std::fill(rowA.begin(), rowA.end(), 0.0f);
    std::fill(rowB.begin(), rowB.end(), 0.0f);
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

// How many rows, row 0 included, have their window and entries inside the buffers.
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

int clearAll(Recording& recording) {
  std::fill(recording.spectrumA.begin(), recording.spectrumA.end(), 0.0f);
  std::fill(recording.spectrumB.begin(), recording.spectrumB.end(), 0.0f);
  return SPECTRUM_NO_TRANSFORM;
}

int analyse(Recording& recording, Source source, int threads) {
  // Row 0 and every row that cannot be computed read as silence; the workers
  // clear the rows they compute.
  const int rows = usableRows(recording);
  const std::size_t computed = rows > 1 ? static_cast<std::size_t>(rows) * SPECTRUM_ROW : 0;
  for (BufferVector<float>* spectrum : {&recording.spectrumA, &recording.spectrumB}) {
    std::fill(spectrum->begin(),
              spectrum->begin() + std::min(spectrum->size(), std::size_t{SPECTRUM_ROW}), 0.0f);
    if (spectrum->size() > computed) std::fill(spectrum->begin() + computed, spectrum->end(), 0.0f);
  }
  if (rows <= 1) return SPECTRUM_OK;

  const FftPlan plan;
  if (!plan.ready()) return clearAll(recording);
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
  if (workspaces.empty()) return clearAll(recording);

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
  // Gather the strict local maxima without a branch per bin first: in real
  // spectra about every third bin is one, which no branch predictor follows.
  std::array<std::int16_t, POWER_BINS> peaks;
  int count = 0;
  const double* p = power.data();
  for (int k = 1; k <= LAST_PEAK_BIN; ++k) {
    peaks[static_cast<std::size_t>(count)] = static_cast<std::int16_t>(k);
    count += static_cast<int>(p[k] > p[k - 1]) & static_cast<int>(p[k] > p[k + 1]);
  }

  for (int i = 0; i < count; ++i) {
    const int k = peaks[static_cast<std::size_t>(i)];
    const double centre = p[k];
    const double left = p[k - 1];
    const double right = p[k + 1];
    const BinHertz& bin = BIN_HERTZ_TABLE[static_cast<std::size_t>(k)];
    const int h = bin.centre;
    int index;
    double value;
    if (right >= left) {
      const double v = (right - left) / (centre - left);
      index = h + static_cast<int>((bin.above - h - 1) * v);
      value = centre + 0.5 * (right - left);
    } else {
      const double v = (left - right) / (2.0 * (centre - right));
      index = h - static_cast<int>((h - bin.below - 1) * v);
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

float spectrumValue(const Recording& recording, int channel, int row, int hz) {
  if (row < 0 || row >= recording.blockCount || hz < 0 || hz >= SPECTRUM_ROW) return 0.0f;
  const BufferVector<float>& rows = channel == 0 ? recording.spectrumA : recording.spectrumB;
  const std::size_t at =
      static_cast<std::size_t>(row) * SPECTRUM_ROW + static_cast<std::size_t>(hz);
  return at < rows.size() ? rows[at] : 0.0f;
}

}  // namespace quavrix
