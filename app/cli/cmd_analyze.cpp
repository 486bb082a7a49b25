// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli analyze FILE.wav [--json] [--row R]: reads and analyses a recording
// as opening it in the program would.

#include <chrono>
#include <cstdio>
#include <string>

#include "analysis/beat_tracker.h"
#include "analysis/frequency_peaks.h"
#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "base/large_buffer.h"
#include "base/units.h"
#include "cli.h"
#include "engine/project_open.h"
#include "score/beat_grid.h"
#include "score/note_store.h"

namespace quavrix::cli {
namespace {

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Positions that seeding the grid from the marks gives, by seeding a score
// sized for the recording as opening it would.
std::vector<std::uint32_t> seededBeats(const Recording& rec) {
  NoteStore notes;
  ConsolePrompter prompter;
  if (!allocateNotes(notes, static_cast<std::uint32_t>(rec.capacity), prompter)) return {};
  seedBeats(notes, rec.onsetMarks);
  std::vector<std::uint32_t> beats;
  for (std::uint32_t p = 0; p < notes.positions; ++p)
    if (notes.lineMap[p] & LINE_BEAT) beats.push_back(p);
  return beats;
}

std::string rowJson(const Recording& rec, int channel, int row) {
  std::string out = "[";
  bool first = true;
  for (int hz = 0; hz < SPECTRUM_ROW; ++hz) {
    const float v = spectrumValue(rec, channel, row, hz);
    if (v == 0.0f) continue;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s[%d, %.9g]", first ? "" : ", ", hz, static_cast<double>(v));
    out += buf;
    first = false;
  }
  return out + "]";
}

int runAnalyze(const std::vector<std::string>& argv) {
  const Args args(argv, {"--row"});
  if (!args.error().empty()) return usageError("analyze", args.error());
  if (args.positional().size() != 1) return usageError("analyze", "give one WAV file");
  int row = -1;
  if (const auto r = args.value("--row")) {
    char* end = nullptr;
    const long v = std::strtol(r->c_str(), &end, 10);
    if (r->empty() || *end != '\0' || v < 0 || v > 0x7FFFFFFF)
      return usageError("analyze", "--row needs a row number");
    row = static_cast<int>(v);
  }

  Recording rec;
  rec.path = args.positional()[0];
  std::string reason;
  auto start = std::chrono::steady_clock::now();
  const int result = readRecordingSamples(rec, &reason);
  const double readMs = msSince(start);
  if (result != WAV_OK) {
    if (result == WAV_NO_MEMORY) {
      std::fprintf(stderr, "quavrix-cli analyze: %s\n",
                   memoryRefusal(availableMemoryBytes()).c_str());
    } else {
      std::fprintf(stderr, "quavrix-cli analyze: cannot read %s: %s\n", rec.path.c_str(),
                   reason.c_str());
    }
    return 1;
  }
  // The onsets are found on one core while the other starts on the
  // spectrum, as opening does; with --beats the beats too, as opening does
  // when the grid opens with them.
  const bool trackingBeats = args.flag("--beats");
  start = std::chrono::steady_clock::now();
  double onsetMs = 0.0;
  double beatMs = 0.0;
  analyseRecording(rec, [&] {
    const auto onsetStart = std::chrono::steady_clock::now();
    if (trackingBeats) {
      // One pass over the samples serves both; its time is counted as the beats'.
      detectOnsetsTrackingBeats(rec);
      beatMs = msSince(onsetStart);
      return;
    }
    detectOnsets(rec);
    onsetMs = msSince(onsetStart);
  });
  const double spectrumMs = msSince(start);

  if (row >= 0 && row >= rec.blockCount) {
    std::fprintf(stderr, "quavrix-cli analyze: row %d is past the last row (%d rows)\n", row,
                 rec.blockCount);
    return 2;
  }
  const auto beats = seededBeats(rec);
  const OnsetCount onsets = countOnsets(rec);

  if (!args.flag("--json")) {
    std::printf("%s: %s\n", rec.path.c_str(), rec.source.c_str());
    std::printf("%u frames (%.2f s), %u positions, %d spectrum rows\n", rec.framesRead,
                rec.framesRead / 44100.0, rec.positions(), rec.blockCount);
    std::printf("onsets: %d strong, %d weak; the grid would start with %zu beats\n", onsets.strong,
                onsets.weak, beats.size());
    if (rec.beatsTracked) {
      std::printf("tracked beats: %zu at %.2f BPM, %d to the bar\n", rec.beatTrack.beats.size(),
                  rec.beatTrack.bpm, rec.beatTrack.beatsPerBar);
    }
    std::printf("time: read %.1f ms, onsets %.1f ms, onsets and beats %.1f ms, spectrum %.1f ms\n",
                readMs, onsetMs, beatMs, spectrumMs);
    if (row >= 0) {
      std::printf("row %d left: %s\n", row, rowJson(rec, 0, row).c_str());
      std::printf("row %d right: %s\n", row, rowJson(rec, 1, row).c_str());
    }
    return 0;
  }

  std::string out = "{\"frames\": " + std::to_string(rec.framesRead) +
                    ", \"capacity\": " + std::to_string(rec.capacity) +
                    ", \"positions\": " + std::to_string(rec.positions()) +
                    ", \"blocks\": " + std::to_string(rec.blockCount) +
                    ", \"source\": " + jsonString(rec.source) + ", \"beats\": [";
  for (std::size_t i = 0; i < beats.size(); ++i) {
    if (i) out += ", ";
    out += std::to_string(beats[i]);
  }
  char timing[160];
  std::snprintf(timing, sizeof timing,
                "], \"strong\": %d, \"weak\": %d, \"timing_ms\": {\"read\": %.3f, \"onsets\": "
                "%.3f, \"spectrum\": %.3f}",
                onsets.strong, onsets.weak, readMs, onsetMs, spectrumMs);
  out += timing;
  if (row >= 0) {
    out += ", \"row\": {\"index\": " + std::to_string(row) + ", \"left\": " + rowJson(rec, 0, row) +
           ", \"right\": " + rowJson(rec, 1, row) + "}";
  }
  out += "}";
  std::printf("%s\n", out.c_str());
  return 0;
}

const CommandRegistrar registrar({"analyze", "analyze RECORDING [--json] [--row R] [--beats]",
                                  runAnalyze});

}  // namespace
}  // namespace quavrix::cli
