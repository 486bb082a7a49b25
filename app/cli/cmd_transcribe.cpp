// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli transcribe RECORDING [--json] [--out NOTES.mid]: the note model's
// notes of a recording, as the window suggests them.

#include <cstdio>
#include <string>
#include <thread>

#include "analysis/model_input.h"
#include "analysis/note_model.h"
#include "analysis/transcription.h"
#include "analysis/wav_reader.h"
#include "base/atomic_file.h"
#include "base/units.h"
#include "cli.h"
#include "persist/note_list_midi.h"

namespace quavrix::cli {
namespace {

int runTranscribe(const std::vector<std::string>& argv) {
  const Args args(argv, {"--out", "--model-input"});
  if (!args.error().empty()) return usageError("transcribe", args.error());
  if (args.positional().size() != 1) return usageError("transcribe", "give one recording");

  std::string reason;
  const auto model = NoteModel::load(noteModelPath(), &reason);
  if (!model) {
    std::fprintf(stderr,
                 "quavrix-cli transcribe: the note model is not available (%s); "
                 "scripts/fetch-model.sh fetches it and the build converts it\n",
                 reason.c_str());
    return 1;
  }
  Recording rec;
  rec.path = args.positional()[0];
  if (readRecordingSamples(rec, &reason) != WAV_OK) {
    std::fprintf(stderr, "quavrix-cli transcribe: cannot read %s: %s\n", rec.path.c_str(),
                 reason.c_str());
    return 1;
  }
  std::vector<float> audio;
  if (!modelInput(rec, audio, &reason)) {
    std::fprintf(stderr, "quavrix-cli transcribe: %s\n", reason.c_str());
    return 1;
  }
  // The recording's samples are not needed again: a long one is the largest
  // buffer of the run.
  const double seconds = static_cast<double>(rec.framesRead) / SAMPLE_RATE;
  releaseRecording(rec);
  // What the model hears, as raw 22050 Hz mono floats: the benchmark feeds
  // the same audio to the model's own JavaScript.
  if (const auto dump = args.value("--model-input")) {
    if (!writeFileAtomically(*dump, audio.data(), audio.size() * sizeof(float), &reason)) {
      std::fprintf(stderr, "quavrix-cli transcribe: cannot write %s: %s\n", dump->c_str(),
                   reason.c_str());
      return 1;
    }
  }
  Transcription result;
  PosteriorOptions options;
  options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (!transcribeInput(std::move(audio), seconds, *model, result, &reason, options)) {
    std::fprintf(stderr, "quavrix-cli transcribe: %s\n", reason.c_str());
    return 1;
  }

  if (const auto out = args.value("--out")) {
    const auto file = noteListMidi(result.notes);
    std::string failure;
    if (!writeFileAtomically(*out, file.data(), file.size(), &failure)) {
      std::fprintf(stderr, "quavrix-cli transcribe: cannot write %s: %s\n", out->c_str(),
                   failure.c_str());
      return 1;
    }
  }
  if (args.flag("--json")) {
    std::string json = "{\"notes\": [";
    char buf[160];
    for (std::size_t i = 0; i < result.notes.size(); ++i) {
      const ModelNote& n = result.notes[i];
      std::snprintf(buf, sizeof buf,
                    "%s{\"start\": %.6f, \"end\": %.6f, \"pitch\": %d, \"velocity\": %d}",
                    i ? ", " : "", n.start, n.end, n.pitch, n.velocity);
      json += buf;
    }
    std::snprintf(buf, sizeof buf, "], \"seconds\": %.6f}\n", result.seconds);
    json += buf;
    std::fputs(json.c_str(), stdout);
  } else {
    std::printf("%s: %zu notes in %.2f s\n", rec.path.c_str(), result.notes.size(), result.seconds);
    for (const ModelNote& n : result.notes)
      std::printf("%9.3f %9.3f  pitch %3d  velocity %3d\n", n.start, n.end, n.pitch, n.velocity);
  }
  return 0;
}

const CommandRegistrar registrar{
    {"transcribe", "transcribe RECORDING [--json] [--out NOTES.mid] [--model-input OUT.f32]",
     runTranscribe}};

}  // namespace
}  // namespace quavrix::cli
