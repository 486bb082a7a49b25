#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The sampler: plays the regions of the current SoundFont bank as voices and
// mixes them into interleaved stereo float blocks at 44100 Hz, and holds the
// per-track programs, velocities and mutes that turn the project's tracks
// into sampler calls.
//
// Threads: samplerRender runs on the sampler output thread; note calls come
// from the playback thread and, during the apply step, from the user
// interface thread, all serialised by the playback lock. Both sides also take
// the render lock for the few microseconds they touch the voice pool (the
// renderer per 64-frame block), so a note call never sees a half-rendered
// voice and the renderer never sees a half-started one. The pool has a fixed
// capacity allocated with the bank; only a reload replaces it, and that
// happens under the render lock after the voices were ended.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "persist/settings.h"
#include "synth/soundfont.h"

namespace quavrix {

inline constexpr int SAMPLER_FRAMES_PER_BLOCK = 1024;
inline constexpr int SAMPLER_TRACK_ENTRIES = 9;  // programs and mutes of tracks 1..8
inline constexpr float INITIAL_MIDI_GAIN = 0.67f;

// A note call to be carried out at a given device frame, so that it sounds at
// that frame of the block being rendered rather than where the block starts.
struct ScheduledNote {
  std::int64_t frame = 0;
  int preset = 0;  // ALL_NOTES_OFF: release every held voice
  int key = 0;
  float velocity = 0.0f;  // 0 or less: note-off
};
inline constexpr int ALL_NOTES_OFF = -2;
inline constexpr int SCHEDULE_CAPACITY = 4096;

struct Sampler {
  // Held while voices are rendered or changed. Do not hold it when calling
  // the functions below: they take it themselves.
  std::mutex renderLock;
  // 1 while there is no bank: the output thread idles instead of rendering.
  std::atomic<int> paused{1};
  int framesPerBlock = SAMPLER_FRAMES_PER_BLOCK;
  // Volume of the sampler's output: the level curve of the settings' MIDI level.
  // Set by the user-interface thread, read by the sampler output thread.
  std::atomic<float> midiGain{INITIAL_MIDI_GAIN};
  const SettingValues* settings = nullptr;

  // Entries 1..8: 1-based positions in the bank's sorted preset list, 0 = none.
  std::array<std::uint16_t, SAMPLER_TRACK_ENTRIES> trackPrograms{};
  std::uint16_t tickProgram = 0;
  std::uint8_t tickNote = 0;
  // 1 = no track notes at all; the playback thread flips it at a pass end
  // in alternate mode while the user-interface thread may read or set it.
  std::atomic<std::uint8_t> notesMute{0};
  std::array<std::uint8_t, SAMPLER_TRACK_ENTRIES> trackMutes{};  // entries 1..7
  std::uint8_t tickMute = 0;
  std::array<float, 8> trackVelocities{};  // entries 1..7
  float tickVelocity = 0.0f;

  // The current bank; replaced only under renderLock.
  std::unique_ptr<SoundFontBank> bank;

  // Note calls waiting for their frame, in the order they were placed (their
  // frames never go down); under renderLock.
  std::array<ScheduledNote, SCHEDULE_CAPACITY> schedule{};
  std::size_t scheduleHead = 0;
  std::size_t scheduled = 0;
};

// ---- notes (callers hold the playback lock) -------------------------------

// Starts every region of preset `preset` (index into the sorted preset list)
// that covers the key and velocity; velocity <= 0 is a note-off. Returns the
// number of voices started.
int samplerNoteOn(Sampler& sampler, int preset, int key, float velocity);
// Releases the earliest still-held note-on of this preset and key.
void samplerNoteOff(Sampler& sampler, int preset, int key);
// Releases every voice not yet in its release.
void samplerAllNotesOff(Sampler& sampler);
// Ends every voice that still sounds with the 0.01 s release.
void samplerEndQuickAll(Sampler& sampler);
// Ends one voice with the 0.01 s release (the caller holds the render lock).
void samplerEndQuick(SynthVoice& voice);

// Track notes as the playback thread sends them: preset = program - 1,
// velocity = the track's; nothing while the notes or the track are muted.
int samplerTrackNoteOn(Sampler& sampler, int track, int key);
void samplerTrackNoteOff(Sampler& sampler, int track, int key);
// Releases and restarts the tick note unless the tick is muted.
int samplerTick(Sampler& sampler);

// Places a note call for samplerRenderFrom to carry out; false when the
// schedule is full.
bool samplerSchedule(Sampler& sampler, const ScheduledNote& note);
// Drops every note call not yet carried out.
void samplerClearSchedule(Sampler& sampler);

// ---- channels ----------------------------------------------------------------

// The channel, creating the table up to it with defaults; null without a bank
// or past SYNTH_CHANNEL_CAPACITY.
SynthChannel* SamplerChannel(Sampler& sampler, int channel);
// Re-pitches the sounding voices of the channel from its wheel, range and tuning.
void samplerApplyPitch(Sampler& sampler, int channel);
// Sets channel 0's tuning to `cents` / 100 semitones and re-pitches when it changed.
void samplerSetTuning(Sampler& sampler, int cents);

// ---- rendering ---------------------------------------------------------------

// Clears `out` (frames x 2 floats, interleaved stereo) and adds every voice.
void samplerRender(Sampler& sampler, float* out, int frames);
// The same for a block whose first frame is device frame `firstFrame`: each
// scheduled call takes effect at its own frame (one already past, at once).
void samplerRenderFrom(Sampler& sampler, float* out, int frames, std::int64_t firstFrame);
// Voices in use right now.
int samplerActiveVoices(Sampler& sampler);

// ---- settings ------------------------------------------------------------------

// 100 v^2 / (101 - v) for 0 <= v < 1; 1 from 1 up; 0 below 0.
float levelCurve(float level);
// Track and tick velocities from the settings' levels.
void updateTrackVelocities(Sampler& sampler);
// Mute switches from the settings' runtime words.
void updateMutes(Sampler& sampler);
// Programs and tick note from the settings (no voice handling).
void copyPrograms(Sampler& sampler);
// The programs step of the apply pass: release all, copy, release all again.
void samplerApplyPrograms(Sampler& sampler);

// ---- bank ------------------------------------------------------------------------

// Installs a loaded bank: channel table up to channel 9 with the percussion
// set (bank 128, program 0) on channel 9, stereo output at 44100 Hz with
// 15 dB global gain; clears the no-bank flag. A null bank leaves the sampler
// paused.
void samplerInstallBank(Sampler& sampler, std::unique_ptr<SoundFontBank> bank);
// Takes the bank away safely while rendering may go on: ends every voice
// quickly, leaves the renderer `settle` to play them out, sets the no-bank
// flag and detaches the bank under the render lock. The caller frees it.
std::unique_ptr<SoundFontBank> samplerRemoveBank(Sampler& sampler,
                                                 std::chrono::milliseconds settle);

}  // namespace quavrix
