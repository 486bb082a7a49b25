// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>
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
  abandon();
}

// A file never closed was never finished: its temporary goes.
void WavWriter::abandon() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  if (writing_ != target_) std::remove(writing_.c_str());
  ok_ = false;
}

bool WavWriter::fail(int error) {
  if (error_ == 0) error_ = error ? error : static_cast<int>(std::errc::io_error);
  return ok_ = false;
}

std::string WavWriter::failure() const {
  if (error_ == 0) return {};
  return std::generic_category().message(error_);
}

bool WavWriter::open(const std::string& path, int channels, int sampleRate) {
  abandon();
  frames_ = clipped_ = 0;
  error_ = 0;
  ok_ = false;
  if (channels < 1 || channels > 16 || sampleRate < 1)
    return fail(static_cast<int>(std::errc::invalid_argument));
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  // Found now rather than by the rename after a whole render.
  if (std::filesystem::is_directory(status))
    return fail(static_cast<int>(std::errc::is_a_directory));
  const bool inPlace = std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
  target_ = path;
  writing_ = inPlace ? path : path + ".tmp";
  errno = 0;
  file_ = std::fopen(writing_.c_str(), "wb");
  if (!file_) return fail(errno);
  channels_ = channels;
  sampleRate_ = sampleRate;
  std::uint8_t h[HEADER_SIZE];
  header(h, channels, sampleRate, 0);
  ok_ = true;
  errno = 0;
  if (std::fwrite(h, 1, HEADER_SIZE, file_) != HEADER_SIZE) return fail(errno);
  return true;
}

bool WavWriter::write(const float* interleaved, std::size_t frames) {
  if (!file_ || !ok_) return false;
  const std::size_t limit =
      (std::numeric_limits<std::uint32_t>::max() - 36) / 2 / static_cast<std::size_t>(channels_);
  // RIFF sizes are 32-bit.
  if (frames > limit - frames_) return fail(static_cast<int>(std::errc::file_too_large));
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
    errno = 0;
    if (std::fwrite(out, 2, n, file_) != n) return fail(errno);
    done += n;
  }
  frames_ += frames;
  return true;
}

bool WavWriter::close() {
  if (!file_) return false;
  if (ok_) {
    std::uint8_t h[HEADER_SIZE];
    const auto dataBytes =
        static_cast<std::uint32_t>(frames_ * static_cast<std::size_t>(channels_) * 2);
    header(h, channels_, sampleRate_, dataBytes);
    errno = 0;
    // The flush is where a full disk shows itself for the last blocks.
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(h, 1, HEADER_SIZE, file_) != HEADER_SIZE || std::fflush(file_) != 0)
      fail(errno);
  }
  errno = 0;
  if (std::fclose(file_) != 0) fail(errno);
  file_ = nullptr;
  const bool inPlace = writing_ == target_;
  if (!ok_) {
    if (!inPlace) std::remove(writing_.c_str());
    return false;
  }
  ok_ = false;
  if (inPlace) return true;
  std::error_code ec;
  std::filesystem::rename(writing_, target_, ec);
  if (ec) {
    std::remove(writing_.c_str());
    error_ = ec.value();
    return false;
  }
  return true;
}

bool writeWav16(const std::string& path, const float* interleaved, std::size_t frames, int channels,
                int sampleRate, std::string* failure) {
  WavWriter writer;
  const bool written = writer.open(path, channels, sampleRate) &&
                       writer.write(interleaved, frames) && writer.close();
  if (!written && failure) *failure = writer.failure();
  return written;
}

}  // namespace quavrix
