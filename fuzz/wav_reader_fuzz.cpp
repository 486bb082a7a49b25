// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the WAV reader and the onset detector: any input
// must give a result code, never a crash or an access outside the buffers.

#include <cstdint>

#include "analysis/onsets.h"
#include "analysis/wav_reader.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quavrix::fuzz::InputFile file("wav-fuzz");
  if (!file.write(data, size)) return 0;
  quavrix::Recording rec;
  rec.path = file.path();
  if (quavrix::readRecordingSamples(rec) == quavrix::WAV_OK) quavrix::detectOnsets(rec);
  return 0;
}
