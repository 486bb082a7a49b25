// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/wav_reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "analysis/audio_decoder.h"
#include "analysis/frequency_peaks.h"
#include "analysis/recording_buffers.h"
#include "base/paths.h"
#include "base/read_file.h"
#include "base/units.h"

namespace quavrix {

namespace {

constexpr int READ_BLOCK_FRAMES = 16384;
// Frames the reading threads take at a time (a megabyte of stereo).
constexpr std::uint64_t CHUNK_FRAMES = 16 * READ_BLOCK_FRAMES;
constexpr std::uint16_t FORMAT_PCM = 1;
constexpr std::uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct Chunk {
  std::uint64_t dataStart = 0;  // file offset of the first byte after the header
  std::uint64_t size = 0;       // declared size
};

class RiffFile {
 public:
  explicit RiffFile(const std::string& path) {
    std::error_code ec;
    // A folder opens on some systems and only its reads fail.
    if (std::filesystem::is_directory(path, ec)) {
      error_ = static_cast<int>(std::errc::is_a_directory);
      return;
    }
    errno = 0;
    in_.open(path, std::ios::binary);
    if (!in_) {
      error_ = errno ? errno : static_cast<int>(std::errc::no_such_file_or_directory);
      return;
    }
    // A file that fails on read says so here, before its size is asked for.
    in_.peek();
    if (!noteReadError()) return;
    in_.clear();
    in_.seekg(0, std::ios::end);
    const auto end = in_.tellg();
    if (end < 0) {
      error_ = errno ? errno : static_cast<int>(std::errc::invalid_seek);
      return;
    }
    size_ = static_cast<std::uint64_t>(end);
    in_.seekg(0);
  }
  bool ok() const { return error_ == 0; }
  // The errno of the first failure to open or read, 0 while there was none.
  int error() const { return error_; }
  std::uint64_t size() const { return size_; }

  bool readAt(std::uint64_t offset, void* out, std::size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    return readSome(offset, out, n) == n;
  }
  // Reads up to n bytes; returns how many arrived. A read error leaves error() set.
  std::size_t readSome(std::uint64_t offset, void* out, std::size_t n) {
    if (error_ != 0 || offset >= size_) return 0;
    if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    errno = 0;
    in_.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
    const auto got = static_cast<std::size_t>(in_.gcount());
    noteReadError();
    return got;
  }

  // Walks the chunks in [from, end) for the first one with the given id. A
  // header that does not fit, or a chunk that runs past the end, ends the walk
  // with the chunk as found (its declared size is kept; readers clamp it).
  std::optional<Chunk> find(const char* id, std::uint64_t from, std::uint64_t end) {
    std::uint64_t at = from;
    unsigned char header[8];
    while (at + 8 <= end && readAt(at, header, 8)) {
      const std::uint64_t chunkSize = le32(header + 4);
      if (std::memcmp(header, id, 4) == 0) return Chunk{at + 8, chunkSize};
      at += 8 + chunkSize + (chunkSize & 1);
    }
    return std::nullopt;
  }

 private:
  // The stream turns a failed system read into badbit (its end of file into
  // eofbit only); errno still holds the system's reason then.
  bool noteReadError() {
    if (!in_.bad()) return true;
    if (error_ == 0) error_ = errno ? errno : static_cast<int>(std::errc::io_error);
    return false;
  }

  std::ifstream in_;
  std::uint64_t size_ = 0;
  int error_ = 0;
};

bool fail(std::string* reason, const char* text) {
  if (reason) *reason = text;
  return false;
}

int readFailed(std::string* reason, const RiffFile& file) {
  if (reason) *reason = systemReason(file.error());
  return WAV_CANNOT_OPEN;
}

// The formats the rest of the program can play and analyse.
bool supported(const WaveFormat& f, const unsigned char* raw, std::uint64_t rawSize,
               std::string* reason) {
  std::uint16_t tag = f.formatTag;
  if (tag == FORMAT_EXTENSIBLE && rawSize >= 26) tag = le16(raw + 24);  // sub-format GUID
  if (tag != FORMAT_PCM) return fail(reason, "not integer PCM");
  if (f.bitsPerSample != 16) return fail(reason, "not 16 bits per sample");
  if (f.channels != 1 && f.channels != 2) return fail(reason, "neither mono nor stereo");
  if (f.samplesPerSecond != static_cast<std::uint32_t>(SAMPLE_RATE))
    return fail(reason, "sample rate is not 44100 Hz");
  return true;
}

}  // namespace

int readRecording(Recording& recording, std::string* reason) {
  const int result = readRecordingSamples(recording, reason);
  if (result == WAV_OK) analyseRecording(recording);
  return result;
}

namespace {

int readPcmWav(Recording& recording, std::string* reason) {
  RiffFile file(recording.path);
  if (!file.ok()) return readFailed(reason, file);
  const std::uint64_t fileSize = file.size();

  // The RIFF chunk of form type WAVE, searched from the start of the file.
  std::optional<Chunk> riff;
  for (std::uint64_t at = 0;;) {
    riff = file.find("RIFF", at, fileSize);
    if (!riff) break;
    char form[4];
    if (file.readAt(riff->dataStart, form, 4) && std::memcmp(form, "WAVE", 4) == 0) break;
    at = riff->dataStart + riff->size + (riff->size & 1);
  }
  if (!file.ok()) return readFailed(reason, file);
  if (!riff) {
    fail(reason, "no RIFF/WAVE chunk");
    return WAV_NO_RIFF;
  }
  // Some writers leave the RIFF size at 0 or too large; the file's end bounds the search.
  std::uint64_t riffEnd = riff->dataStart + riff->size;
  if (riff->size < 4 || riffEnd > fileSize) riffEnd = fileSize;
  const std::uint64_t firstSubChunk = riff->dataStart + 4;

  const auto fmt = file.find("fmt ", firstSubChunk, riffEnd);
  if (!file.ok()) return readFailed(reason, file);
  if (!fmt) {
    fail(reason, "no \"fmt \" chunk");
    return WAV_NO_FORMAT;
  }
  std::array<unsigned char, 40> raw{};
  const std::uint64_t rawSize = fmt->size < raw.size() ? fmt->size : raw.size();
  if (fmt->size < 16 || !file.readAt(fmt->dataStart, raw.data(), rawSize)) {
    if (!file.ok()) return readFailed(reason, file);
    fail(reason, "\"fmt \" chunk too short");
    return WAV_CANNOT_OPEN;
  }
  WaveFormat format;
  format.formatTag = le16(&raw[0]);
  format.channels = le16(&raw[2]);
  format.samplesPerSecond = le32(&raw[4]);
  format.averageBytesPerSecond = le32(&raw[8]);
  format.blockAlign = le16(&raw[12]);
  format.bitsPerSample = le16(&raw[14]);
  format.extraSize = fmt->size >= 18 ? le16(&raw[16]) : 0;

  const auto data = file.find("data", firstSubChunk, riffEnd);
  if (!file.ok()) return readFailed(reason, file);
  if (!data) {
    fail(reason, "no \"data\" chunk");
    return WAV_NO_DATA;
  }
  if (!supported(format, raw.data(), rawSize, reason)) return WAV_CANNOT_OPEN;

  const bool stereo = format.channels == 2;
  const std::uint64_t frameBytes = stereo ? 4 : 2;
  // Audio is the data chunk only; a truncated chunk gives what is there.
  const std::uint64_t dataStart = data->dataStart;
  const std::uint64_t available = dataStart < fileSize ? fileSize - dataStart : 0;
  const std::uint64_t dataBytes = data->size < available ? data->size : available;
  const std::uint64_t frames = dataBytes / frameBytes;
  if (frames < static_cast<std::uint64_t>(MIN_RECORDING_FRAMES)) {
    fail(reason, SHORT_RECORDING_REASON);
    return WAV_CANNOT_OPEN;
  }

  const std::uint64_t capacity = wavCapacity(fileSize, dataStart, stereo ? 2 : 1);
  if (capacity > 0x7FFFFFF0u || frames + LEAD_IN_FRAMES > capacity) {
    fail(reason, "recording too long");
    return WAV_CANNOT_OPEN;
  }

  Recording next;
  next.path = recording.path;
  next.format = format;
  next.channelCount = static_cast<std::int16_t>(format.channels);
  next.source = std::string(stereo ? "44100 Hz 16-bit stereo WAV" : "44100 Hz 16-bit mono WAV");
  const int prepared = prepareRecordingBuffers(next, capacity, frames, reason);
  if (prepared != WAV_OK) return prepared;

  // Converts frames [from, to) and returns how many arrived; a short count
  // means the file ended early.
  const auto convert = [&](RiffFile& source, std::vector<unsigned char>& block, std::uint64_t from,
                           std::uint64_t to) {
    std::uint64_t at = from;
    while (at < to) {
      const std::uint64_t want = std::min<std::uint64_t>(to - at, READ_BLOCK_FRAMES);
      const std::size_t got =
          source.readSome(dataStart + at * frameBytes, block.data(), want * frameBytes);
      const std::uint64_t whole = got / frameBytes;
      const std::size_t base = LEAD_IN_FRAMES + at;
      std::int16_t* left = next.left.data() + base;
      std::int16_t* right = next.right.data() + base;
      const unsigned char* bytes = block.data();
      if (stereo) {
        for (std::uint64_t i = 0; i < whole; ++i) {
          const auto l = static_cast<std::int16_t>(le16(bytes + 4 * i));
          const auto r = static_cast<std::int16_t>(le16(bytes + 4 * i + 2));
          left[i] = l;
          right[i] = r;
        }
      } else {
        for (std::uint64_t i = 0; i < whole; ++i) {
          const auto l = static_cast<std::int16_t>(le16(bytes + 2 * i));
          left[i] = right[i] = l;
        }
      }
      at += whole;
      if (whole < want) break;
    }
    return at - from;
  };
  // Chunks handed out to two threads as they come free: most of the time goes
  // into first touches of the new buffers, which the cores can take in
  // parallel, and on a busy machine neither waits for a share the other was
  // too slow to start.
  const std::uint64_t chunks = (frames + CHUNK_FRAMES - 1) / CHUNK_FRAMES;
  std::vector<std::uint64_t> arrived(chunks, 0);
  std::atomic<std::uint64_t> nextChunk{0};
  const auto work = [&](RiffFile& source) {
    // One read buffer per thread for all its chunks: freed and taken again per
    // chunk, the heap would shrink and grow, each time with a system call.
    std::vector<unsigned char> block(READ_BLOCK_FRAMES * frameBytes);
    for (std::uint64_t c = nextChunk++; c < chunks; c = nextChunk++) {
      const std::uint64_t from = c * CHUNK_FRAMES;
      arrived[c] = convert(source, block, from, std::min(frames, from + CHUNK_FRAMES));
    }
  };
  std::thread second;
  RiffFile secondFile(recording.path);
  try {
    if (secondFile.ok() && chunks > 1) second = std::thread([&] { work(secondFile); });
  } catch (const std::system_error&) {
  }
  work(file);
  if (second.joinable()) second.join();
  // A read error is no early end of the file: the recording would silently
  // lose its rest.
  if (!file.ok()) return readFailed(reason, file);
  if (second.joinable() && !secondFile.ok()) return readFailed(reason, secondFile);
  // A file that ended early ends the recording at the first chunk that fell short.
  std::uint64_t done = 0;
  for (std::uint64_t c = 0; c < chunks; ++c) {
    done += arrived[c];
    if (arrived[c] < std::min(frames, (c + 1) * CHUNK_FRAMES) - c * CHUNK_FRAMES) break;
  }
  const int finished = finishRecordingBuffers(next, done, reason);
  if (finished != WAV_OK) return finished;

  recording = std::move(next);
  return WAV_OK;
}

}  // namespace

int readRecordingSamples(Recording& recording, std::string* reason) {
  std::string wavReason;
  const int wav = readPcmWav(recording, &wavReason);
  if (wav == WAV_OK || wav == WAV_NO_MEMORY || !fileExists(recording.path)) {
    if (reason) *reason = wavReason;
    return wav;
  }
  // Not a 16-bit 44100 Hz WAV: the decoder knows the other formats. When it
  // cannot either, the WAV reader's answer stands.
  const int decoded = decodeRecording(recording, nullptr);
  if (decoded == WAV_OK || decoded == WAV_NO_MEMORY) return decoded;
  if (reason) *reason = wavReason;
  return wav;
}

void releaseRecording(Recording& recording) {
  std::string path = std::move(recording.path);
  recording = Recording{};
  recording.path = std::move(path);
}

}  // namespace quavrix
