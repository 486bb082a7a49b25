#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Gapless MP3: an MP3 encoder adds silence before the music (its delay) and
// after it (padding to whole frames), and the decoder adds its own delay.
// The encoder notes both in the Xing/Info header of the first frame (the
// LAME extension, also written by other encoders); gapless players trim
// them, so that an MP3 lines up with the recording it was made from. Some
// builds of the system's decoder trim them itself, some do not: the decoded
// length tells which, and only an untrimmed stream is trimmed here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quavrix {

// Frames the standard layer III decoder emits before the encoder's first.
inline constexpr std::int64_t MP3_DECODER_DELAY = 529;

struct Mp3Padding {
  std::int64_t audioFrames = 0;      // MPEG frames of audio (the Info frame not counted)
  std::int64_t samplesPerFrame = 0;  // 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
  std::int64_t delay = 0;            // encoder delay, in samples per channel
  std::int64_t padding = 0;          // padding at the end
};

// The header of a file's first frame (after an ID3v2 tag); nothing when the
// file has no Xing/Info header with a frame count and the encoder extension.
std::optional<Mp3Padding> parseMp3Padding(const std::uint8_t* data, std::size_t size);
std::optional<Mp3Padding> readMp3Padding(const std::string& path);

// Which decoded frames are the music: from `skip`, `keep` of them.
struct FrameWindow {
  std::int64_t skip = 0;
  std::int64_t keep = -1;  // -1: to the end

  // Of `count` frames starting at decoded frame `first`: the offset of the
  // first one kept and how many are kept.
  std::pair<std::int64_t, std::int64_t> within(std::int64_t first, std::int64_t count) const;
};

// The window for a stream the decoder says is `decodedFrames` long: all of it
// when that is already the music's length (or cannot be told), else the
// music without both delays and the padding.
FrameWindow gaplessWindow(const Mp3Padding& padding, std::int64_t decodedFrames);

}  // namespace quavrix
