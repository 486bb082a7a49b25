// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix-cli sf2-info FILE.sf2 [--json]: the presets of a SoundFont in the
// order the program numbers them (bank, then program, then file position).

#include <cstdio>
#include <string>

#include "cli.h"
#include "synth/soundfont.h"

namespace quavrix::cli {
namespace {

int runSf2Info(const std::vector<std::string>& argv) {
  const Args args(argv, {});
  if (!args.error().empty()) return usageError("sf2-info", args.error());
  if (args.positional().size() != 1) return usageError("sf2-info", "give one .sf2 file");
  const std::string& path = args.positional()[0];
  std::string reason;
  const auto bank = loadSoundFontFile(path, &reason);
  if (!bank) {
    std::fprintf(stderr, "quavrix-cli sf2-info: cannot read %s: %s\n", path.c_str(),
                 reason.c_str());
    return 1;
  }
  const std::size_t regions = regionCount(*bank);
  if (!args.flag("--json")) {
    std::printf("%s: %d presets, %zu regions, %zu sample points\n", path.c_str(),
                bank->presetCount(), regions, bank->sampleCount);
    std::printf("%5s %5s %7s %7s  %s\n", "pos", "bank", "program", "regions", "name");
    for (int i = 0; i < bank->presetCount(); ++i) {
      const BankPreset& p = bank->presets[i];
      std::printf("%5d %5u %7u %7zu  %s\n", i + 1, p.bank, p.program, p.regions.size(),
                  p.name.c_str());
    }
    return 0;
  }
  std::string out = "{\"file\": " + jsonString(path) + ", \"presets\": [";
  for (int i = 0; i < bank->presetCount(); ++i) {
    const BankPreset& p = bank->presets[i];
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s{\"position\": %d, \"bank\": %u, \"program\": %u, ",
                  i ? ", " : "", i + 1, p.bank, p.program);
    out += buf;
    out += "\"name\": " + jsonString(p.name);
    out += ", \"regions\": " + std::to_string(p.regions.size()) + "}";
  }
  out += "], \"totals\": {\"presets\": " + std::to_string(bank->presetCount()) +
         ", \"regions\": " + std::to_string(regions) +
         ", \"samplePoints\": " + std::to_string(bank->sampleCount) + "}}";
  std::printf("%s\n", out.c_str());
  return 0;
}

const CommandRegistrar registrar({"sf2-info", "sf2-info FILE.sf2 [--json]", runSf2Info});

}  // namespace
}  // namespace quavrix::cli
