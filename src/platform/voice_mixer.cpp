// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/voice_mixer.h"

#include <algorithm>
#include <cstring>

namespace quavrix {

bool QueuedVoice::submit(const float* interleaved, int frames, bool endOfStream) {
  const std::uint32_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= AUDIO_VOICE_SLOTS) return false;
  Slot& slot = slots_[head % AUDIO_VOICE_SLOTS];
  frames = std::clamp(frames, 0, AUDIO_BUFFER_FRAMES);
  std::memcpy(slot.data.data(), interleaved, sizeof(float) * 2 * static_cast<std::size_t>(frames));
  slot.frames = frames;
  slot.endOfStream = endOfStream;
  const std::uint64_t streamFrame = submitted_.load(std::memory_order_relaxed);
  slot.streamFrame = streamFrame;
  head_.store(head + 1, std::memory_order_release);
  submitted_.store(streamFrame + static_cast<std::uint64_t>(frames), std::memory_order_release);
  return true;
}

int QueuedVoice::queued() const {
  return static_cast<int>(head_.load(std::memory_order_acquire) -
                          tail_.load(std::memory_order_acquire));
}

void QueuedVoice::mixInto(float* out, int frames, std::int64_t deviceFrame) {
  if (!started_.load(std::memory_order_acquire)) return;
  const float volume = volume_.load(std::memory_order_relaxed);
  int done = 0;
  while (done < frames) {
    std::uint32_t tail = tail_.load(std::memory_order_relaxed);
    if (!playing_) {
      if (tail == head_.load(std::memory_order_acquire)) {
        if (inStream_) dry_ = true;
        return;
      }
      playing_ = true;
      readOffset_ = 0;
      if (dry_) underruns_.fetch_add(1, std::memory_order_relaxed);
      dry_ = false;
      // Set before the start is reported, so that whoever wakes on it reads
      // the clock of this buffer.
      const Slot& starting = slots_[tail % AUDIO_VOICE_SLOTS];
      origin_.store(deviceFrame + done - static_cast<std::int64_t>(starting.streamFrame),
                    std::memory_order_release);
      if (onStart_) onStart_();
    }
    const Slot& slot = slots_[tail % AUDIO_VOICE_SLOTS];
    const int n = std::min(frames - done, slot.frames - readOffset_);
    const float* src = slot.data.data() + 2 * readOffset_;
    float* dst = out + 2 * done;
    for (int i = 0; i < 2 * n; ++i) dst[i] += src[i] * volume;
    done += n;
    readOffset_ += n;
    if (readOffset_ >= slot.frames) {
      inStream_ = !slot.endOfStream;
      playing_ = false;
      tail_.store(tail + 1, std::memory_order_release);
    }
  }
}

AudioVoice* VoiceMixer::createVoice(std::function<void()> onBufferStart) {
  const int index = count_.load(std::memory_order_relaxed);
  if (index >= MAX_VOICES) return nullptr;
  voices_[index] = std::make_unique<QueuedVoice>(std::move(onBufferStart));
  count_.store(index + 1, std::memory_order_release);
  return voices_[index].get();
}

void VoiceMixer::render(float* out, int frames) {
  std::fill(out, out + 2 * frames, 0.0f);
  const int count = count_.load(std::memory_order_acquire);
  for (int v = 0; v < count; ++v) voices_[v]->mixInto(out, frames, deviceFrames_);
  deviceFrames_ += frames;
}

}  // namespace quavrix
