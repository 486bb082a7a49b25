// quavrix-cli render-midi IN.mid OUT.wav [--sf2 FILE] [--gain G] [--json]:
// plays a Standard MIDI File through our sampler into a 16-bit stereo WAV at
// 44100 Hz. Without --sf2 the bank beside the program (quavrix.sf2) is used.
// The sampler's notes carry 15 dB of gain, meant for a few notes at a time;
// the default output gain leaves a dense General MIDI arrangement its headroom.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/paths.h"
#include "cli.h"
#include "platform/program_path.h"
#include "platform/wav_writer.h"
#include "synth/midi_renderer.h"

namespace quavrix::cli {
namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int runRenderMidi(const std::vector<std::string>& argv) {
  const Args args(argv, {"--sf2", "--gain"});
  if (!args.error().empty()) return usageError("render-midi", args.error());
  if (args.positional().size() != 2) return usageError("render-midi", "give IN.mid and OUT.wav");
  const std::string& midiPath = args.positional()[0];
  const std::string& wavPath = args.positional()[1];
  const std::string sf2Path =
      args.value("--sf2").value_or(splitPath(programPath()).folder + "quavrix.sf2");
  MidiRenderOptions options;
  if (const auto g = args.value("--gain")) {
    char* end = nullptr;
    options.gain = std::strtof(g->c_str(), &end);
    if (end == g->c_str() || *end != '\0' || !(options.gain >= 0.0f && options.gain <= 100.0f))
      return usageError("render-midi", "--gain needs a number from 0 to 100");
  }
  const auto start = std::chrono::steady_clock::now();

  MidiSong song;
  std::string error;
  if (!readMidiFile(midiPath, song, error)) {
    std::fprintf(stderr, "quavrix-cli render-midi: %s: %s\n", midiPath.c_str(), error.c_str());
    return 1;
  }
  Sampler sampler;
  samplerInstallBank(sampler, loadSoundFontFile(sf2Path));
  if (!sampler.bank) {
    std::fprintf(stderr, "quavrix-cli render-midi: %s is missing, not a SoundFont or incomplete\n",
                 sf2Path.c_str());
    return 1;
  }
  const double loadSeconds = secondsSince(start);

  WavWriter wav;
  if (!wav.open(wavPath, 2, static_cast<int>(OUTPUT_RATE))) {
    std::fprintf(stderr, "quavrix-cli render-midi: cannot write %s\n", wavPath.c_str());
    return 1;
  }
  MidiRenderStats stats;
  const bool rendered = renderMidiSong(
      sampler, song, options,
      [&](const float* block, std::size_t frames) { return wav.write(block, frames); }, stats);
  const std::size_t clipped = wav.clippedSamples();
  if (!wav.close() || !rendered) {
    std::fprintf(stderr, "quavrix-cli render-midi: writing %s failed\n", wavPath.c_str());
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
                                  "render-midi IN.mid OUT.wav [--sf2 FILE] [--gain G] [--json]",
                                  runRenderMidi});

}  // namespace
}  // namespace quavrix::cli
