#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Playback of the recording and the notes together: the audio device with the
// recording voice and the sampler voice, the playback thread that mixes the
// recording block by block and sends the note events in step with it, and the
// sampler output thread that renders the sampler into its voice.
//
// The fields are grouped below by which thread writes them and which reads
// them. Nothing above the engine writes them: the window, the command-line
// tool and the tests go through the engine's transport commands.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/auto_reset_event.h"
#include "playback/recording_mixer.h"

namespace quavrix {

struct Sampler;

// The sampler's own output: a voice fed from a ring of four rendered buffers
// by the sampler output thread.
struct SamplerOutput {
  static constexpr int RING_SLOTS = 4;
  AudioVoice* voice = nullptr;
  AutoResetEvent bufferStarted;
  std::array<std::array<float, 2 * AUDIO_BUFFER_FRAMES>, RING_SLOTS> ring{};
  int slot = 0;
  std::atomic<std::uint32_t> buffersSubmitted{0};
  std::atomic<int> running{0};
  std::atomic<bool> quit{false};
  std::thread thread;
};

inline constexpr int PLAY_STOPPED = 0;
inline constexpr int PLAY_PLAYING = 1;
inline constexpr int PLAY_PAUSED = 2;

struct PlaybackState {
  PlaybackState();
  ~PlaybackState();
  PlaybackState(const PlaybackState&) = delete;
  PlaybackState& operator=(const PlaybackState&) = delete;

  // ---- set-up: written by the user-interface thread while the playback
  // thread does not play (opening a recording, the audio set-up); read by
  // the playback thread.
  Sampler* sampler = nullptr;
  std::unique_ptr<AudioDevice> device;
  AudioVoice* recordingVoice = nullptr;
  int audioOpen = 0;
  // The recording (frame f of the file at index 8192 + f).
  const std::int16_t* left = nullptr;
  const std::int16_t* right = nullptr;
  std::uint32_t total = 0;  // entries in each buffer (the sample capacity)
  // The score, read without a lock; the user-interface thread compacts only
  // while playback is stopped.
  const std::uint8_t* lineMap = nullptr;
  const std::int32_t* slots = nullptr;
  const std::uint16_t* noteOffs = nullptr;
  std::uint32_t positions = 0;

  // ---- controls: written by the user-interface thread (through the
  // engine's transport commands) at any time; read by the playback thread
  // at the start of every block.
  std::atomic<std::uint32_t> start{0};  // play range, buffer indices; end 0 = to the end
  std::atomic<std::uint32_t> end{0};
  std::atomic<int> step{STEP_NORMAL};  // recording frames per 2048 output frames, 256..2048
  std::atomic<int> loop{0};
  std::atomic<int> alternate{0};
  std::atomic<int> wavOn{1};  // the playback thread also toggles it at a pass end in alternate mode
  std::atomic<float> wavLevel{0.67f};
  std::atomic<int> lag{0};  // frames the notes run ahead of the recording
  // The MIDI interval setting. Events carry their own frames now, so it no
  // longer delays anything; kept for the settings that hold it.
  std::atomic<int> noteTimerMs{0};
  ChannelSwitches switches;  // the toolbar's channel toggles, read by the mixer
  std::atomic<int> playState{PLAY_STOPPED};
  // Set to restart the pass at the range start; the thread takes it at the
  // start of its next block (the pass state below is the thread's alone).
  std::atomic<int> rewind{0};
  // Serialises every note call into the sampler, from either thread.
  std::mutex playbackLock;

  // ---- pass: the playback thread's own working state. The user-interface
  // thread touches passStarted only after stopPlayback has seen the thread idle.
  MixState mix;
  AutoResetEvent recordingStarted;
  std::int32_t correction = 0;
  int previousStep = STEP_NORMAL;
  std::vector<float> output = std::vector<float>(2 * 2 * MIX_BLOCK_FRAMES);
  int currentHalf = 0;
  int passStarted = 0;
  int lastBlock = 0;
  std::int64_t nextEvent = 0;  // first position whose events are not placed yet
  std::int64_t passEnd = 0;    // device frame where the last block played so far ends
  // A buffer of silence that puts a dry recording voice one buffer ahead.
  std::vector<float> silence = std::vector<float>(2 * AUDIO_BUFFER_FRAMES, 0.0f);

  // ---- status: written by the playback thread; read by the user-interface
  // thread through transportStatus (its 50 ms timer).
  std::atomic<std::int64_t> position{0};  // buffer index of the pass position
  std::atomic<int> finished{0};           // a pass ended without loop; cleared by the reader
  std::atomic<std::uint32_t> lastBeat{0};
  std::atomic<std::uint32_t> lastDivision{0};
  std::atomic<int> threadResult{0};  // -2 when the thread ended on an audio error

  SamplerOutput samplerOutput;

  std::thread thread;
  // The playback thread marks itself idle, under stateMutex, whenever it finds
  // it should not play; stopPlayback waits for that mark.
  std::mutex stateMutex;
  std::condition_variable stateChanged;
  bool threadIdle = true;
  std::atomic<bool> quit{false};
};

}  // namespace quavrix
