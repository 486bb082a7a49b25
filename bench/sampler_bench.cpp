// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the sampler's render loop per voice and frame: plain, filtered,
// filtered with a moving cutoff and vibrato, and the shipped General MIDI
// bank playing chords.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/paths.h"
#include "platform/program_path.h"
#include "synth/sampler.h"

namespace quavrix {
namespace {

enum class Kind { Plain, Filtered, Modulated };

// One preset over a looped one-second sine, built in memory.
std::unique_ptr<SoundFontBank> syntheticBank(Kind kind) {
  auto bank = std::make_unique<SoundFontBank>();
  const std::size_t points = 44100;
  bank->sampleCount = points;
  bank->samples.resize(points + 4);
  for (std::size_t i = 0; i < points; ++i)
    bank->samples[i] =
        0.5f * static_cast<float>(std::sin(2.0 * 3.14159265358979 * 441.0 * i / 44100.0));
  BankRegion r;
  r.loopMode = LOOP_CONTINUOUS;
  r.sampleRate = 44100;
  r.end = points;
  r.loopStart = 1000;
  r.loopEnd = 43099;
  r.volumeEnvelope[ENV_SUSTAIN] = 1.0f;
  r.modulationEnvelope[ENV_SUSTAIN] = 1.0f;
  r.volumeEnvelope[ENV_RELEASE] = 0.3f;
  r.filterCutoff = kind == Kind::Plain ? 14000 : 8000;
  if (kind == Kind::Modulated) {
    r.modEnvToCutoff = 2400;
    r.modulationEnvelope[ENV_DECAY] = 2.0f;
    r.modulationEnvelope[ENV_SUSTAIN] = 0.3f;
    r.vibLfoToPitch = 20;
    r.vibLfoFrequency = 0;
  }
  BankPreset p;
  p.name = "bench";
  p.regions.push_back(r);
  bank->presets.push_back(p);
  bank->voices.resize(VOICE_CAPACITY);
  bank->activeVoices.reserve(VOICE_CAPACITY);
  return bank;
}

void renderVoices(benchmark::State& state, Kind kind) {
  Sampler sampler;
  samplerInstallBank(sampler, syntheticBank(kind));
  const int voices = static_cast<int>(state.range(0));
  for (int i = 0; i < voices; ++i) samplerNoteOn(sampler, 0, 40 + i % 60, 0.8f);
  std::vector<float> block(2 * SAMPLER_FRAMES_PER_BLOCK);
  for (auto _ : state) {
    samplerRender(sampler, block.data(), SAMPLER_FRAMES_PER_BLOCK);
    benchmark::DoNotOptimize(block.data());
  }
  // Items are voice-frames: the time per item is the cost of one voice for one frame.
  state.SetItemsProcessed(state.iterations() * voices * SAMPLER_FRAMES_PER_BLOCK);
}

void BM_RenderPlain(benchmark::State& state) {
  renderVoices(state, Kind::Plain);
}
void BM_RenderFiltered(benchmark::State& state) {
  renderVoices(state, Kind::Filtered);
}
void BM_RenderModulated(benchmark::State& state) {
  renderVoices(state, Kind::Modulated);
}
BENCHMARK(BM_RenderPlain)->Arg(1)->Arg(64);
BENCHMARK(BM_RenderFiltered)->Arg(1)->Arg(64);
BENCHMARK(BM_RenderModulated)->Arg(1)->Arg(64);

// The shipped bank: a four-note chord on each of the first 16 melodic presets.
void BM_RenderGeneralMidiChords(benchmark::State& state) {
  Sampler sampler;
  samplerInstallBank(sampler, loadSoundFontFile(splitPath(programPath()).folder + "quavrix.sf2"));
  if (!sampler.bank) {
    state.SkipWithError("no quavrix.sf2 beside the benchmark");
    return;
  }
  std::vector<float> block(2 * SAMPLER_FRAMES_PER_BLOCK);
  std::int64_t voiceFrames = 0;
  int round = 0;
  for (auto _ : state) {
    if (round++ % 40 == 0) {
      samplerAllNotesOff(sampler);
      for (int p = 0; p < 16; ++p)
        for (const int key : {48, 52, 55, 60}) samplerNoteOn(sampler, p * 8, key, 0.8f);
    }
    voiceFrames += std::int64_t{samplerActiveVoices(sampler)} * SAMPLER_FRAMES_PER_BLOCK;
    samplerRender(sampler, block.data(), SAMPLER_FRAMES_PER_BLOCK);
    benchmark::DoNotOptimize(block.data());
  }
  state.SetItemsProcessed(voiceFrames);
}
BENCHMARK(BM_RenderGeneralMidiChords);

}  // namespace
}  // namespace quavrix
