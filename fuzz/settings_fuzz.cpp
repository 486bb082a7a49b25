// Feeds arbitrary bytes to the settings reader; a file it takes is written
// out again and must read back to the very same values.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_file.h"
#include "persist/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavrix;
  static const fuzz::InputFile file("settings-fuzz");
  if (!file.write(data, size)) return 0;
  Settings first;
  std::string reason;
  if (readSettingsFile(first, file.path(), reason) != 0) return 0;
  const std::string text = settingsDocumentText(first);
  if (!file.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) return 0;
  Settings second;
  if (readSettingsFile(second, file.path(), reason) != 0 || !(second.values == first.values))
    std::abort();
  return 0;
}
