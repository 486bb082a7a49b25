// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/audio_decoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "analysis/mp3_gapless.h"
#include "analysis/recording_buffers.h"
#include "analysis/wav_reader.h"
#include "base/units.h"
#include "platform/shared_library.h"

namespace quavrix {

namespace {

constexpr int BLOCK_FRAMES = 16384;
// The equivalent WAV file's header.
constexpr std::uint64_t HEADER_BYTES = 44;
constexpr double MINUS_3_DB = 0.70710678118654752;

// The decoding and resampling libraries, loaded by the first decode. The
// file names are those of the interfaces the headers declare.
struct DecoderLibraries {
  SharedLibrary sndfile{"libsndfile.so.1"};
  SharedLibrary samplerate{"libsamplerate.so.0"};
  decltype(&::sf_open) open = nullptr;
  decltype(&::sf_close) close = nullptr;
  decltype(&::sf_readf_float) readFloat = nullptr;
  decltype(&::sf_error) error = nullptr;
  decltype(&::sf_strerror) fileError = nullptr;
  decltype(&::src_new) newResampler = nullptr;
  decltype(&::src_process) resample = nullptr;
  decltype(&::src_delete) deleteResampler = nullptr;
  decltype(&::src_strerror) resampleError = nullptr;
  std::string failure;  // empty when every function was found

  DecoderLibraries() {
    const bool found = sndfile.find(open, "sf_open") && sndfile.find(close, "sf_close") &&
                       sndfile.find(readFloat, "sf_readf_float") &&
                       sndfile.find(error, "sf_error") && sndfile.find(fileError, "sf_strerror");
    if (!found) {
      failure = "cannot load the decoder: " + sndfile.error();
      return;
    }
    if (!(samplerate.find(newResampler, "src_new") && samplerate.find(resample, "src_process") &&
          samplerate.find(deleteResampler, "src_delete") &&
          samplerate.find(resampleError, "src_strerror")))
      failure = "cannot load the resampler: " + samplerate.error();
  }
};

// Kept loaded to the end, like the libraries bound at start-up.
const DecoderLibraries& libraries() {
  static const DecoderLibraries& loaded = *new DecoderLibraries;
  return loaded;
}

struct SndfileCloser {
  void operator()(SNDFILE* f) const { libraries().close(f); }
};
struct ResamplerCloser {
  void operator()(SRC_STATE* s) const { libraries().deleteResampler(s); }
};

const char* containerName(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
      return "WAV";
    case SF_FORMAT_W64:
      return "Wave64";
    case SF_FORMAT_AIFF:
      return "AIFF";
    case SF_FORMAT_AU:
      return "AU";
    case SF_FORMAT_FLAC:
      return "FLAC";
    case SF_FORMAT_CAF:
      return "CAF";
    case SF_FORMAT_OGG:
      return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS ? "Opus" : "Ogg Vorbis";
    case SF_FORMAT_MPEG:
      return "MP3";
    default:
      return "audio";
  }
}

// The sample format, where the file has one of its own ("24-bit", "32-bit float").
std::string sampleName(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return "8-bit ";
    case SF_FORMAT_PCM_16:
      return "16-bit ";
    case SF_FORMAT_PCM_24:
      return "24-bit ";
    case SF_FORMAT_PCM_32:
      return "32-bit ";
    case SF_FORMAT_FLOAT:
      return "32-bit float ";
    case SF_FORMAT_DOUBLE:
      return "64-bit float ";
    default:
      return "";
  }
}

std::string describe(const SF_INFO& info) {
  char text[160];
  const std::string channels = info.channels == 1   ? "mono"
                               : info.channels == 2 ? "stereo"
                                                    : std::to_string(info.channels) + "-channel";
  std::snprintf(text, sizeof text, "%d Hz %s%s %s", info.samplerate,
                sampleName(info.format).c_str(), channels.c_str(), containerName(info.format));
  std::string d = text;
  if (info.samplerate != SAMPLE_RATE) d += ", resampled to 44100 Hz";
  if (info.channels > 2) d += ", mixed down to stereo";
  return d;
}

// Per-channel weights of the left and the right side (see the header).
void mixWeights(int channels, std::vector<double>& left, std::vector<double>& right) {
  left.assign(static_cast<std::size_t>(channels), 0.0);
  right.assign(static_cast<std::size_t>(channels), 0.0);
  if (channels == 1) {
    left[0] = right[0] = 1.0;
    return;
  }
  for (int c = 0; c < channels; ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (c == 2 || c == 3) {
      left[i] = right[i] = MINUS_3_DB;
    } else if (c % 2 == 0) {
      left[i] = 1.0;
    } else {
      right[i] = 1.0;
    }
  }
  double sumLeft = 0;
  double sumRight = 0;
  for (int c = 0; c < channels; ++c) {
    sumLeft += left[static_cast<std::size_t>(c)];
    sumRight += right[static_cast<std::size_t>(c)];
  }
  for (auto& w : left) w /= sumLeft;
  for (auto& w : right) w /= sumRight;
}

std::int16_t toSample(float x) {
  const long v = std::lround(static_cast<double>(x) * 32768.0);
  return static_cast<std::int16_t>(std::clamp<long>(v, -32768, 32767));
}

int refuse(std::string* reason, const std::string& why) {
  if (reason) *reason = why;
  return WAV_CANNOT_OPEN;
}

// Decoded frames land here, growing the buffers when the file held more than
// its header promised.
class Sink {
 public:
  Sink(Recording& r, bool stereo) : r_(r), stereo_(stereo) {}
  // Interleaved frames of one (mono) or two channels.
  bool put(const float* frames, std::size_t count) {
    const std::size_t channels = stereo_ ? 2 : 1;
    const std::size_t need = LEAD_IN_FRAMES + done_ + count + 4;
    if (need > r_.left.size()) {
      try {
        const std::size_t grown = std::max(need, r_.left.size() + r_.left.size() / 4);
        r_.left.resize(grown);
        r_.right.resize(grown);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::int16_t l = toSample(frames[i * channels]);
      const std::int16_t rr = stereo_ ? toSample(frames[i * channels + 1]) : l;
      putFrame(r_, LEAD_IN_FRAMES + done_ + i, l, rr);
    }
    done_ += count;
    return true;
  }
  std::uint64_t done() const { return done_; }

 private:
  Recording& r_;
  bool stereo_;
  std::uint64_t done_ = 0;
};

}  // namespace

int decodeRecording(Recording& recording, std::string* reason) {
  const DecoderLibraries& lib = libraries();
  if (!lib.failure.empty()) return refuse(reason, lib.failure);
  SF_INFO info{};
  std::unique_ptr<SNDFILE, SndfileCloser> file(lib.open(recording.path.c_str(), SFM_READ, &info));
  if (!file) return refuse(reason, lib.fileError(nullptr));
  if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 768000)
    return refuse(reason, "no audio the program can play");

  FrameWindow window;
  if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG && info.frames > 0) {
    if (const auto padding = readMp3Padding(recording.path))
      window = gaplessWindow(*padding, info.frames);
  }

  const bool stereo = info.channels > 1;
  const int outChannels = stereo ? 2 : 1;
  const double ratio = static_cast<double>(SAMPLE_RATE) / info.samplerate;
  // A first estimate sizes the buffers; the exact length is known at the end,
  // and the buffers grow when the file holds more. The header's length is not
  // trusted beyond what a file of this size could plausibly hold (a damaged
  // one may claim days): silence aside, no format packs much more than 16
  // frames into a byte.
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(recording.path, ec);
  const std::uint64_t plausible = (ec ? 0 : static_cast<std::uint64_t>(bytes)) * 16 + SAMPLE_RATE;
  const std::uint64_t claimed =
      info.frames > 0
          ? static_cast<std::uint64_t>(std::ceil(static_cast<double>(info.frames) * ratio)) + 64
          : plausible;
  const std::uint64_t estimate = std::min(claimed, plausible);
  const std::uint64_t estimateCapacity =
      wavCapacity(HEADER_BYTES + estimate * 2 * outChannels, HEADER_BYTES, outChannels);
  if (estimateCapacity > 0x7FFFFFF0u) return refuse(reason, "recording too long");

  Recording next;
  next.path = recording.path;
  next.format.formatTag = 1;
  next.format.channels = static_cast<std::uint16_t>(outChannels);
  next.format.samplesPerSecond = SAMPLE_RATE;
  next.format.bitsPerSample = 16;
  next.format.blockAlign = static_cast<std::uint16_t>(2 * outChannels);
  next.format.averageBytesPerSecond = SAMPLE_RATE * next.format.blockAlign;
  next.channelCount = static_cast<std::int16_t>(outChannels);
  next.source = describe(info);
  const int prepared = prepareRecordingBuffers(next, estimateCapacity, estimate, reason);
  if (prepared != WAV_OK) return prepared;

  std::vector<double> wl;
  std::vector<double> wr;
  mixWeights(info.channels, wl, wr);
  std::unique_ptr<SRC_STATE, ResamplerCloser> resampler;
  if (info.samplerate != SAMPLE_RATE) {
    int error = 0;
    resampler.reset(lib.newResampler(SRC_SINC_BEST_QUALITY, outChannels, &error));
    if (!resampler) return refuse(reason, lib.resampleError(error));
  }

  std::vector<float> raw(static_cast<std::size_t>(BLOCK_FRAMES) * info.channels);
  std::vector<float> mixed(static_cast<std::size_t>(BLOCK_FRAMES) * outChannels);
  std::vector<float> out(static_cast<std::size_t>(std::ceil(BLOCK_FRAMES * ratio) + 64) *
                         outChannels);
  Sink sink(next, stereo);
  bool ended = false;
  std::int64_t decoded = 0;
  while (!ended) {
    const sf_count_t got = lib.readFloat(file.get(), raw.data(), BLOCK_FRAMES);
    if (got < 0) return refuse(reason, lib.fileError(file.get()));
    if (got == 0) {
      // The decoder's own error is a damaged file; a plain end is the end.
      if (lib.error(file.get()) != SF_ERR_NO_ERROR)
        return refuse(reason, lib.fileError(file.get()));
      ended = true;
    }
    // Only the music between the encoder's delay and its padding is kept.
    const auto [offset, kept] = window.within(decoded, got);
    decoded += got;
    if (offset > 0) {
      std::copy(raw.begin() + offset * info.channels, raw.begin() + (offset + kept) * info.channels,
                raw.begin());
    }
    const auto frames = static_cast<std::size_t>(kept);
    if (info.channels <= 2) {
      std::copy(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(frames * outChannels),
                mixed.begin());
    } else {
      for (std::size_t f = 0; f < frames; ++f) {
        double l = 0;
        double r = 0;
        for (int c = 0; c < info.channels; ++c) {
          const double v =
              raw[f * static_cast<std::size_t>(info.channels) + static_cast<std::size_t>(c)];
          l += wl[static_cast<std::size_t>(c)] * v;
          r += wr[static_cast<std::size_t>(c)] * v;
        }
        mixed[2 * f] = static_cast<float>(l);
        mixed[2 * f + 1] = static_cast<float>(r);
      }
    }
    if (!resampler) {
      if (!sink.put(mixed.data(), frames)) return refuse(reason, "not enough memory");
      continue;
    }
    // The resampler keeps a tail of its input: at the end it is drained.
    SRC_DATA data{};
    data.data_in = mixed.data();
    data.input_frames = static_cast<long>(frames);
    data.end_of_input = ended ? 1 : 0;
    data.src_ratio = ratio;
    do {
      data.data_out = out.data();
      data.output_frames = static_cast<long>(out.size() / static_cast<std::size_t>(outChannels));
      if (const int error = lib.resample(resampler.get(), &data))
        return refuse(reason, lib.resampleError(error));
      if (!sink.put(out.data(), static_cast<std::size_t>(data.output_frames_gen)))
        return refuse(reason, "not enough memory");
      data.data_in += data.input_frames_used * outChannels;
      data.input_frames -= data.input_frames_used;
    } while (data.input_frames > 0 || (ended && data.output_frames_gen > 0));
  }

  // The capacity of the 16-bit WAV of exactly this audio.
  const std::uint64_t done = sink.done();
  const std::uint64_t capacity =
      wavCapacity(HEADER_BYTES + done * 2 * outChannels, HEADER_BYTES, outChannels);
  if (capacity > 0x7FFFFFF0u) return refuse(reason, "recording too long");
  try {
    for (auto* buffer : {&next.left, &next.right}) buffer->resize(capacity + 4);
    next.onsetEnergy.assign((capacity + 4) / 32 + 32, 0);
    next.onsetMarks.assign((capacity + 4) / 32 + 32, 0.0f);
  } catch (const std::bad_alloc&) {
    return refuse(reason, "not enough memory");
  }
  next.capacity = static_cast<std::int32_t>(capacity);
  next.onsetCount = static_cast<std::int32_t>(capacity / 32);
  const int finished = finishRecordingBuffers(next, done, reason);
  if (finished != WAV_OK) return finished;
  recording = std::move(next);
  return WAV_OK;
}

}  // namespace quavrix
