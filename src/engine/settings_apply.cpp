// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/settings_apply.h"

#include <string>
#include <thread>

#include "engine/engine.h"
#include "engine/transport.h"
#include "persist/settings_file.h"
#include "playback/playback.h"
#include "synth/sampler.h"
#include "synth/soundfont_select.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;

void applyPrograms(Engine& engine) {
  Lock lock(engine.playback.playbackLock);
  samplerApplyPrograms(engine.sampler);
}

void applySound(Engine& engine) {
  const SettingValues& v = engine.settings.values;
  updateTrackVelocities(engine.sampler);
  setRecordingLevel(engine, v.level[LEVEL_WAV]);
  setNotesLevel(engine, v.level[LEVEL_MIDI]);
  {
    Lock lock(engine.playback.playbackLock);
    samplerSetTuning(engine.sampler, v.tuning);
  }
  rebuildKeyTables(engine);
  engine.viewState.tuningText = std::to_string(v.tuning);
  engine.notes.judgingTolerance = static_cast<float>(v.judgingTolerance) / 100.0f;
  engine.notes.autoFillTolerance = static_cast<float>(v.autoFillTolerance) / 100.0f;
  // A negative lag would schedule notes before the recording they belong to.
  if (v.midiTiming >= 0 && v.midiTiming < MIDI_TIMING_LIMIT) {
    engine.playback.lag.store(v.midiTiming * LAG_FRAMES_PER_MS);
  }
  engine.viewState.spectrumGain = static_cast<float>(v.displayMagnification);
}

SoundFontHost soundFontHost(Engine& engine) {
  SoundFontHost host;
  host.settings = &engine.settings;
  host.loadedPath = &engine.paths.soundFont;
  host.dataFolder = engine.paths.dataFolder;
  host.prompter = engine.prompter;
  host.files = engine.files;
  host.settle = engine.soundFontSettle;
  return host;
}

}  // namespace

int noteTimerMilliseconds(int midiInterval) {
  return (midiInterval > MAX_MIDI_INTERVAL || midiInterval < 0) ? 0 : midiInterval;
}

int selectSoundFont(Engine& engine) {
  SoundFontHost host = soundFontHost(engine);
  // Checked before playback is touched, so that it is never stopped for nothing.
  if (soundFontSettled(engine.sampler, host)) return engine.sampler.bank ? 0 : -1;
  const bool wasPlaying = isPlaying(engine.playback);
  if (wasPlaying) {
    stopPlaying(engine);
    if (host.settle.count() > 0) std::this_thread::sleep_for(host.settle);
  }
  const SoundFontBank* before = engine.sampler.bank.get();
  const int result = selectSoundFont(engine.sampler, host);
  // A new bank: the next pass starts at the range start with fresh voices.
  if (result == 0 && engine.sampler.bank.get() != before) engine.playback.passStarted = 0;
  // The recording plays on even when the notes have no bank.
  if (wasPlaying) togglePlay(engine);
  return result;
}

int applySettings(Engine& engine, int mask) {
  Settings& settings = engine.settings;
  engine.sampler.settings = &settings.values;
  if (mask == APPLY_ALL || mask == APPLY_SOUNDFONT) {
    selectSoundFont(engine);
    if (mask == APPLY_SOUNDFONT) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_PROGRAMS) {
    applyPrograms(engine);
    if (mask == APPLY_PROGRAMS) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_SOUND) {
    applySound(engine);
    if (mask == APPLY_SOUND) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_COLOURS) ++settings.colourRevision;
  return 0;
}

PendingApplied applyPendingSettings(Engine& engine) {
  ApplyFlags& flags = engine.settings.applyFlags;
  PendingApplied applied;
  applied.any = flags.soundFontChanged || flags.intervalChanged || flags.soundFont ||
                flags.programs || flags.sound || flags.colours;
  applied.reopen = flags.soundFontChanged || flags.soundFont || flags.programs;
  if (flags.soundFontChanged) {
    applySettings(engine, APPLY_ALL);
  } else {
    if (flags.soundFont) applySettings(engine, APPLY_SOUNDFONT);
    if (flags.programs) applySettings(engine, APPLY_PROGRAMS);
    if (flags.sound) applySettings(engine, APPLY_SOUND);
    if (flags.colours) applySettings(engine, APPLY_COLOURS);
  }
  if (flags.intervalChanged) {
    engine.playback.noteTimerMs.store(noteTimerMilliseconds(engine.settings.values.midiInterval));
  }
  flags = ApplyFlags{};
  return applied;
}

int useSettingsFile(Engine& engine, const std::string& path) {
  loadSettings(engine.settings, path, *engine.prompter);
  applySettings(engine, APPLY_ALL);
  return 0;
}

int useSettingsFileStrictly(Engine& engine, const std::string& path, std::string* failure) {
  Settings named = engine.settings;
  std::string reason;
  if (readSettingsFile(named, path, reason) != 0) {
    if (failure) *failure = "cannot read settings file " + path + ": " + reason;
    return -1;
  }
  named.currentPath = path;
  named.hasUserFile = 1;
  engine.settings = std::move(named);
  applySettings(engine, APPLY_ALL);
  return 0;
}

bool applyPending(Engine& engine) {
  return applyPendingSettings(engine).any;
}

}  // namespace quavrix
