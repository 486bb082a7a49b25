#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The sound output: one device that mixes a few source voices, each fed with
// queued buffers of float stereo frames at 44100 Hz. A voice reports when a
// queued buffer starts to play, so that its feeder can keep exactly one buffer
// queued behind the one playing.
//
// Backends: "portaudio" (the sound card), "null" (silent, keeps real time with a
// clock) and "wav:PATH" (writes what would be heard to a 16-bit WAV file, in
// real time; the file appears when the device is finished).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quavrix {

inline constexpr int AUDIO_RATE = 44100;
inline constexpr int AUDIO_BUFFER_FRAMES = 1024;
inline constexpr int AUDIO_VOICE_SLOTS = 8;  // buffers a voice can hold queued
inline constexpr std::int64_t NO_STREAM_ORIGIN = INT64_MIN;

class AudioVoice {
 public:
  virtual ~AudioVoice() = default;
  // Queues up to AUDIO_BUFFER_FRAMES interleaved stereo frames (copied). After a
  // buffer marked endOfStream the voice may run dry without that counting as
  // an underrun. false when the queue is full.
  virtual bool submit(const float* interleaved, int frames, bool endOfStream = false) = 0;
  virtual void setVolume(float volume) = 0;
  virtual void start() = 0;
  // Buffers queued or playing.
  virtual int queued() const = 0;
  // The voice's own clock, for placing other voices' sound against it. Each
  // submitted frame has a stream frame, counted from the voice's first; this
  // is the stream frame the next submitted buffer starts at.
  virtual std::uint64_t framesSubmitted() const = 0;
  // Device frame (framesPlayed's count) minus stream frame of the buffer that
  // started last: stream frame f plays at device frame streamOrigin() + f as
  // long as the voice does not run dry. NO_STREAM_ORIGIN before any started.
  virtual std::int64_t streamOrigin() const = 0;
  // Times the voice ran dry in the middle of a stream.
  virtual int underruns() const = 0;
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // onBufferStart runs on the device's thread whenever a queued buffer starts
  // to play; it must return quickly and never wait for a lock held by others.
  // A device has room for four voices; nullptr when they are used up.
  virtual AudioVoice* createVoice(std::function<void()> onBufferStart) = 0;
  virtual std::string name() const = 0;
  // Frames the device has played since it opened.
  virtual std::uint64_t framesPlayed() const = 0;
  // Stops the device and completes what it produces: the WAV backend puts its
  // file in place. False, with the reason in `error`, when output was lost on
  // the way (a write failed; the old file then stays as it was). Nothing
  // plays afterwards. A device destroyed without finish discards its output:
  // a WAV device leaves no file and the old one as it was.
  virtual bool finish(std::string* error) = 0;
};

// Opens the named backend; nullptr with a reason in `error` when it cannot
// (naming the device, or the file a WAV device cannot create).
std::unique_ptr<AudioDevice> openAudioDevice(std::string_view name, std::string* error);

// The backend chosen by QUAVRIX_AUDIO, or "portaudio".
std::string defaultAudioDeviceName();

}  // namespace quavrix
