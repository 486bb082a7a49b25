#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Rendering a voice, one block of VOICE_BLOCK frames at a time, in three
// steps so that the sampler can run the filters of several voices side by
// side: begin (modulators, envelopes, resampling), filter, end (mixing).

#include "synth/sampler_voice.h"

namespace quavrix {

// What the begin step found for one voice's block.
struct VoiceBlock {
  float gain = 0.0f;
  float gainStep = 0.0f;  // per frame, ramping to the gain at the block's end
  int count = 0;          // frames resampled before the region ended
  bool filter = false;
  bool finished = false;
};

// `buf` holds VOICE_BLOCK floats; past the resampled count it is zero-filled.
void voiceBeginBlock(SynthVoice& voice, const float* samples, float* buf, int frames,
                     VoiceBlock& block);
void voiceFilterBlock(SynthVoice& voice, float* buf, int count);
// The filters of four voices over blocks of the same length.
void voiceFilterBlocks4(SynthVoice* const voices[4], float* const bufs[4], int count);

// Left and right sums of one block, kept apart so that mixing a voice in is
// a straight vector loop; interleaved into the output once per block.
struct MixBus {
  alignas(16) float left[VOICE_BLOCK];
  alignas(16) float right[VOICE_BLOCK];
};

// Mixes a whole block of `buf` (zero past the voice's count) into the bus.
// Returns false when the voice finished and was freed.
bool voiceEndBlock(SynthVoice& voice, const float* buf, MixBus& bus, const VoiceBlock& block);
// Adds `frames` frames of the bus into interleaved stereo.
void mixBusAdd(const MixBus& bus, float* out, int frames);

// Adds `frames` frames of the voice into `out` (interleaved stereo). Returns
// false when the voice has finished and was freed. `samples` holds
// `sampleCount` points plus at least one zero after them.
bool voiceRender(SynthVoice& voice, const float* samples, float* out, int frames);

}  // namespace quavrix
