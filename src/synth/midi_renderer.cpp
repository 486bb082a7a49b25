// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/midi_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace quavrix {

namespace {

constexpr int MIDI_CHANNELS = 16;
constexpr int DRUM_CHANNEL = 9;

}  // namespace

int presetForProgram(const SoundFontBank& bank, int channel, int program) {
  if (channel == DRUM_CHANNEL) {
    const int kit = findPreset(bank, 128, program);
    return kit >= 0 ? kit : findPreset(bank, 128, 0);
  }
  const int preset = findPreset(bank, 0, program);
  if (preset >= 0) return preset;
  for (int i = 0; i < bank.presetCount(); ++i)
    if (bank.presets[i].program == program && bank.presets[i].bank != 128) return i;
  return -1;
}

bool renderMidiSong(Sampler& sampler, const MidiSong& song, const MidiRenderOptions& options,
                    const RenderSink& sink, MidiRenderStats& stats) {
  stats = MidiRenderStats{};
  if (!sampler.bank) return false;
  const SoundFontBank& bank = *sampler.bank;

  std::array<int, MIDI_CHANNELS> channelPreset{};
  for (int c = 0; c < MIDI_CHANNELS; ++c) channelPreset[c] = presetForProgram(bank, c, 0);
  // The preset each sounding key was started with, so that its note-off finds
  // it even after a program change.
  std::array<std::array<int, 128>, MIDI_CHANNELS> heldPreset;
  for (auto& keys : heldPreset) keys.fill(-1);

  const int blockFrames = sampler.framesPerBlock;
  std::vector<float> block(2 * static_cast<std::size_t>(blockFrames));
  std::size_t cursor = 0;
  double voiceFrames = 0.0;
  auto renderTo = [&](std::size_t target) {
    while (cursor < target) {
      const int n = static_cast<int>(std::min<std::size_t>(blockFrames, target - cursor));
      voiceFrames += static_cast<double>(samplerActiveVoices(sampler)) * n;
      samplerRender(sampler, block.data(), n);
      for (int i = 0; i < 2 * n; ++i) block[i] *= options.gain;
      if (!sink(block.data(), static_cast<std::size_t>(n))) return false;
      cursor += static_cast<std::size_t>(n);
    }
    return true;
  };
  auto frameAt = [](double seconds) {
    return static_cast<std::size_t>(std::llround(std::max(0.0, seconds) * OUTPUT_RATE));
  };

  for (const MidiEvent& e : song.events) {
    if (!renderTo(frameAt(e.seconds))) return false;
    switch (e.kind) {
      case MidiEventKind::ProgramChange:
        channelPreset[e.channel] = presetForProgram(bank, e.channel, e.key);
        break;
      case MidiEventKind::NoteOn: {
        const int preset = channelPreset[e.channel];
        ++stats.notes;
        const int started = samplerNoteOn(sampler, preset, e.key, e.velocity / 127.0f);
        if (started == 0) ++stats.silentNotes;
        heldPreset[e.channel][e.key] = preset;
        stats.peakVoices = std::max(stats.peakVoices, samplerActiveVoices(sampler));
        break;
      }
      case MidiEventKind::NoteOff: {
        const int preset = heldPreset[e.channel][e.key];
        if (preset >= 0) samplerNoteOff(sampler, preset, e.key);
        break;
      }
    }
  }
  if (!renderTo(frameAt(song.lengthSeconds))) return false;
  // Let the releases ring out.
  const std::size_t tailEnd = cursor + frameAt(options.maxTailSeconds);
  while (cursor < tailEnd && samplerActiveVoices(sampler) > 0) {
    if (!renderTo(std::min(tailEnd, cursor + static_cast<std::size_t>(blockFrames)))) return false;
  }
  stats.frames = cursor;
  stats.averageVoices = cursor > 0 ? voiceFrames / static_cast<double>(cursor) : 0.0;
  return true;
}

}  // namespace quavrix
