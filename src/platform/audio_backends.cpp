#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/voice_mixer.h"

namespace quavrix {

namespace {

// Writes 16-bit stereo PCM and fills in the sizes when closed.
class WavStream {
 public:
  bool open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    unsigned char header[44] = {};
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
  }
  void append(const float* interleaved, int frames) {
    if (!file_) return;
    buffer_.resize(static_cast<std::size_t>(frames) * 4);
    for (int i = 0; i < 2 * frames; ++i) {
      const float v = std::clamp(interleaved[i], -1.0f, 1.0f);
      const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0f));
      buffer_[2 * i] = static_cast<unsigned char>(s & 0xFF);
      buffer_[2 * i + 1] = static_cast<unsigned char>((s >> 8) & 0xFF);
    }
    dataBytes_ += std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  }
  void close() {
    if (!file_) return;
    const auto put32 = [](unsigned char* p, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
    };
    unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                           16,  0,   0,   0,   1, 0, 2, 0};
    put32(h + 4, static_cast<std::uint32_t>(36 + dataBytes_));
    put32(h + 24, AUDIO_RATE);
    put32(h + 28, AUDIO_RATE * 4);
    h[32] = 4;
    h[34] = 16;
    h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
    put32(h + 40, static_cast<std::uint32_t>(dataBytes_));
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_ = nullptr;
  std::vector<unsigned char> buffer_;
  std::size_t dataBytes_ = 0;
};

// A device without a sound card: a clock thread pulls one buffer of frames
// every 1024 / 44100 s and drops them, or writes them to a WAV file.
class ClockDevice final : public AudioDevice {
 public:
  explicit ClockDevice(std::string name) : name_(std::move(name)) {}
  ~ClockDevice() override {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    wav_.close();
  }

  bool open(const std::string& wavPath, std::string* error) {
    if (!wavPath.empty() && !wav_.open(wavPath)) {
      if (error) *error = "cannot write " + wavPath;
      return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
  }

  AudioVoice* createVoice(std::function<void()> onBufferStart) override {
    return mixer_.createVoice(std::move(onBufferStart));
  }
  std::string name() const override { return name_; }
  std::uint64_t framesPlayed() const override { return played_.load(); }

 private:
  void run() {
    std::vector<float> block(2 * AUDIO_BUFFER_FRAMES);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(AUDIO_BUFFER_FRAMES) / AUDIO_RATE));
    auto next = std::chrono::steady_clock::now();
    while (running_) {
      mixer_.render(block.data(), AUDIO_BUFFER_FRAMES);
      wav_.append(block.data(), AUDIO_BUFFER_FRAMES);
      played_ += AUDIO_BUFFER_FRAMES;
      next += period;
      std::this_thread::sleep_until(next);
    }
  }

  std::string name_;
  VoiceMixer mixer_;
  WavStream wav_;
  std::atomic<bool> running_{true};
  std::atomic<std::uint64_t> played_{0};
  std::thread thread_;
};

// The sound card through PortAudio; its callback only mixes the voices' queues.
class PortAudioDevice final : public AudioDevice {
 public:
  ~PortAudioDevice() override {
    if (stream_) {
      Pa_StopStream(stream_);
      Pa_CloseStream(stream_);
    }
    if (initialised_) Pa_Terminate();
  }

  bool open(std::string* error) {
    PaError err = Pa_Initialize();
    if (err != paNoError) return fail(err, error);
    initialised_ = true;
    err = Pa_OpenDefaultStream(&stream_, 0, 2, paFloat32, AUDIO_RATE, 256, &PortAudioDevice::callback,
                               this);
    if (err != paNoError) {
      stream_ = nullptr;
      return fail(err, error);
    }
    err = Pa_StartStream(stream_);
    if (err != paNoError) return fail(err, error);
    return true;
  }

  AudioVoice* createVoice(std::function<void()> onBufferStart) override {
    return mixer_.createVoice(std::move(onBufferStart));
  }
  std::string name() const override { return "portaudio"; }
  std::uint64_t framesPlayed() const override { return played_.load(); }

 private:
  static bool fail(PaError err, std::string* error) {
    if (error) *error = Pa_GetErrorText(err);
    return false;
  }
  static int callback(const void*, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioDevice*>(user);
    self->mixer_.render(static_cast<float*>(output), static_cast<int>(frames));
    self->played_ += frames;
    return paContinue;
  }

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
  if (error) *error = "unknown audio device \"" + std::string(name) + "\" (portaudio, null, wav:PATH)";
  return nullptr;
}

std::string defaultAudioDeviceName() {
  const char* env = std::getenv("QUAVRIX_AUDIO");
  return env && *env ? env : "portaudio";
}

}  // namespace quavrix
