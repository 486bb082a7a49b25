// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli beats RECORDING [--json]: the tempo, beats and bar lines the
// beat tracker finds, as "Find beats" lays them on the grid.

#include <cstdio>
#include <string>

#include "analysis/beat_tracker.h"
#include "analysis/wav_reader.h"
#include "base/large_buffer.h"
#include "cli.h"
#include "engine/project_open.h"

namespace quavrix::cli {
namespace {

std::string secondsList(const std::vector<double>& times) {
  std::string out = "[";
  for (std::size_t i = 0; i < times.size(); ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%.6f", i ? ", " : "", times[i]);
    out += buf;
  }
  return out + "]";
}

void printBars(const BeatTrack& track) {
  std::printf("tempo %.2f BPM, %d beats per bar, %zu bars, %zu beats\n", track.bpm,
              track.beatsPerBar, track.downbeats.size(), track.beats.size());
  std::size_t bar = 0;
  for (const double beat : track.beats) {
    const bool starts = bar < track.downbeats.size() && track.downbeats[bar] == beat;
    if (starts) {
      std::printf("%sbar %zu:", bar ? "\n" : "", bar + 1);
      ++bar;
    } else if (bar == 0 && beat == track.beats.front()) {
      std::printf("pickup:");
    }
    std::printf(" %.3f", beat);
  }
  if (!track.beats.empty()) std::printf("\n");
}

int runBeats(const std::vector<std::string>& argv) {
  const Args args(argv, {});
  if (!args.error().empty()) return usageError("beats", args.error());
  if (args.positional().size() != 1) return usageError("beats", "give one recording");
  Recording rec;
  rec.path = args.positional()[0];
  std::string reason;
  const int result = readRecordingSamples(rec, &reason);
  if (result != WAV_OK) {
    const std::string why =
        result == WAV_NO_MEMORY ? memoryRefusal(availableMemoryBytes()) : reason;
    std::fprintf(stderr, "quavrix-cli beats: cannot read %s: %s\n", rec.path.c_str(), why.c_str());
    return 1;
  }
  const BeatTrack track = trackBeats(rec);
  if (!args.flag("--json")) {
    printBars(track);
    return 0;
  }
  std::printf("{\"bpm\": %.3f, \"beats\": %s, \"downbeats\": %s, \"beats_per_bar\": %d}\n",
              track.bpm, secondsList(track.beats).c_str(), secondsList(track.downbeats).c_str(),
              track.beatsPerBar);
  return 0;
}

const CommandRegistrar registrar{{"beats", "beats RECORDING [--json]", runBeats}};

}  // namespace
}  // namespace quavrix::cli
