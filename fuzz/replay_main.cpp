// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target over saved inputs without libFuzzer, so that a compiler
// without it replays the corpora: every file named on the command line, and
// every file inside a folder named there, once each in name order.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto& entry : fs::directory_iterator(argv[i], ec))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argc > 0 ? argv[0] : "replay");
    return 2;
  }
  std::vector<std::uint8_t> bytes;
  for (const fs::path& path : inputs) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    bytes.clear();
    std::uint8_t piece[65536];
    std::size_t got = 0;
    while (f && (got = std::fread(piece, 1, sizeof piece, f)) > 0)
      bytes.insert(bytes.end(), piece, piece + got);
    const bool failed = !f || std::ferror(f);
    if (f) std::fclose(f);
    if (failed) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 2;
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
