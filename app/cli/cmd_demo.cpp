// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli demo OUT.wav: a 30-second recording made by our own code, so a
// newcomer has something to open without bringing music.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli.h"
#include "platform/wav_writer.h"

namespace quavrix::cli {
namespace {

constexpr int RATE = 44100;
constexpr int DEFAULT_SECONDS = 30;
constexpr double BEAT_SECONDS = 0.5;  // 120 BPM

// Adds a decaying tone with a few harmonics to both channels.
void addTone(std::vector<double>& left, std::vector<double>& right, double start, double hz,
             double seconds, double amplitude, double pan) {
  const auto first = static_cast<std::size_t>(start * RATE);
  const auto length = static_cast<std::size_t>(seconds * RATE);
  for (std::size_t i = 0; i < length && first + i < left.size(); ++i) {
    const double t = static_cast<double>(i) / RATE;
    const double attack = std::min(1.0, t / 0.004);
    const double env = attack * std::exp(-t * 4.0 / seconds);
    const double w = 2 * M_PI * hz * t;
    const double s =
        amplitude * env * (std::sin(w) + 0.35 * std::sin(2 * w) + 0.12 * std::sin(3 * w));
    left[first + i] += s * (1.0 - pan);
    right[first + i] += s * (1.0 + pan);
  }
}

// A click: a short burst of a high tone with a fast decay.
void addClick(std::vector<double>& left, std::vector<double>& right, double start, bool accent) {
  const auto first = static_cast<std::size_t>(start * RATE);
  const double amplitude = accent ? 0.55 : 0.35;
  for (std::size_t i = 0; i < 1200 && first + i < left.size(); ++i) {
    const double t = static_cast<double>(i) / RATE;
    const double s =
        amplitude * std::exp(-t * 400.0) * std::sin(2 * M_PI * (accent ? 2000 : 1500) * t);
    left[first + i] += s;
    right[first + i] += s;
  }
}

double midiHz(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

int runDemo(const std::vector<std::string>& argv) {
  const Args args(argv, {"--seconds"});
  if (!args.error().empty()) return usageError("demo", args.error());
  if (args.positional().size() != 1) return usageError("demo", "give one output file");
  int seconds = DEFAULT_SECONDS;
  if (const auto s = args.value("--seconds")) {
    seconds = std::atoi(s->c_str());
    if (seconds < 1 || seconds > 3600) return usageError("demo", "--seconds takes 1 to 3600");
  }

  std::vector<double> left(static_cast<std::size_t>(RATE) * seconds, 0.0);
  std::vector<double> right(left.size(), 0.0);
  const int beats = static_cast<int>(seconds / BEAT_SECONDS);
  // Bass: one root per bar, C - A - F - G, two octaves below the melody.
  const int bassRoots[] = {36, 33, 29, 31};
  // Melody: eighth notes over the chord of the bar.
  const int melody[4][8] = {{72, 76, 79, 76, 74, 72, 74, 76},
                            {69, 72, 76, 72, 74, 72, 71, 69},
                            {65, 69, 72, 69, 67, 65, 67, 69},
                            {67, 71, 74, 71, 72, 74, 76, 79}};
  for (int b = 0; b < beats; ++b) {
    const double t = 0.25 + b * BEAT_SECONDS;  // a short silence before the first beat
    const int bar = (b / 4) % 4;
    addClick(left, right, t, b % 4 == 0);
    if (b % 2 == 0) addTone(left, right, t, midiHz(bassRoots[bar]), 0.95, 0.22, -0.3);
    for (int e = 0; e < 2; ++e) {
      const int note = melody[bar][(b % 4) * 2 + e];
      addTone(left, right, t + e * BEAT_SECONDS / 2, midiHz(note), 0.45, 0.12, 0.35);
    }
  }
  std::vector<float> interleaved(2 * left.size());
  for (std::size_t f = 0; f < left.size(); ++f) {
    interleaved[2 * f] = static_cast<float>(left[f]);
    interleaved[2 * f + 1] = static_cast<float>(right[f]);
  }
  const std::string& path = args.positional()[0];
  std::string failure;
  if (!writeWav16(path, interleaved.data(), left.size(), 2, RATE, &failure)) {
    std::fprintf(stderr, "quavrix-cli demo: cannot write %s: %s\n", path.c_str(), failure.c_str());
    return 1;
  }
  std::printf("wrote %s: %d s, 16-bit stereo 44100 Hz, %d beats at 120 BPM\n", path.c_str(),
              seconds, beats);
  return 0;
}

const CommandRegistrar registrar({"demo", "demo OUT.wav [--seconds N]", runDemo});

}  // namespace
}  // namespace quavrix::cli
