// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/soundfont_select.h"

#include <thread>

#include "base/paths.h"

namespace quavrix {

namespace {

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::unique_ptr<SoundFontBank> askForBank(SoundFontHost& host, std::string& chosenPath,
                                          bool& gaveUp) {
  FileDialogRequest request;
  request.defaultExtension = "sf2";
  request.initialName = "*.sf2";
  request.filterLabel = "SoundFont (*.sf2)";
  request.filterPattern = "*.sf2";
  const auto chosen = host.files ? host.files->choose(request) : std::nullopt;
  if (!chosen) return nullptr;
  if (!fileExists(*chosen)) {
    if (host.prompter) host.prompter->information(CHOSEN_SOUNDFONT_MISSING);
    gaveUp = true;
    return nullptr;
  }
  chosenPath = *chosen;
  return loadSoundFontFile(*chosen);
}

}  // namespace

bool soundFontSettled(const Sampler& sampler, const SoundFontHost& host) {
  if (!host.settings || !host.loadedPath) return true;
  if (sampler.bank && host.settings->values.soundFontFile == *host.loadedPath) return true;
  // Before any settings were read there is nothing to choose from.
  return !host.settings->loaded;
}

int selectSoundFont(Sampler& sampler, SoundFontHost& host) {
  if (soundFontSettled(sampler, host)) return sampler.bank ? 0 : -1;
  Settings& settings = *host.settings;
  std::string& named = settings.values.soundFontFile;

  std::string candidate = named;
  const bool namesBank = contains(candidate, ".sf2");
  if (namesBank && contains(candidate, DEFAULT_SOUNDFONT_NAME))
    candidate = host.dataFolder + DEFAULT_SOUNDFONT_NAME;
  const bool exists = namesBank && fileExists(candidate);

  if (sampler.bank) samplerRemoveBank(sampler, host.settle).reset();

  std::unique_ptr<SoundFontBank> bank;
  if (exists) {
    bank = loadSoundFontFile(candidate);
    if (bank) {
      named = contains(candidate, DEFAULT_SOUNDFONT_NAME) ? DEFAULT_SOUNDFONT_NAME : candidate;
      *host.loadedPath = named;
    }
  } else {
    std::string chosen;
    bool gaveUp = false;
    bank = askForBank(host, chosen, gaveUp);
    if (gaveUp) return -1;
    if (bank) {
      named = chosen;
      *host.loadedPath = chosen;
    }
  }

  const bool loaded = bank != nullptr;
  if (loaded) {
    samplerInstallBank(sampler, std::move(bank));
    // The new channel table starts untuned; keep the tuning the settings ask for.
    samplerSetTuning(sampler, settings.values.tuning);
  } else if (host.prompter) {
    host.prompter->error(SOUNDFONT_NOT_FOUND);
  }
  return loaded ? 0 : -1;
}

}  // namespace quavrix
