// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the settings reader; a file it takes is written
// out again and must read back to the same values. Levels are the exception
// the file format makes: written as level x 100 in single precision and
// truncated toward zero, a level read from 53 is written as 52, so they may
// come back one percent nearer zero.

#include <cmath>
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
  if (readSettingsFile(second, file.path(), reason) != 0) std::abort();
  for (std::size_t i = 0; i < first.values.level.size(); ++i) {
    const float was = first.values.level[i];
    const float is = second.values.level[i];
    if (!(std::fabs(was - is) <= std::fabs(was) * 1e-6f + 0.0100001f)) std::abort();
    second.values.level[i] = was;
  }
  if (!(second.values == first.values)) std::abort();
  return 0;
}
