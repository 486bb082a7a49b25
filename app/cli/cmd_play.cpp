// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli play --wav W.wav [--dat P.dat] [--settings S.xml] [--speed N]
//   [--from SECONDS] [--to SECONDS] [--audio NAME] [--json]
// Opens the recording and the project as the program would and plays one pass
// of the range through the real playback threads and the chosen audio device.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

#include "base/paths.h"
#include "cli.h"
#include "engine/engine.h"
#include "engine/project_open.h"
#include "engine/settings_apply.h"
#include "engine/transport.h"

namespace quavrix::cli {
namespace {

constexpr const char* NAME = "play";

bool parseSeconds(const std::optional<std::string>& text, double& out) {
  if (!text) return true;
  char* end = nullptr;
  out = std::strtod(text->c_str(), &end);
  return !text->empty() && *end == '\0' && out >= 0;
}

int runPlay(const std::vector<std::string>& argv) {
  const Args args(argv, {"--wav", "--dat", "--settings", "--speed", "--from", "--to", "--audio"});
  if (!args.error().empty()) return usageError(NAME, args.error());
  if (!args.positional().empty()) return usageError(NAME, "unexpected " + args.positional()[0]);
  const auto wav = args.value("--wav");
  if (!wav) return usageError(NAME, "give the recording (--wav)");
  int step = STEP_NORMAL;
  if (const auto s = args.value("--speed")) {
    step = std::atoi(s->c_str());
    if (step < STEP_SLOWEST || step > STEP_NORMAL)
      return usageError(NAME, "--speed is recording frames per 2048: 2048 (x1) down to 256 (x8)");
  }
  double from = 0, to = 0;
  if (!parseSeconds(args.value("--from"), from) || !parseSeconds(args.value("--to"), to))
    return usageError(NAME, "--from and --to take seconds");
  if (args.value("--to") && to <= from) return usageError(NAME, "--to must come after --from");

  ConsolePrompter prompter(Answer::No);
  std::ostringstream progress;
  EngineOptions options;
  options.prompter = &prompter;
  options.console = &progress;
  if (const auto audio = args.value("--audio")) options.audioDevice = *audio;
  const auto engine = createEngine(options);

  const auto dat = args.value("--dat");
  const auto settingsPath = args.value("--settings");
  std::string failure;
  const int opened = dat ? openProject(*engine, *wav, *dat, settingsPath.value_or(""), &failure)
                         : openRecording(*engine, *wav, &failure);
  if (opened <= 0 ||
      (!dat && settingsPath && useSettingsFileStrictly(*engine, *settingsPath, &failure) != 0)) {
    // Nothing was played: a WAV device must not replace its file.
    discardAudio(*engine);
    std::fprintf(stderr, "quavrix-cli %s: %s\n", NAME, failure.c_str());
    return 1;
  }

  const std::uint32_t frames = engine->recording.framesRead;
  const auto toIndex = [&](double seconds) {
    const double f = std::min<double>(seconds * AUDIO_RATE, frames);
    return static_cast<std::uint32_t>(LEAD_IN_FRAMES + f);
  };
  setPlayRange(*engine, toIndex(from), args.value("--to") ? toIndex(to) : 0);
  setSpeed(*engine, step);
  setLoop(*engine, false);

  const auto begin = std::chrono::steady_clock::now();
  togglePlay(*engine);
  const double rangeSeconds = (args.value("--to") ? to : frames / double(AUDIO_RATE)) - from;
  const auto limit = begin + std::chrono::duration<double>(rangeSeconds * 2048.0 / step * 2 + 10);
  TransportStatus status = transportStatus(*engine);
  while (!status.finished && !status.failed && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    status = transportStatus(*engine);
  }
  const bool finished = status.finished;
  // Let what was queued play out, so a WAV device has the whole pass.
  while (transportStatus(*engine).queuedBuffers > 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  status = transportStatus(*engine);
  const int underruns = status.underruns;
  const unsigned submitted = status.samplerBuffers;
  const std::string device = engine->audioDevice;
  // A WAV device puts its file in place only now, and says if writes failed;
  // an unfinished pass is no output to keep.
  if (!finished) {
    discardAudio(*engine);
  } else if (closeAudio(*engine, &failure) != 0) {
    std::fprintf(stderr, "quavrix-cli %s: %s\n", NAME, failure.c_str());
    return 1;
  }

  if (args.flag("--json")) {
    std::printf(
        "{\"finished\": %s, \"underruns\": %d, \"seconds\": %.3f, \"sampler_buffers\": %u, "
        "\"device\": %s}\n",
        finished ? "true" : "false", underruns, seconds, submitted, jsonString(device).c_str());
  } else {
    std::printf("played %.2f s of %s at x%.2f on %s: %d late buffers (underruns)\n", rangeSeconds,
                wav->c_str(), 2048.0 / step, device.c_str(), underruns);
  }
  if (!finished) {
    std::fprintf(stderr, "quavrix-cli %s: the pass did not finish\n", NAME);
    return 1;
  }
  return 0;
}

const CommandRegistrar registrar(
    {NAME,
     "play --wav W.wav [--dat P.dat] [--settings S.xml] [--speed 2048|1024|512|256] "
     "[--from SECONDS] [--to SECONDS] [--audio portaudio|null|wav:OUT.wav] [--json]",
     runPlay});

}  // namespace
}  // namespace quavrix::cli
