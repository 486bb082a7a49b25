#pragma once
// Playback of the recording and the notes together: the audio device with the
// recording voice and the sampler voice, the playback thread that mixes the
// recording block by block and sends the note events in step with it, and the
// sampler output thread that renders the sampler into its voice.
//
// Fields the view sets while playback runs (start, end, loop, alternate, step,
// wavOn, the channel switches) are read by the playback thread without a lock,
// so they are atomics. The playback lock serialises every note call into the
// sampler, from the playback thread and from the user-interface thread.

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
#include "playback/mix_state.h"

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

  Sampler* sampler = nullptr;
  MixState mix;
  ChannelSwitches switches;  // the toolbar's channel toggles, written by the view

  std::unique_ptr<AudioDevice> device;
  AudioVoice* recordingVoice = nullptr;
  AutoResetEvent recordingStarted;

  std::int32_t correction = 0;
  std::atomic<int> step{STEP_NORMAL};  // recording frames per 2048 output frames, 256..2048
  int previousStep = STEP_NORMAL;
  std::atomic<int> wavOn{1};
  std::atomic<float> wavLevel{0.67f};
  std::atomic<int> lag{0};          // frames the notes run ahead of the recording
  std::atomic<int> noteTimerMs{0};  // delay before the second slice of a half-block
  std::mutex playbackLock;

  // The recording (frame f of the file at index 8192 + f).
  const float* left = nullptr;
  const float* right = nullptr;
  std::uint32_t total = 0;  // entries in each buffer (the sample capacity)

  // The score, read without a lock; the user-interface thread compacts only
  // while playback is stopped.
  const std::uint8_t* lineMap = nullptr;
  const std::int32_t* slots = nullptr;
  const std::uint16_t* noteOffs = nullptr;
  std::uint32_t positions = 0;

  std::vector<float> output = std::vector<float>(2 * 2 * MIX_BLOCK_FRAMES);
  int currentHalf = 0;

  std::atomic<std::int64_t> position{0};  // buffer index of the pass position
  std::atomic<std::uint32_t> start{0};    // play range, buffer indices; end 0 = to the end
  std::atomic<std::uint32_t> end{0};
  std::atomic<int> playState{PLAY_STOPPED};
  int passStarted = 0;
  std::atomic<int> finished{0};
  int lastBlock = 0;
  std::atomic<int> loop{0};
  std::atomic<int> alternate{0};
  std::atomic<std::uint32_t> lastBeat{0};
  std::atomic<std::uint32_t> lastDivision{0};
  int audioOpen = 0;

  SamplerOutput samplerOutput;

  std::thread thread;
  // The playback thread marks itself idle, under stateMutex, whenever it finds
  // it should not play; stopPlayback waits for that mark.
  std::mutex stateMutex;
  std::condition_variable stateChanged;
  bool threadIdle = true;
  std::atomic<bool> quit{false};
  std::atomic<int> threadResult{0};
};

}  // namespace quavrix
