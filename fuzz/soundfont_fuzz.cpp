// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the SoundFont loader and, when a bank comes out,
// plays every region of it for a moment, so that damaged sizes, indices and
// loop points are caught both while loading and while rendering.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "synth/sampler.h"
#include "synth/soundfont.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavrix;
  auto bank = loadSoundFontMemory(data, size);
  if (!bank) return 0;
  Sampler sampler;
  samplerInstallBank(sampler, std::move(bank));
  std::vector<float> block(2 * 256);
  const int presets = sampler.bank->presetCount();
  for (int p = 0; p < presets && p < 8; ++p) {
    for (const int key : {0, 60, 127}) samplerNoteOn(sampler, p, key, 1.0f);
    samplerRender(sampler, block.data(), 256);
    samplerAllNotesOff(sampler);
    samplerRender(sampler, block.data(), 256);
  }
  return 0;
}
