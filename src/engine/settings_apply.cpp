#include "engine/settings_apply.h"

#include <string>

#include "engine/engine.h"
#include "persist/settings_file.h"
#include "score/autosave.h"

namespace quavrix {

namespace {

void applySound(Engine& engine) {
  const SettingValues& v = engine.settings.values;
  SettingsSoundTarget* target = engine.settings.soundTarget;
  if (target) target->applyLevelsAndTuning(v);
  rebuildKeyTables(engine);
  engine.viewState.tuningText = std::to_string(v.tuning);
  engine.notes.judgingTolerance = static_cast<float>(v.judgingTolerance) / 100.0f;
  engine.notes.autoFillTolerance = static_cast<float>(v.autoFillTolerance) / 100.0f;
  // A negative lag would schedule notes before the recording they belong to.
  if (target && v.midiTiming >= 0 && v.midiTiming < MIDI_TIMING_LIMIT) {
    target->setPlaybackLag(v.midiTiming * LAG_FRAMES_PER_MS);
  }
  engine.viewState.spectrumGain = static_cast<float>(v.displayMagnification);
}

}  // namespace

std::int64_t noteTimerDueTime(int midiInterval) {
  const std::int64_t ms = (midiInterval > MAX_MIDI_INTERVAL || midiInterval < 0) ? 0 : midiInterval;
  return -(ms * 10000) - 1;
}

int applySettings(Engine& engine, int mask) {
  Settings& settings = engine.settings;
  SettingsSoundTarget* target = settings.soundTarget;
  if (mask == APPLY_ALL || mask == APPLY_SOUNDFONT) {
    if (target) target->reloadSoundFont();
    if (mask == APPLY_SOUNDFONT) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_PROGRAMS) {
    if (target) target->applyPrograms(settings.values);
    if (mask == APPLY_PROGRAMS) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_SOUND) {
    applySound(engine);
    if (mask == APPLY_SOUND) return 0;
  }
  if (mask == APPLY_ALL || mask == APPLY_COLOURS) ++settings.colourRevision;
  return 0;
}

int autosaveSettingsAndNotes(Engine& engine) {
  autosaveSettings(engine.settings, engine.paths.wav);
  return autosaveProject(engine.notes, engine.paths.wav);
}

int confirmDiscardProject(Engine& engine) {
  return confirmDiscard(engine.notes, engine.paths.wav, *engine.prompter,
                        [&engine] { autosaveSettings(engine.settings, engine.paths.wav); });
}

bool applyPending(Engine& engine) {
  ApplyFlags& flags = engine.settings.applyFlags;
  const bool any = flags.soundFontChanged || flags.intervalChanged || flags.soundFont ||
                   flags.programs || flags.sound || flags.colours;
  if (flags.soundFontChanged) {
    applySettings(engine, APPLY_ALL);
  } else {
    if (flags.soundFont) applySettings(engine, APPLY_SOUNDFONT);
    if (flags.programs) applySettings(engine, APPLY_PROGRAMS);
    if (flags.sound) applySettings(engine, APPLY_SOUND);
    if (flags.colours) applySettings(engine, APPLY_COLOURS);
  }
  if (flags.intervalChanged && engine.settings.soundTarget) {
    engine.settings.soundTarget->setNoteTimerDue(
        noteTimerDueTime(engine.settings.values.midiInterval));
  }
  flags = ApplyFlags{};
  return any;
}

}  // namespace quavrix
