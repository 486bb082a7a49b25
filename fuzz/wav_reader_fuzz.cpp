// Feeds arbitrary bytes to the WAV reader and the onset detector: any input
// must give a result code, never a crash or an access outside the buffers.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "analysis/onsets.h"
#include "analysis/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/dev/shm/quavrix-wav-fuzz-" + std::to_string(::getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  quavrix::Recording rec;
  rec.path = path;
  if (quavrix::readRecordingSamples(rec) == quavrix::WAV_OK) quavrix::detectOnsets(rec);
  return 0;
}
