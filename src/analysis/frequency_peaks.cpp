// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frequency_peaks.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

namespace quavrix {

namespace {

// Bin spacing in hertz (44100 / 8192), exact in single precision.
constexpr float BIN_HERTZ = 5.38330078125f;
// Peaks are searched in bins 1 .. 379 (about 2040 Hz, the top of the roll's guessing).
constexpr int LAST_PEAK_BIN = POWER_BINS - 2;
static_assert(LAST_PEAK_BIN / 2 < PEAK_SLOTS, "every peak bin has its slot");
constexpr double PEAK_SCALE = 0.00244140625;  // 5 / 2048
constexpr int ROW_RUN = 64;                   // rows a worker takes at a time

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

// For each whole hertz, the lowest bin whose span of landing places
// [hz(k) - 2, hz(k + 1) - 1] holds it (0: none). Spans of neighbouring bins
// share their last two entries, so the bin above may hold it as well.
constexpr std::array<std::int16_t, SPECTRUM_ROW> FIRST_BIN_AT = [] {
  std::array<std::int16_t, SPECTRUM_ROW> table{};
  for (int k = LAST_PEAK_BIN; k >= 1; --k) {
    const BinHertz& bin = BIN_HERTZ_TABLE[static_cast<std::size_t>(k)];
    for (int hz = bin.centre - 2; hz <= bin.above - 1; ++hz)
      if (hz >= 0 && hz < SPECTRUM_ROW)
        table[static_cast<std::size_t>(hz)] = static_cast<std::int16_t>(k);
  }
  return table;
}();

enum class Source { Channels, Difference };

struct RowJob {
  Source source;
  const std::int16_t* left;
  const std::int16_t* right;
  PeakRows* a;
  PeakRows* b;
};

PeakRow rowOf(PeakRows& rows, int r) {
  return {rows.height.data() + static_cast<std::size_t>(r) * PEAK_SLOTS,
          rows.place.data() + static_cast<std::size_t>(r) * PEAK_PLACE_BYTES};
}

void clearRow(PeakRow row) {
  std::fill(row.height, row.height + PEAK_SLOTS, 0.0f);
  std::fill(row.place, row.place + PEAK_PLACE_BYTES, std::uint8_t{0});
}

void copyRow(PeakRow from, PeakRow to) {
  std::copy(from.height, from.height + PEAK_SLOTS, to.height);
  std::copy(from.place, from.place + PEAK_PLACE_BYTES, to.place);
}

// A worker's windows live as long as the worker, so that its runs of rows do
// not churn the heap (on a virtual machine, each shrink of it costs a flush
// of every core's address translations).
struct Windows {
  SlidingWindow left;
  SlidingWindow right;
};

void analyseRows(FftWorkspace& work, Windows& windows, const RowJob& job, int firstRow,
                 int endRow) {
  PowerBins power;
  PowerBins rightPower;
  SlidingWindow& left = windows.left;
  SlidingWindow& right = windows.right;
  // Where both channels hold the same frames (a mono file, or a stereo one
  // recorded so), the right row is the left row: the transform is the same.
  const std::size_t from = static_cast<std::size_t>(firstRow) * SPECTRUM_ROW;
  const std::size_t frames =
      static_cast<std::size_t>(endRow - firstRow - 1) * SPECTRUM_ROW + FFT_SIZE;
  const bool same = job.source == Source::Channels &&
                    std::equal(job.left + from, job.left + from + frames, job.right + from);
  for (int r = firstRow; r < endRow; ++r) {
    const std::size_t start = static_cast<std::size_t>(r) * SPECTRUM_ROW;
    const PeakRow rowA = rowOf(*job.a, r);
    const PeakRow rowB = rowOf(*job.b, r);
    if (job.source == Source::Channels) {
      left.moveTo(job.left + start);
      if (same) {
        work.powers(left, power);
        writePeakRow(power, rowA);
        copyRow(rowA, rowB);
        continue;
      }
      right.moveTo(job.right + start);
      work.powers(left, right, power, rightPower);
      writePeakRow(power, rowA);
      writePeakRow(rightPower, rowB);
    } else {
      left.moveTo(job.left + start, job.right + start);
      work.powers(left, power);
      writePeakRow(power, rowA);
      copyRow(rowA, rowB);
    }
  }
}

bool shaped(const PeakRows& rows) {
  return rows.place.size() == rows.rows() * PEAK_PLACE_BYTES;
}

// How many rows, row 0 included, have their window and entries inside the buffers.
int usableRows(const Recording& recording) {
  if (recording.blockCount <= 1) return 0;
  const std::size_t samples = std::min(recording.left.size(), recording.right.size());
  if (samples < static_cast<std::size_t>(FFT_SIZE)) return 0;
  if (!shaped(recording.spectrumA) || !shaped(recording.spectrumB)) return 0;
  const std::size_t byInput = (samples - FFT_SIZE) / SPECTRUM_ROW + 1;
  const std::size_t byOutput = std::min(recording.spectrumA.rows(), recording.spectrumB.rows());
  return static_cast<int>(
      std::min({static_cast<std::size_t>(recording.blockCount), byInput, byOutput}));
}

// Row 0 and every row that cannot be computed read as silence.
void clearRows(PeakRows& rows, std::size_t from) {
  if (!shaped(rows)) {
    std::fill(rows.height.begin(), rows.height.end(), 0.0f);
    return;
  }
  for (std::size_t r = from; r < rows.rows(); ++r) clearRow(rowOf(rows, static_cast<int>(r)));
}

int analyseSpectrum(Recording& recording, Source source, int threads,
                    const std::function<void()>& alongside) {
  const int rows = usableRows(recording);
  for (PeakRows* spectrum : {&recording.spectrumA, &recording.spectrumB}) {
    if (spectrum->rows() > 0 && shaped(*spectrum)) clearRow(rowOf(*spectrum, 0));
    clearRows(*spectrum, static_cast<std::size_t>(std::max(rows, 1)));
  }
  if (rows <= 1) return SPECTRUM_OK;

  const FftPlan plan;
  if (!plan.ready()) {
    clearRows(recording.spectrumA, 0);
    clearRows(recording.spectrumB, 0);
    return SPECTRUM_NO_TRANSFORM;
  }
  const RowJob job{source, recording.left.data(), recording.right.data(), &recording.spectrumA,
                   &recording.spectrumB};

  // One workspace per worker; the calling thread is the first worker.
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
  if (workspaces.empty()) {
    clearRows(recording.spectrumA, 0);
    clearRows(recording.spectrumB, 0);
    return SPECTRUM_NO_TRANSFORM;
  }

  // Rows are independent: the workers take runs of rows as they come free,
  // so that on a busy machine one of them can finish what the other has not
  // started. Each run slides one window along its rows.
  std::atomic<int> nextRow{1};
  const auto work = [&](FftWorkspace& workspace) {
    Windows windows;
    for (int r = nextRow.fetch_add(ROW_RUN); r < rows; r = nextRow.fetch_add(ROW_RUN))
      analyseRows(workspace, windows, job, r, std::min(rows, r + ROW_RUN));
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < workspaces.size(); ++t) {
    try {
      helpers.emplace_back(work, std::ref(workspaces[t]));
    } catch (const std::system_error&) {
      break;  // no thread to be had: the caller works the rest
    }
  }
  if (alongside) alongside();
  work(workspaces[0]);
  for (std::thread& helper : helpers) helper.join();
  return SPECTRUM_OK;
}

// `alongside` runs exactly once, whatever becomes of the rows.
int analyse(Recording& recording, Source source, int threads,
            const std::function<void()>& alongside = {}) {
  bool ran = false;
  const auto once = [&] {
    ran = true;
    if (alongside) alongside();
  };
  const int result = analyseSpectrum(recording, source, threads, once);
  if (!ran) once();
  return result;
}

}  // namespace

void writePeakRow(const PowerBins& power, PeakRow row) {
  std::fill(row.height, row.height + PEAK_SLOTS, 0.0f);
  std::fill(row.place, row.place + PEAK_PLACE_BYTES, std::uint8_t{0});
  // Gather the strict local maxima without a branch per bin first: in real
  // spectra about every third bin is one, which no branch predictor follows.
  std::array<std::int16_t, POWER_BINS> peaks;
  int count = 0;
  const double* p = power.data();
  for (int k = 1; k <= LAST_PEAK_BIN; ++k) {
    peaks[static_cast<std::size_t>(count)] = static_cast<std::int16_t>(k);
    count += static_cast<int>(p[k] > p[k - 1]) & static_cast<int>(p[k] > p[k + 1]);
  }

  // Whether a peak leans up or down follows the signal, which no branch
  // predictor follows either: both cases share one division and selects.
  for (int i = 0; i < count; ++i) {
    const int k = peaks[static_cast<std::size_t>(i)];
    const double centre = p[k];
    const double left = p[k - 1];
    const double right = p[k + 1];
    const BinHertz& bin = BIN_HERTZ_TABLE[static_cast<std::size_t>(k)];
    const int h = bin.centre;
    // Up: v = (right - left) / (centre - left), value = centre + (right - left) / 2.
    // Down: v = (left - right) / (2 (centre - right)), value = centre + (centre - right) v / 2.
    const bool up = right >= left;
    const double v =
        (up ? right - left : left - right) / (up ? centre - left : 2.0 * (centre - right));
    const int span = up ? bin.above - h - 1 : h - bin.below - 1;
    const int step = static_cast<int>(span * v);
    const int index = up ? h + step : h - step;
    const double value = centre + (up ? 0.5 * (right - left) : 0.5 * (centre - right) * v);
    // 0 <= v <= 1 on the way up and below 1/2 on the way down, so the place
    // stays inside the bin's span; the test only guards the nibble.
    const int place = index - (h - 2);
    if (index < 0 || index >= SPECTRUM_ROW || place < 0 || place > 15) continue;
    row.height[k / 2] = static_cast<float>(value * PEAK_SCALE);
    row.place[k / 2] = static_cast<std::uint8_t>(place | (k % 2 ? PEAK_ODD_BIN : 0));
  }
}

float peakRowValue(const float* height, const std::uint8_t* place, int hz) {
  if (hz < 0 || hz >= SPECTRUM_ROW) return 0.0f;
  const int first = FIRST_BIN_AT[static_cast<std::size_t>(hz)];
  if (first == 0) return 0.0f;
  // Neighbouring bins never both hold a peak, so at most one of the two matches.
  for (int k = first; k <= std::min(first + 1, LAST_PEAK_BIN); ++k) {
    const int slot = k / 2;
    const int entry = place[slot];
    if (height[slot] == 0.0f || ((entry & PEAK_ODD_BIN) != 0) != (k % 2 == 1)) continue;
    const int lowest = BIN_HERTZ_TABLE[static_cast<std::size_t>(k)].centre - 2;
    if (lowest + (entry & 0xF) == hz) return height[slot];
  }
  return 0.0f;
}

int analyseRecording(Recording& recording, int threads) {
  return analyse(recording, Source::Channels, threads);
}

int analyseRecording(Recording& recording, const std::function<void()>& alongside) {
  return analyse(recording, Source::Channels, ANALYSIS_THREADS, alongside);
}

int analyseDifference(Recording& recording, int threads) {
  return analyse(recording, Source::Difference, threads);
}

float spectrumValue(const Recording& recording, int channel, int row, int hz) {
  if (row < 0 || row >= recording.blockCount || hz < 0 || hz >= SPECTRUM_ROW) return 0.0f;
  const PeakRows& rows = channel == 0 ? recording.spectrumA : recording.spectrumB;
  if (static_cast<std::size_t>(row) >= rows.rows() || !shaped(rows)) return 0.0f;
  return peakRowValue(rows.height.data() + static_cast<std::size_t>(row) * PEAK_SLOTS,
                      rows.place.data() + static_cast<std::size_t>(row) * PEAK_PLACE_BYTES, hz);
}

}  // namespace quavrix
