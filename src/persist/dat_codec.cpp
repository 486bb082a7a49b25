// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/dat_codec.h"

#include "base/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

namespace quavrix {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void putWord(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
  out[2] = static_cast<std::uint8_t>(value >> 16);
  out[3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t getWord(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
         (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

}  // namespace

std::uint64_t scoreFileSize(std::uint32_t positions) {
  return 4ull + positions + (positions % 2) + 4ull * positions;
}

std::vector<std::uint8_t> encodeScore(const NoteStore& notes) {
  const std::uint32_t n = notes.positions;
  std::vector<std::uint8_t> bytes(scoreFileSize(n));
  putWord(bytes.data(), n);
  std::copy(notes.lineMap.begin(), notes.lineMap.begin() + n, bytes.begin() + 4);
  std::size_t at = 4 + static_cast<std::size_t>(n);
  if (n % 2) bytes[at++] = 0x20;
  for (std::uint32_t i = 0; i < n; ++i, at += 4) {
    putWord(bytes.data() + at, static_cast<std::uint32_t>(notes.slots[i]));
  }
  return bytes;
}

bool writeScoreFile(const NoteStore& notes, const std::string& path) {
  if (notes.lineMap.size() < notes.positions || notes.slots.size() < notes.positions) return false;
  try {
    const std::vector<std::uint8_t> bytes = encodeScore(notes);
    return writeFileAtomically(path, bytes.data(), bytes.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int readScoreFile(NoteStore& notes, const std::string& path, std::string* reason) {
  const auto refuse = [reason](const std::string& why) {
    if (reason) *reason = why;
    return -1;
  };
  if (!notes.ready()) return refuse("no recording is open");
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return refuse("it is a folder");
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return refuse(std::strerror(errno));
  std::uint8_t header[4];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) {
    return refuse(std::ferror(file.get()) ? std::strerror(errno) : "the file is cut short");
  }
  const std::uint32_t n = getWord(header);
  // A file of another recording would put lines and notes at the wrong times.
  if (n != notes.positions) return refuse("it was made for a recording of another length");
  std::vector<std::uint8_t> body;
  try {
    body.resize(scoreFileSize(n) - 4);
  } catch (const std::bad_alloc&) {
    return refuse("not enough memory");
  }
  if (std::fread(body.data(), 1, body.size(), file.get()) != body.size()) {
    return refuse(std::ferror(file.get()) ? std::strerror(errno) : "the file is cut short");
  }

  const std::size_t words = static_cast<std::size_t>(n) + n % 2;
  notes.startMarker = 0;
  notes.endMarker = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    // The history's group mark never belongs in the map.
    const std::uint8_t byte = body[i] & static_cast<std::uint8_t>(~LINE_GROUP_MARK);
    if (byte & LINE_START) notes.startMarker = i;
    if (byte & LINE_END) notes.endMarker = i;
    notes.lineMap[i] = byte;
    notes.slots[i] = static_cast<std::int32_t>(getWord(body.data() + words + 4ull * i));
  }
  std::fill(notes.lineMap.begin() + n, notes.lineMap.end(), 0);
  std::fill(notes.slots.begin() + n, notes.slots.end(), 0);
  return 0;
}

}  // namespace quavrix
