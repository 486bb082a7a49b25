#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a Standard MIDI File through the sampler, the way a General MIDI
// module would: program changes pick presets of bank 0, channel 10 plays the
// drum kits of bank 128.

#include <cstddef>
#include <functional>

#include "synth/midi_file_reader.h"
#include "synth/sampler.h"

namespace quavrix {

struct MidiRenderOptions {
  // Output volume, applied as the sampler's output voice would. Notes carry
  // 15 dB of gain for a few tracks at a time; -18 dB gives a dense General
  // MIDI arrangement its headroom in 16 bits.
  float gain = 0.125f;
  // Longest time rendered after the last event while voices still sound.
  double maxTailSeconds = 10.0;
};

struct MidiRenderStats {
  std::size_t frames = 0;
  int notes = 0;
  int silentNotes = 0;  // note-ons no preset answered
  int peakVoices = 0;
  double averageVoices = 0.0;  // voices sounding, averaged over the rendered blocks
};

// Receives each rendered block (interleaved stereo, `frames` frames);
// returning false stops the render.
using RenderSink = std::function<bool(const float* block, std::size_t frames)>;

// Renders `song` with the sampler's current bank. Returns false when there is
// no bank or the sink refused a block.
bool renderMidiSong(Sampler& sampler, const MidiSong& song, const MidiRenderOptions& options,
                    const RenderSink& sink, MidiRenderStats& stats);

// Preset index for a channel's program: bank 128 on the drum channel (kit 0
// when the program has none), else bank 0, else any bank; -1 when none fits.
int presetForProgram(const SoundFontBank& bank, int channel, int program);

}  // namespace quavrix
