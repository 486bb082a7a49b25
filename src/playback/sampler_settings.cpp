#include "playback/sampler_settings.h"

#include <optional>

namespace quavrix {

SamplerSettingsTarget::SamplerSettingsTarget(Sampler& sampler, SoundFontHost host,
                                             PlaybackHooks hooks)
    : sampler_(sampler), host_(std::move(host)), hooks_(std::move(hooks)) {
  if (host_.settings) sampler_.settings = &host_.settings->values;
}

void SamplerSettingsTarget::reloadSoundFont() {
  selectSoundFont(sampler_, host_);
}

void SamplerSettingsTarget::applyPrograms(const SettingValues& values) {
  sampler_.settings = &values;
  std::optional<std::lock_guard<std::mutex>> lock;
  if (hooks_.playbackLock) lock.emplace(*hooks_.playbackLock);
  samplerApplyPrograms(sampler_);
}

void SamplerSettingsTarget::applyLevelsAndTuning(const SettingValues& values) {
  sampler_.settings = &values;
  updateTrackVelocities(sampler_);
  std::optional<std::lock_guard<std::mutex>> lock;
  if (hooks_.playbackLock) lock.emplace(*hooks_.playbackLock);
  samplerSetTuning(sampler_, values.tuning);
}

void SamplerSettingsTarget::setPlaybackLag(std::int32_t frames) {
  if (hooks_.setLag) hooks_.setLag(frames);
}

void SamplerSettingsTarget::setNoteTimerDue(std::int64_t dueTime) {
  if (hooks_.setNoteTimerDue) hooks_.setNoteTimerDue(dueTime);
}

}  // namespace quavrix
