// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/wav_builder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace quavrix::test {

namespace {
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put16(std::vector<unsigned char>& out, std::uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
}  // namespace

std::vector<unsigned char> WavBuilder::bytes() const {
  std::vector<unsigned char> out = {'R', 'I', 'F', 'F'};
  put32(out, riffSize_ >= 0 ? static_cast<std::uint32_t>(riffSize_)
                            : static_cast<std::uint32_t>(body_.size() + 4));
  out.insert(out.end(), {'W', 'A', 'V', 'E'});
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

WavBuilder& WavBuilder::format(int channels, int rate, int bits, int tag, int chunkSize) {
  std::vector<unsigned char> c;
  put16(c, static_cast<std::uint16_t>(tag));
  put16(c, static_cast<std::uint16_t>(channels));
  put32(c, static_cast<std::uint32_t>(rate));
  put32(c, static_cast<std::uint32_t>(rate * channels * bits / 8));
  put16(c, static_cast<std::uint16_t>(channels * bits / 8));
  put16(c, static_cast<std::uint16_t>(bits));
  while (static_cast<int>(c.size()) < chunkSize) c.push_back(0);
  return chunk("fmt ", c);
}

WavBuilder& WavBuilder::data(const std::vector<std::int16_t>& samples, long declaredSize) {
  std::vector<unsigned char> c;
  c.reserve(samples.size() * 2);
  for (const std::int16_t s : samples) put16(c, static_cast<std::uint16_t>(s));
  return chunk("data", c, declaredSize);
}

WavBuilder& WavBuilder::chunk(const std::string& id, const std::vector<unsigned char>& contents,
                              long declaredSize) {
  body_.insert(body_.end(), id.begin(), id.end());
  put32(body_, declaredSize >= 0 ? static_cast<std::uint32_t>(declaredSize)
                                 : static_cast<std::uint32_t>(contents.size()));
  body_.insert(body_.end(), contents.begin(), contents.end());
  if (contents.size() % 2) body_.push_back(0);
  return *this;
}

bool WavBuilder::write(const std::string& path) const {
  return writeBytes(path, bytes());
}

std::vector<std::int16_t> toneSamples(int frames, double hz, double amplitude, bool stereo) {
  std::vector<std::int16_t> out;
  out.reserve(static_cast<std::size_t>(frames) * (stereo ? 2 : 1));
  for (int f = 0; f < frames; ++f) {
    const auto s =
        static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * f / 44100.0)));
    out.push_back(s);
    if (stereo) out.push_back(s);
  }
  return out;
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace quavrix::test

namespace quavrix::test {

PcmWav readPcmWav(const std::string& path) {
  PcmWav wav;
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
  const auto u16 = [&](std::size_t at) { return b[at] | (b[at + 1] << 8); };
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
  };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return wav;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id(b.begin() + at, b.begin() + at + 4);
    const std::uint32_t size = u32(at + 4);
    const std::size_t body = at + 8;
    if (id == "fmt " && body + 16 <= b.size()) {
      wav.channels = u16(body + 2);
      wav.rate = static_cast<int>(u32(body + 4));
    } else if (id == "data" && wav.channels > 0) {
      const std::size_t end = std::min<std::size_t>(b.size(), body + size);
      for (std::size_t s = body; s + 2 * wav.channels <= end; s += 2 * wav.channels) {
        const auto sample = [&](int c) {
          return static_cast<std::int16_t>(u16(s + 2 * c)) / 32768.0f;
        };
        wav.left.push_back(sample(0));
        wav.right.push_back(sample(wav.channels > 1 ? 1 : 0));
      }
    }
    at = body + size + (size % 2);
  }
  return wav;
}

}  // namespace quavrix::test
