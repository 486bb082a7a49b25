#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The RIFF walk of a SoundFont 2 file: finds the header lists of "pdta" and
// the 16-bit sample data of "sdta" and hands them over as plain records.
// Everything is read through a ByteSource that only reads and skips forward,
// so files and memory images take the same road.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quavrix {

// A forward-only byte stream.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads exactly `count` bytes; false (and the stream is spent) when fewer remain.
  virtual bool read(void* out, std::size_t count) = 0;
  // Skips `count` bytes forward; false when fewer remain.
  virtual bool skip(std::uint64_t count) = 0;
  // Bytes left before the end; lets the walk refuse sizes no file can hold.
  virtual std::uint64_t remaining() const = 0;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool read(void* out, std::size_t count) override;
  bool skip(std::uint64_t count) override;
  std::uint64_t remaining() const override { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool isOpen() const { return file_ != nullptr && error_ == 0; }
  // The errno of the first failure to open or read the file, 0 while there was none.
  int error() const { return error_; }
  bool read(void* out, std::size_t count) override;
  bool skip(std::uint64_t count) override;
  std::uint64_t remaining() const override { return size_ - pos_; }

 private:
  std::FILE* file_ = nullptr;
  int error_ = 0;
  std::uint64_t size_ = 0;
  std::uint64_t pos_ = 0;
};

struct Sf2PresetHeader {
  char name[20];
  std::uint16_t program;
  std::uint16_t bank;
  std::uint16_t bagIndex;
};

struct Sf2Bag {
  std::uint16_t genIndex;
  std::uint16_t modIndex;
};

struct Sf2Generator {
  std::uint16_t oper;
  std::uint16_t amount;  // raw; signed, unsigned or a lo/hi byte pair by generator
};

struct Sf2Instrument {
  char name[20];
  std::uint16_t bagIndex;
};

struct Sf2SampleHeader {
  char name[20];
  std::uint32_t start;
  std::uint32_t end;
  std::uint32_t loopStart;
  std::uint32_t loopEnd;
  std::uint32_t sampleRate;
  std::uint8_t rootKey;
  std::int8_t pitchCorrection;
  std::uint16_t sampleLink;
  std::uint16_t sampleType;
};

// Every part of a SoundFont the synthesizer needs, still as the file has it.
struct Sf2Contents {
  std::vector<Sf2PresetHeader> presets;
  std::vector<Sf2Bag> presetBags;
  std::vector<Sf2Generator> presetGens;
  std::vector<Sf2Instrument> instruments;
  std::vector<Sf2Bag> instrumentBags;
  std::vector<Sf2Generator> instrumentGens;
  std::vector<Sf2SampleHeader> sampleHeaders;
  std::size_t presetModCount = 0;  // modulators are never used, only counted
  std::size_t instrumentModCount = 0;
  // Sample points as value / 32767.
  std::vector<float> samples;

  // Which chunks were seen with a whole number of records.
  bool hasPhdr = false, hasPbag = false, hasPmod = false, hasPgen = false;
  bool hasInst = false, hasIbag = false, hasImod = false, hasIgen = false;
  bool hasShdr = false, hasSamples = false;

  bool complete() const {
    return hasPhdr && hasPbag && hasPmod && hasPgen && hasInst && hasIbag && hasImod && hasIgen &&
           hasShdr && hasSamples;
  }
};

// Walks an "sfbk" form. Returns false when the stream is not a SoundFont or a
// required part is missing; `out` is then left in an unspecified state.
bool readSf2(ByteSource& source, Sf2Contents& out);

}  // namespace quavrix
