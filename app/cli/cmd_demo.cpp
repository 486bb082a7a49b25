// quavrix-cli demo OUT.wav: a 30-second recording made by our own code, so a
// newcomer has something to open without bringing music.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "cli.h"

namespace quavrix::cli {
namespace {

constexpr int RATE = 44100;
constexpr int SECONDS = 30;
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
    const double s = amplitude * env * (std::sin(w) + 0.35 * std::sin(2 * w) + 0.12 * std::sin(3 * w));
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
    const double s = amplitude * std::exp(-t * 400.0) * std::sin(2 * M_PI * (accent ? 2000 : 1500) * t);
    left[first + i] += s;
    right[first + i] += s;
  }
}

double midiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

bool writeStereoWav(const std::string& path, const std::vector<double>& left,
                    const std::vector<double>& right) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto frames = static_cast<std::uint32_t>(left.size());
  out.write("RIFF", 4);
  put(36 + frames * 4, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(RATE, 4);
  put(RATE * 4, 4);
  put(4, 2);
  put(16, 2);
  out.write("data", 4);
  put(frames * 4, 4);
  for (std::uint32_t f = 0; f < frames; ++f) {
    for (const double v : {left[f], right[f]}) {
      const double clamped = std::max(-1.0, std::min(1.0, v));
      put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clamped * 32767))), 2);
    }
  }
  return static_cast<bool>(out);
}

int runDemo(const std::vector<std::string>& argv) {
  const Args args(argv, {});
  if (!args.error().empty()) return usageError("demo", args.error());
  if (args.positional().size() != 1) return usageError("demo", "give one output file");

  std::vector<double> left(static_cast<std::size_t>(RATE) * SECONDS, 0.0);
  std::vector<double> right(left.size(), 0.0);
  const int beats = static_cast<int>(SECONDS / BEAT_SECONDS);
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
  const std::string& path = args.positional()[0];
  if (!writeStereoWav(path, left, right)) {
    std::fprintf(stderr, "quavrix-cli demo: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("wrote %s: %d s, 16-bit stereo 44100 Hz, %d beats at 120 BPM\n", path.c_str(),
              SECONDS, beats);
  return 0;
}

const CommandRegistrar registrar({"demo", "demo OUT.wav", runDemo});

}  // namespace
}  // namespace quavrix::cli
