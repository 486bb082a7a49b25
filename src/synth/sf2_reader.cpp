// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/sf2_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quavrix {

bool MemorySource::read(void* out, std::size_t count) {
  if (count > size_ - pos_) {
    pos_ = size_;
    return false;
  }
  if (count > 0) std::memcpy(out, data_ + pos_, count);
  pos_ += count;
  return true;
}

bool MemorySource::skip(std::uint64_t count) {
  if (count > size_ - pos_) {
    pos_ = size_;
    return false;
  }
  pos_ += static_cast<std::size_t>(count);
  return true;
}

FileSource::FileSource(const std::string& path) {
  std::error_code ec;
  // A folder opens on some systems and only its reads fail.
  if (std::filesystem::is_directory(path, ec)) {
    error_ = static_cast<int>(std::errc::is_a_directory);
    return;
  }
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    error_ = errno ? errno : static_cast<int>(std::errc::no_such_file_or_directory);
    return;
  }
  // A file that fails on read says so here, before its size is asked for.
  errno = 0;
  if (std::fgetc(file_) == EOF && std::ferror(file_)) {
    error_ = errno ? errno : static_cast<int>(std::errc::io_error);
    return;
  }
  // The size bounds every chunk size the file claims, so a damaged header
  // cannot make us reserve more than the file holds.
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    if (end > 0) size_ = static_cast<std::uint64_t>(end);
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0) size_ = 0;
}

FileSource::~FileSource() {
  if (file_) std::fclose(file_);
}

bool FileSource::read(void* out, std::size_t count) {
  if (!file_ || error_ != 0 || count > size_ - pos_) return false;
  errno = 0;
  if (count > 0 && std::fread(out, 1, count, file_) != count) {
    if (std::ferror(file_)) error_ = errno ? errno : static_cast<int>(std::errc::io_error);
    pos_ = size_;
    return false;
  }
  pos_ += count;
  return true;
}

bool FileSource::skip(std::uint64_t count) {
  if (!file_ || error_ != 0 || count > size_ - pos_) return false;
  pos_ += count;
  return std::fseek(file_, static_cast<long>(pos_), SEEK_SET) == 0;
}

namespace {

using FourCC = std::array<char, 4>;

std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool is(const FourCC& id, const char* text) {
  return std::memcmp(id.data(), text, 4) == 0;
}

// Ids must start with a printable character; anything else means the walk
// has lost its footing.
bool plausibleId(const FourCC& id) {
  const auto c = static_cast<unsigned char>(id[0]);
  return c >= 33 && c <= 121;
}

constexpr std::size_t PHDR_SIZE = 38;
constexpr std::size_t BAG_SIZE = 4;
constexpr std::size_t MOD_SIZE = 10;
constexpr std::size_t GEN_SIZE = 4;
constexpr std::size_t INST_SIZE = 22;
constexpr std::size_t SHDR_SIZE = 46;
constexpr std::size_t SAMPLE_PIECE = 1024;

class Walker {
 public:
  Walker(ByteSource& source, Sf2Contents& out) : source_(source), out_(out) {}

  // Walks the chunks inside a parent of `size` bytes; `level` tells which
  // list we are in. Returns false when the walk must end.
  bool walkChunks(std::uint64_t size, const FourCC& list) {
    std::uint64_t left = size;
    while (left >= 8) {
      std::uint8_t header[8];
      if (!source_.read(header, 8)) return false;
      left -= 8;
      FourCC id;
      std::memcpy(id.data(), header, 4);
      const std::uint32_t chunkSize = le32(header + 4);
      if (!plausibleId(id) || is(id, "RIFF") || chunkSize > left) return false;
      if (!handleChunk(id, chunkSize, list)) return false;
      left -= chunkSize;
      // RIFF pads odd-sized chunks to an even length.
      if ((chunkSize & 1u) != 0 && left > 0) {
        if (!source_.skip(1)) return false;
        --left;
      }
    }
    return left == 0 || source_.skip(left);
  }

 private:
  bool handleChunk(const FourCC& id, std::uint32_t size, const FourCC& list) {
    if (is(id, "LIST")) {
      if (size < 4) return source_.skip(size);
      FourCC type;
      if (!source_.read(type.data(), 4)) return false;
      if (is(type, "pdta") || is(type, "sdta")) return walkChunks(size - 4, type);
      return source_.skip(size - 4);
    }
    if (is(list, "pdta")) return readPdtaChunk(id, size);
    if (is(list, "sdta") && is(id, "smpl")) return readSamples(size);
    return source_.skip(size);
  }

  bool readPdtaChunk(const FourCC& id, std::uint32_t size) {
    std::size_t recordSize = 0;
    if (is(id, "phdr"))
      recordSize = PHDR_SIZE;
    else if (is(id, "pbag") || is(id, "ibag"))
      recordSize = BAG_SIZE;
    else if (is(id, "pmod") || is(id, "imod"))
      recordSize = MOD_SIZE;
    else if (is(id, "pgen") || is(id, "igen"))
      recordSize = GEN_SIZE;
    else if (is(id, "inst"))
      recordSize = INST_SIZE;
    else if (is(id, "shdr"))
      recordSize = SHDR_SIZE;
    if (recordSize == 0 || size % recordSize != 0) return source_.skip(size);

    const std::size_t count = size / recordSize;
    if (recordSize == MOD_SIZE) {
      (is(id, "pmod") ? out_.presetModCount : out_.instrumentModCount) = count;
      (is(id, "pmod") ? out_.hasPmod : out_.hasImod) = true;
      return source_.skip(size);
    }
    buffer_.resize(size);
    if (size > 0 && !source_.read(buffer_.data(), size)) return false;
    const std::uint8_t* p = buffer_.data();

    if (is(id, "phdr")) {
      out_.presets.resize(count);
      for (auto& r : out_.presets) {
        std::memcpy(r.name, p, 20);
        r.program = le16(p + 20);
        r.bank = le16(p + 22);
        r.bagIndex = le16(p + 24);
        p += PHDR_SIZE;
      }
      out_.hasPhdr = true;
    } else if (is(id, "pbag") || is(id, "ibag")) {
      auto& bags = is(id, "pbag") ? out_.presetBags : out_.instrumentBags;
      bags.resize(count);
      for (auto& b : bags) {
        b.genIndex = le16(p);
        b.modIndex = le16(p + 2);
        p += BAG_SIZE;
      }
      (is(id, "pbag") ? out_.hasPbag : out_.hasIbag) = true;
    } else if (is(id, "pgen") || is(id, "igen")) {
      auto& gens = is(id, "pgen") ? out_.presetGens : out_.instrumentGens;
      gens.resize(count);
      for (auto& g : gens) {
        g.oper = le16(p);
        g.amount = le16(p + 2);
        p += GEN_SIZE;
      }
      (is(id, "pgen") ? out_.hasPgen : out_.hasIgen) = true;
    } else if (is(id, "inst")) {
      out_.instruments.resize(count);
      for (auto& r : out_.instruments) {
        std::memcpy(r.name, p, 20);
        r.bagIndex = le16(p + 20);
        p += INST_SIZE;
      }
      out_.hasInst = true;
    } else {
      out_.sampleHeaders.resize(count);
      for (auto& r : out_.sampleHeaders) {
        std::memcpy(r.name, p, 20);
        r.start = le32(p + 20);
        r.end = le32(p + 24);
        r.loopStart = le32(p + 28);
        r.loopEnd = le32(p + 32);
        r.sampleRate = le32(p + 36);
        r.rootKey = p[40];
        r.pitchCorrection = static_cast<std::int8_t>(p[41]);
        r.sampleLink = le16(p + 42);
        r.sampleType = le16(p + 44);
        p += SHDR_SIZE;
      }
      out_.hasShdr = true;
    }
    return true;
  }

  bool readSamples(std::uint32_t size) {
    const std::size_t count = size / 2;
    out_.samples.resize(count);
    std::uint8_t piece[SAMPLE_PIECE * 2];
    for (std::size_t done = 0; done < count;) {
      const std::size_t n = std::min(SAMPLE_PIECE, count - done);
      if (!source_.read(piece, n * 2)) return false;
      for (std::size_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::int16_t>(le16(piece + 2 * i));
        out_.samples[done + i] = static_cast<float>(v) / 32767.0f;
      }
      done += n;
    }
    out_.hasSamples = true;
    return source_.skip(size - count * 2);
  }

  ByteSource& source_;
  Sf2Contents& out_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

bool readSf2(ByteSource& source, Sf2Contents& out) {
  std::uint8_t header[12];
  if (!source.read(header, 12)) return false;
  FourCC id, form;
  std::memcpy(id.data(), header, 4);
  std::memcpy(form.data(), header + 8, 4);
  if (!(is(id, "RIFF") || is(id, "LIST")) || !is(form, "sfbk")) return false;
  const std::uint32_t size = le32(header + 4);
  if (size < 4) return false;
  // A form that claims more than the file holds is walked as far as it goes.
  const std::uint64_t body = std::min<std::uint64_t>(size - 4, source.remaining());
  Walker walker(source, out);
  walker.walkChunks(body, form);
  return out.complete();
}

}  // namespace quavrix
