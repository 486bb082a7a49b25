#pragma once
// The sampler's side of the settings apply step: reloads the SoundFont,
// copies programs, velocities and tuning into the Sampler. The playback
// thread's parts (lag, note timer, playback lock) arrive as hooks from the
// player once it exists.

#include <cstdint>
#include <functional>
#include <mutex>

#include "persist/settings.h"
#include "playback/sampler.h"
#include "playback/soundfont_select.h"

namespace quavrix {

struct PlaybackHooks {
  // The lock every note call into the sampler is made under; null = none yet.
  std::mutex* playbackLock = nullptr;
  std::function<void(std::int32_t frames)> setLag;
  std::function<void(std::int64_t dueTime)> setNoteTimerDue;
};

class SamplerSettingsTarget final : public SettingsSoundTarget {
 public:
  // Points the sampler at the settings' values as well.
  SamplerSettingsTarget(Sampler& sampler, SoundFontHost host, PlaybackHooks hooks = {});

  void reloadSoundFont() override;
  void applyPrograms(const SettingValues& values) override;
  void applyLevelsAndTuning(const SettingValues& values) override;
  void setPlaybackLag(std::int32_t frames) override;
  void setNoteTimerDue(std::int64_t dueTime) override;

  SoundFontHost& host() { return host_; }
  PlaybackHooks& hooks() { return hooks_; }

 private:
  Sampler& sampler_;
  SoundFontHost host_;
  PlaybackHooks hooks_;
};

}  // namespace quavrix
