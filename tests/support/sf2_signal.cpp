// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sf2_signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace quavrix::test {

double rmsLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count) {
  const std::size_t end = std::min(start + count, stereo.size() / 2);
  if (end <= start) return 0.0;
  double sum = 0.0;
  for (std::size_t i = start; i < end; ++i) sum += double(stereo[2 * i]) * stereo[2 * i];
  return std::sqrt(sum / static_cast<double>(end - start));
}

double toneLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                double frequency, double rate) {
  const std::size_t end = std::min(start + count, stereo.size() / 2);
  if (end <= start) return 0.0;
  const double w = 2.0 * 3.14159265358979323846 * frequency / rate;
  const double coeff = 2.0 * std::cos(w);
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t i = start; i < end; ++i) {
    const double s = stereo[2 * i] + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(end - start);
}

double strongestTone(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                     const std::vector<double>& candidates, double rate) {
  double best = 0.0, bestLevel = -1.0;
  for (const double f : candidates) {
    const double level = toneLeft(stereo, start, count, f, rate);
    if (level > bestLevel) {
      best = f;
      bestLevel = level;
    }
  }
  return best;
}

bool readWav16(const std::string& path, Wav16& wav) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8)); };
  auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVEfmt ", 8) != 0 || std::memcmp(b.data() + 36, "data", 4) != 0 ||
      u16(20) != 1 || u16(34) != 16 || u32(4) != b.size() - 8)
    return false;
  wav.channels = static_cast<int>(u16(22));
  wav.rate = static_cast<int>(u32(24));
  wav.dataBytes = u32(40);
  if (wav.dataBytes != b.size() - 44) return false;
  wav.samples.resize(wav.dataBytes / 2);
  for (std::size_t i = 0; i < wav.samples.size(); ++i)
    wav.samples[i] = static_cast<float>(static_cast<std::int16_t>(u16(44 + 2 * i))) / 32767.0f;
  return true;
}

}  // namespace quavrix::test
