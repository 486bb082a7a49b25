// SPDX-License-Identifier: GPL-3.0-or-later
#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/shared_library.h"
#include "platform/voice_mixer.h"
#include "platform/wav_writer.h"

namespace quavrix {

namespace {

// A device without a sound card: a clock thread pulls one buffer of frames
// every 1024 / 44100 s and drops them, or writes them to a WAV file.
class ClockDevice final : public AudioDevice {
 public:
  explicit ClockDevice(std::string name) : name_(std::move(name)) {}
  // An unfinished WAV file is abandoned by its writer.
  ~ClockDevice() override { stop(); }

  bool open(const std::string& wavPath, std::string* error) {
    writing_ = !wavPath.empty();
    wavPath_ = wavPath;
    if (writing_ && !wav_.open(wavPath, 2, AUDIO_RATE)) {
      if (error) *error = "cannot create " + wavPath + ": " + wav_.failure();
      return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
  }

  bool finish(std::string* error) override {
    stop();
    if (writing_ && !finished_) {
      finished_ = true;
      // A failed write ends the file's usefulness; closing then discards it.
      written_ = wav_.close();
      if (!written_) failure_ = "writing " + wavPath_ + " failed: " + wav_.failure();
    }
    if (!written_ && error) *error = failure_;
    return written_;
  }

  AudioVoice* createVoice(std::function<void()> onBufferStart) override {
    return mixer_.createVoice(std::move(onBufferStart));
  }
  std::string name() const override { return name_; }
  std::uint64_t framesPlayed() const override { return played_.load(); }

 private:
  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }

  void run() {
    std::vector<float> block(2 * AUDIO_BUFFER_FRAMES);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(AUDIO_BUFFER_FRAMES) / AUDIO_RATE));
    auto next = std::chrono::steady_clock::now();
    while (running_) {
      mixer_.render(block.data(), AUDIO_BUFFER_FRAMES);
      if (writing_) wav_.write(block.data(), AUDIO_BUFFER_FRAMES);
      played_ += AUDIO_BUFFER_FRAMES;
      next += period;
      std::this_thread::sleep_until(next);
    }
  }

  std::string name_;
  VoiceMixer mixer_;
  WavWriter wav_;
  std::string wavPath_;
  bool writing_ = false;
  // Set by finish, on the thread that finishes the device.
  bool finished_ = false;
  bool written_ = true;
  std::string failure_;
  std::atomic<bool> running_{true};
  std::atomic<std::uint64_t> played_{0};
  std::thread thread_;
};

// The sound card's library, loaded by the first device that opens. The file
// name is that of the interface the header declares.
struct PortAudioLibrary {
  SharedLibrary library{"libportaudio.so.2"};
  decltype(&::Pa_Initialize) initialize = nullptr;
  decltype(&::Pa_Terminate) terminate = nullptr;
  decltype(&::Pa_OpenDefaultStream) openDefaultStream = nullptr;
  decltype(&::Pa_StartStream) startStream = nullptr;
  decltype(&::Pa_StopStream) stopStream = nullptr;
  decltype(&::Pa_CloseStream) closeStream = nullptr;
  decltype(&::Pa_GetErrorText) errorText = nullptr;
  bool ready = false;

  PortAudioLibrary() {
    ready =
        library.find(initialize, "Pa_Initialize") && library.find(terminate, "Pa_Terminate") &&
        library.find(openDefaultStream, "Pa_OpenDefaultStream") &&
        library.find(startStream, "Pa_StartStream") && library.find(stopStream, "Pa_StopStream") &&
        library.find(closeStream, "Pa_CloseStream") && library.find(errorText, "Pa_GetErrorText");
  }
};

// Kept loaded to the end: a device closed during the program's exit still
// calls into it.
PortAudioLibrary& portAudio() {
  static PortAudioLibrary& loaded = *new PortAudioLibrary;
  return loaded;
}

// The sound card through PortAudio; its callback only mixes the voices' queues.
class PortAudioDevice final : public AudioDevice {
 public:
  ~PortAudioDevice() override {
    if (stream_) {
      pa_.stopStream(stream_);
      pa_.closeStream(stream_);
    }
    if (initialised_) pa_.terminate();
  }

  bool open(std::string* error) {
    if (!pa_.ready) {
      if (error) *error = "sound card (portaudio): " + pa_.library.error();
      return false;
    }
    PaError err = pa_.initialize();
    if (err != paNoError) return fail(err, error);
    initialised_ = true;
    err = pa_.openDefaultStream(&stream_, 0, 2, paFloat32, AUDIO_RATE, 256,
                                &PortAudioDevice::callback, this);
    if (err != paNoError) {
      stream_ = nullptr;
      return fail(err, error);
    }
    err = pa_.startStream(stream_);
    if (err != paNoError) return fail(err, error);
    return true;
  }

  AudioVoice* createVoice(std::function<void()> onBufferStart) override {
    return mixer_.createVoice(std::move(onBufferStart));
  }
  std::string name() const override { return "portaudio"; }
  std::uint64_t framesPlayed() const override { return played_.load(); }
  bool finish(std::string*) override {
    if (stream_) {
      pa_.stopStream(stream_);
      pa_.closeStream(stream_);
      stream_ = nullptr;
    }
    return true;
  }

 private:
  bool fail(PaError err, std::string* error) const {
    if (error) *error = std::string("sound card (portaudio): ") + pa_.errorText(err);
    return false;
  }
  static int callback(const void*, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioDevice*>(user);
    self->mixer_.render(static_cast<float*>(output), static_cast<int>(frames));
    self->played_ += frames;
    return paContinue;
  }

  PortAudioLibrary& pa_ = portAudio();
  VoiceMixer mixer_;
  PaStream* stream_ = nullptr;
  bool initialised_ = false;
  std::atomic<std::uint64_t> played_{0};
};

}  // namespace

std::unique_ptr<AudioDevice> openAudioDevice(std::string_view name, std::string* error) {
  if (name == "null") {
    auto device = std::make_unique<ClockDevice>("null");
    if (!device->open({}, error)) return nullptr;
    return device;
  }
  if (name.substr(0, 4) == "wav:" && name.size() > 4) {
    auto device = std::make_unique<ClockDevice>(std::string(name));
    if (!device->open(std::string(name.substr(4)), error)) return nullptr;
    return device;
  }
  if (name == "portaudio") {
    auto device = std::make_unique<PortAudioDevice>();
    if (!device->open(error)) return nullptr;
    return device;
  }
  if (error)
    *error = "unknown audio device \"" + std::string(name) + "\" (portaudio, null, wav:PATH)";
  return nullptr;
}

std::string defaultAudioDeviceName() {
  const char* env = std::getenv("QUAVRIX_AUDIO");
  return env && *env ? env : "portaudio";
}

}  // namespace quavrix
