// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/mp3_gapless.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <vector>

namespace quavrix {

namespace {

// The Info frame sits within the first few kilobytes after the tag.
constexpr std::size_t SEARCH_BYTES = 8192;

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Bytes taken by an ID3v2 tag at the start (sizes are 7 bits a byte).
std::size_t id3Size(const std::uint8_t* d, std::size_t size) {
  if (size < 10 || std::memcmp(d, "ID3", 3) != 0) return 0;
  const std::size_t body = static_cast<std::size_t>(d[6] & 0x7F) << 21 |
                           static_cast<std::size_t>(d[7] & 0x7F) << 14 |
                           static_cast<std::size_t>(d[8] & 0x7F) << 7 | (d[9] & 0x7F);
  return 10 + body + ((d[5] & 0x10) ? 10 : 0);
}

}  // namespace

std::optional<Mp3Padding> parseMp3Padding(const std::uint8_t* d, std::size_t size) {
  std::size_t at = id3Size(d, size);
  const std::size_t end = std::min(size, at + SEARCH_BYTES);
  while (at + 4 <= end && !(d[at] == 0xFF && (d[at + 1] & 0xE0) == 0xE0)) ++at;
  if (at + 4 > end) return std::nullopt;
  const int version = (d[at + 1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = (d[at + 1] >> 1) & 3;    // 1: layer III
  if (version == 1 || layer != 1) return std::nullopt;
  const bool mono = ((d[at + 3] >> 6) & 3) == 3;
  const bool mpeg1 = version == 3;
  const std::size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  std::size_t tag = at + 4 + sideInfo;
  if (tag + 8 > size) return std::nullopt;
  if (std::memcmp(d + tag, "Xing", 4) != 0 && std::memcmp(d + tag, "Info", 4) != 0)
    return std::nullopt;
  const std::uint32_t flags = bigEndian32(d + tag + 4);
  if (!(flags & 1)) return std::nullopt;  // no frame count: nothing to measure against
  std::size_t p = tag + 8;
  Mp3Padding padding;
  padding.audioFrames = bigEndian32(d + p);
  p += 4;
  if (flags & 2) p += 4;    // byte count
  if (flags & 4) p += 100;  // seek table
  if (flags & 8) p += 4;    // quality
  // The extension: a 9-byte encoder name, then 12 bytes of levels and
  // flags, then the delay and the padding in 12 bits each.
  if (p + 24 > size) return std::nullopt;
  for (int i = 0; i < 4; ++i)
    if (!std::isalpha(d[p + i])) return std::nullopt;
  const std::uint8_t* dp = d + p + 21;
  padding.delay = dp[0] << 4 | dp[1] >> 4;
  padding.padding = (dp[1] & 0x0F) << 8 | dp[2];
  padding.samplesPerFrame = mpeg1 ? 1152 : 576;
  if (padding.audioFrames <= 0) return std::nullopt;
  return padding;
}

std::optional<Mp3Padding> readMp3Padding(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> head(10);
  in.read(reinterpret_cast<char*>(head.data()), 10);
  if (in.gcount() < 10) return std::nullopt;
  const std::size_t want = id3Size(head.data(), head.size()) + SEARCH_BYTES;
  head.resize(want);
  in.read(reinterpret_cast<char*>(head.data() + 10), static_cast<std::streamsize>(want - 10));
  head.resize(10 + static_cast<std::size_t>(in.gcount()));
  return parseMp3Padding(head.data(), head.size());
}

std::pair<std::int64_t, std::int64_t> FrameWindow::within(std::int64_t first,
                                                          std::int64_t count) const {
  const std::int64_t from = std::max(first, skip);
  const std::int64_t to = keep < 0 ? first + count : std::min(first + count, skip + keep);
  if (to <= from) return {0, 0};
  return {from - first, to - from};
}

FrameWindow gaplessWindow(const Mp3Padding& p, std::int64_t decodedFrames) {
  const std::int64_t total = p.audioFrames * p.samplesPerFrame;
  const std::int64_t music = total - p.delay - p.padding;
  // A decoder that trims gives the music's length, one that does not every
  // frame: whichever the decoded length is nearer to.
  if (music <= 0 || decodedFrames * 2 < total + music) return {};
  FrameWindow window;
  window.skip = p.delay + MP3_DECODER_DELAY;
  window.keep = std::min(music, std::max<std::int64_t>(0, decodedFrames - window.skip));
  return window;
}

}  // namespace quavrix
