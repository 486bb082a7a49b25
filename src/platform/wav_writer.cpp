#include "platform/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace quavrix {

namespace {

constexpr std::size_t HEADER_SIZE = 44;
constexpr std::size_t CHUNK = 4096;  // samples converted per fwrite

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xff);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
}

void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v & 0xffff);
  put16(p + 2, v >> 16);
}

void header(std::uint8_t* h, int channels, int rate, std::uint32_t dataBytes) {
  const auto ch = static_cast<std::uint32_t>(channels);
  const auto sr = static_cast<std::uint32_t>(rate);
  std::copy_n("RIFF", 4, h);
  put32(h + 4, 36 + dataBytes);
  std::copy_n("WAVE", 4, h + 8);
  std::copy_n("fmt ", 4, h + 12);
  put32(h + 16, 16);
  put16(h + 20, 1);  // PCM
  put16(h + 22, ch);
  put32(h + 24, sr);
  put32(h + 28, sr * ch * 2);
  put16(h + 32, ch * 2);
  put16(h + 34, 16);
  std::copy_n("data", 4, h + 36);
  put32(h + 40, dataBytes);
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_) std::fclose(file_);
}

bool WavWriter::open(const std::string& path, int channels, int sampleRate) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  frames_ = clipped_ = 0;
  ok_ = false;
  if (channels < 1 || channels > 16 || sampleRate < 1) return false;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  channels_ = channels;
  sampleRate_ = sampleRate;
  std::uint8_t h[HEADER_SIZE];
  header(h, channels, sampleRate, 0);
  ok_ = std::fwrite(h, 1, HEADER_SIZE, file_) == HEADER_SIZE;
  return ok_;
}

bool WavWriter::write(const float* interleaved, std::size_t frames) {
  if (!file_ || !ok_) return false;
  const std::size_t limit =
      (std::numeric_limits<std::uint32_t>::max() - 36) / 2 / static_cast<std::size_t>(channels_);
  if (frames > limit - frames_) return ok_ = false;  // RIFF sizes are 32-bit
  std::uint8_t out[2 * CHUNK];
  const std::size_t total = frames * static_cast<std::size_t>(channels_);
  for (std::size_t done = 0; done < total;) {
    const std::size_t n = std::min(CHUNK, total - done);
    for (std::size_t i = 0; i < n; ++i) {
      float x = interleaved[done + i];
      if (!(x >= -1.0f && x <= 1.0f)) {
        ++clipped_;
        x = x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f);  // NaN becomes silence
      }
      const auto v = static_cast<std::int16_t>(std::lrint(x * 32767.0f));
      put16(out + 2 * i, static_cast<std::uint16_t>(v));
    }
    if (std::fwrite(out, 2, n, file_) != n) return ok_ = false;
    done += n;
  }
  frames_ += frames;
  return true;
}

bool WavWriter::close() {
  if (!file_) return false;
  bool ok = ok_;
  if (ok) {
    std::uint8_t h[HEADER_SIZE];
    const auto dataBytes =
        static_cast<std::uint32_t>(frames_ * static_cast<std::size_t>(channels_) * 2);
    header(h, channels_, sampleRate_, dataBytes);
    ok =
        std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, HEADER_SIZE, file_) == HEADER_SIZE;
  }
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  ok_ = false;
  return ok;
}

bool writeWav16(const std::string& path, const float* interleaved, std::size_t frames, int channels,
                int sampleRate) {
  WavWriter writer;
  if (!writer.open(path, channels, sampleRate)) return false;
  const bool wrote = writer.write(interleaved, frames);
  return writer.close() && wrote;
}

}  // namespace quavrix
