// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli render-midi IN.mid OUT.wav [--sf2 FILE] [--gain G] [--max-seconds S] [--json]:
// plays a Standard MIDI File through our sampler into a 16-bit stereo WAV at
// 44100 Hz. Without --sf2 the bank among the program's
// shipped files (quavrix.sf2) is used.
// A few bytes of MIDI can describe years of silence, so songs longer than an
// hour are refused unless --max-seconds allows them.
// The sampler's notes carry 15 dB of gain, meant for a few notes at a time;
// the default output gain leaves a dense General MIDI arrangement its headroom.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/paths.h"
#include "cli.h"
#include "platform/program_folders.h"
#include "platform/program_path.h"
#include "platform/wav_writer.h"
#include "synth/midi_renderer.h"

namespace quavrix::cli {
namespace {

constexpr double DEFAULT_MAX_SECONDS = 3600.0;
// Frames of 16-bit stereo that fit in a WAV file's 32-bit sizes.
constexpr double WAV_MAX_FRAMES = (4294967295.0 - 36.0) / 4.0;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int runRenderMidi(const std::vector<std::string>& argv) {
  const Args args(argv, {"--sf2", "--gain", "--max-seconds"});
  if (!args.error().empty()) return usageError("render-midi", args.error());
  if (args.positional().size() != 2) return usageError("render-midi", "give IN.mid and OUT.wav");
  const std::string& midiPath = args.positional()[0];
  const std::string& wavPath = args.positional()[1];
  const std::string sf2Path = args.value("--sf2").value_or(
      programDataFolder(splitPath(programPath()).folder) + "quavrix.sf2");
  MidiRenderOptions options;
  if (const auto g = args.value("--gain")) {
    char* end = nullptr;
    options.gain = std::strtof(g->c_str(), &end);
    if (end == g->c_str() || *end != '\0' || !(options.gain >= 0.0f && options.gain <= 100.0f))
      return usageError("render-midi", "--gain needs a number from 0 to 100");
  }
  double maxSeconds = DEFAULT_MAX_SECONDS;
  if (const auto m = args.value("--max-seconds")) {
    char* end = nullptr;
    maxSeconds = std::strtod(m->c_str(), &end);
    if (end == m->c_str() || *end != '\0' || !(maxSeconds > 0.0))
      return usageError("render-midi", "--max-seconds needs a number of seconds above 0");
  }
  const auto start = std::chrono::steady_clock::now();

  MidiSong song;
  std::string error;
  if (!readMidiFile(midiPath, song, error)) {
    std::fprintf(stderr, "quavrix-cli render-midi: cannot read %s: %s\n", midiPath.c_str(),
                 error.c_str());
    return 1;
  }
  // Refused before the output is touched.
  if (song.lengthSeconds > maxSeconds) {
    std::fprintf(stderr,
                 "quavrix-cli render-midi: %s lasts %.0f s, longer than the limit of %.0f s "
                 "(--max-seconds raises it)\n",
                 midiPath.c_str(), song.lengthSeconds, maxSeconds);
    return 1;
  }
  if ((song.lengthSeconds + options.maxTailSeconds) * OUTPUT_RATE > WAV_MAX_FRAMES) {
    std::fprintf(stderr, "quavrix-cli render-midi: %s lasts %.0f s, longer than a WAV file holds\n",
                 midiPath.c_str(), song.lengthSeconds);
    return 1;
  }
  Sampler sampler;
  std::string sf2Reason;
  samplerInstallBank(sampler, loadSoundFontFile(sf2Path, &sf2Reason));
  if (!sampler.bank) {
    std::fprintf(stderr, "quavrix-cli render-midi: cannot read %s: %s\n", sf2Path.c_str(),
                 sf2Reason.c_str());
    return 1;
  }
  const double loadSeconds = secondsSince(start);

  WavWriter wav;
  if (!wav.open(wavPath, 2, static_cast<int>(OUTPUT_RATE))) {
    std::fprintf(stderr, "quavrix-cli render-midi: cannot create %s: %s\n", wavPath.c_str(),
                 wav.failure().c_str());
    return 1;
  }
  MidiRenderStats stats;
  const bool rendered = renderMidiSong(
      sampler, song, options,
      [&](const float* block, std::size_t frames) { return wav.write(block, frames); }, stats);
  const std::size_t clipped = wav.clippedSamples();
  // A failed render is abandoned: the old file, if any, stays as it was.
  if (!rendered || !wav.close()) {
    const std::string why = wav.failure().empty() ? "the render stopped" : wav.failure();
    std::fprintf(stderr, "quavrix-cli render-midi: writing %s failed: %s\n", wavPath.c_str(),
                 why.c_str());
    return 1;
  }
  const double totalSeconds = secondsSince(start);
  const double audioSeconds = static_cast<double>(stats.frames) / OUTPUT_RATE;
  if (args.flag("--json")) {
    std::printf(
        "{\"midi\": %s, \"wav\": %s, \"soundFont\": %s, \"tracks\": %d, \"notes\": %d, "
        "\"silentNotes\": %d, \"peakVoices\": %d, \"averageVoices\": %.1f, \"seconds\": %.3f, "
        "\"clippedSamples\": %zu, "
        "\"loadSeconds\": %.3f, \"totalSeconds\": %.3f}\n",
        jsonString(midiPath).c_str(), jsonString(wavPath).c_str(), jsonString(sf2Path).c_str(),
        song.trackCount, stats.notes, stats.silentNotes, stats.peakVoices, stats.averageVoices,
        audioSeconds, clipped, loadSeconds, totalSeconds);
  } else {
    std::printf(
        "%s: format %d, %d tracks, %d notes (%d without a preset), voices: peak %d, average %.1f\n",
        midiPath.c_str(), song.format, song.trackCount, stats.notes, stats.silentNotes,
        stats.peakVoices, stats.averageVoices);
    std::printf("%s: %.2f s of 16-bit stereo at 44100 Hz, %zu samples clipped\n", wavPath.c_str(),
                audioSeconds, clipped);
    std::printf("time: load %.3f s, total %.3f s (%.0fx real time)\n", loadSeconds, totalSeconds,
                totalSeconds > 0 ? audioSeconds / totalSeconds : 0.0);
  }
  return 0;
}

const CommandRegistrar registrar({"render-midi",
                                  "render-midi IN.mid OUT.wav [--sf2 FILE] [--gain G] "
                                  "[--max-seconds S] [--json]",
                                  runRenderMidi});

}  // namespace
}  // namespace quavrix::cli
