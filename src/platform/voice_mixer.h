#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The part every backend shares: the voices with their buffer queues, and the
// mix of all started voices into the device's output. Each voice's queue has
// one producer (its feeder thread) and one consumer (the device thread) and
// needs no lock.

#include <array>
#include <atomic>
#include <memory>

#include "platform/audio_device.h"

namespace quavrix {

class QueuedVoice final : public AudioVoice {
 public:
  explicit QueuedVoice(std::function<void()> onBufferStart) : onStart_(std::move(onBufferStart)) {}

  bool submit(const float* interleaved, int frames, bool endOfStream = false) override;
  void setVolume(float volume) override { volume_.store(volume, std::memory_order_relaxed); }
  void start() override { started_.store(true, std::memory_order_release); }
  int queued() const override;
  int underruns() const override { return underruns_.load(std::memory_order_relaxed); }
  std::uint64_t framesSubmitted() const override {
    return submitted_.load(std::memory_order_acquire);
  }
  std::int64_t streamOrigin() const override { return origin_.load(std::memory_order_acquire); }

  // Device thread: adds this voice's next `frames` frames into `out`, whose
  // first frame is device frame `deviceFrame`.
  void mixInto(float* out, int frames, std::int64_t deviceFrame);

 private:
  struct Slot {
    std::array<float, 2 * AUDIO_BUFFER_FRAMES> data;
    int frames = 0;
    bool endOfStream = false;
    std::uint64_t streamFrame = 0;
  };
  std::array<Slot, AUDIO_VOICE_SLOTS> slots_{};
  std::atomic<std::uint32_t> head_{0};  // next slot the feeder writes
  std::atomic<std::uint32_t> tail_{0};  // slot the device reads
  std::atomic<float> volume_{1.0f};
  std::atomic<bool> started_{false};
  std::atomic<int> underruns_{0};
  std::atomic<std::uint64_t> submitted_{0};  // written by the feeder only
  std::atomic<std::int64_t> origin_{NO_STREAM_ORIGIN};
  std::function<void()> onStart_;
  // Device-thread state.
  int readOffset_ = 0;
  bool playing_ = false;   // a slot is being read
  bool inStream_ = false;  // the last buffer finished was not an end of stream
  bool dry_ = false;       // ran out of buffers in the middle of a stream
};

class VoiceMixer {
 public:
  AudioVoice* createVoice(std::function<void()> onBufferStart);
  // Device thread: writes `frames` interleaved stereo frames of all voices.
  void render(float* out, int frames);

 private:
  static constexpr int MAX_VOICES = 4;
  std::array<std::unique_ptr<QueuedVoice>, MAX_VOICES> voices_;
  std::atomic<int> count_{0};
  std::int64_t deviceFrames_ = 0;  // device thread only
};

}  // namespace quavrix
