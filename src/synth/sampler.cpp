// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/sampler.h"

#include <algorithm>
#include <thread>

#include "synth/voice_render.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;

void releaseEarliest(SoundFontBank& bank, int preset, int key) {
  bool found = false;
  std::uint32_t earliest = 0;
  std::uint32_t earliestAge = 0;
  for (const SynthVoice& v : bank.voices) {
    if (v.playingPreset != preset || v.playingKey != key || v.releasing()) continue;
    // Ages rather than raw indices, so that the counter may wrap.
    const std::uint32_t age = bank.voicePlayCounter - v.playIndex;
    if (!found || age > earliestAge) {
      found = true;
      earliest = v.playIndex;
      earliestAge = age;
    }
  }
  if (!found) return;
  for (SynthVoice& v : bank.voices) {
    if (v.playIndex == earliest && v.playingPreset == preset && v.playingKey == key &&
        !v.releasing())
      voiceRelease(v);
  }
}

// A voice to take over when the pool is full: the quietest one already
// releasing, else the one started longest ago. Voices of the note-on being
// started are spared while others exist.
int takeOverVoice(const SoundFontBank& bank, std::uint32_t playIndex) {
  int quietest = -1, oldest = -1;
  float quietestLevel = 0.0f;
  std::uint32_t oldestAge = 0;
  for (int i = 0; i < bank.voiceCount(); ++i) {
    const SynthVoice& v = bank.voices[i];
    if (v.playIndex == playIndex) continue;
    if (v.releasing()) {
      const float level = voiceLoudness(v);
      if (quietest < 0 || level < quietestLevel) {
        quietest = i;
        quietestLevel = level;
      }
    }
    const std::uint32_t age = bank.voicePlayCounter - v.playIndex;
    if (oldest < 0 || age > oldestAge) {
      oldest = i;
      oldestAge = age;
    }
  }
  if (quietest >= 0) return quietest;
  return oldest >= 0 ? oldest : 0;
}

int findVoice(SoundFontBank& bank, const BankRegion& region, int preset, std::uint32_t playIndex) {
  int freeVoice = -1;
  if (region.exclusiveGroup != 0) {
    // A new note of an exclusive group (an open and a closed hi-hat) cuts the
    // earlier ones short.
    for (int i = 0; i < bank.voiceCount(); ++i) {
      SynthVoice& v = bank.voices[i];
      if (v.isFree()) {
        if (freeVoice < 0) freeVoice = i;
        continue;
      }
      if (v.playingPreset == preset && v.playIndex != playIndex &&
          v.region->exclusiveGroup == region.exclusiveGroup)
        voiceEndQuick(v);
    }
  } else {
    for (int i = 0; i < bank.voiceCount(); ++i) {
      if (bank.voices[i].isFree()) {
        freeVoice = i;
        break;
      }
    }
  }
  if (freeVoice >= 0) {
    bank.activeVoices.push_back(static_cast<std::uint16_t>(freeVoice));
    return freeVoice;
  }
  return takeOverVoice(bank, playIndex);
}

int noteOnLocked(SoundFontBank& bank, int preset, int key, float velocity) {
  if (preset < 0 || preset >= bank.presetCount()) return 0;
  if (velocity <= 0.0f) {
    releaseEarliest(bank, preset, key);
    return 0;
  }
  const int midiVelocity = std::clamp(static_cast<int>(velocity * 127.0f), 0, 127);
  const std::uint32_t playIndex = bank.voicePlayCounter++;
  const SynthChannel* channel =
      bank.channels.count > 0 ? &bank.channels.channels[bank.channels.activeChannel] : nullptr;
  int started = 0;
  for (const BankRegion& region : bank.presets[preset].regions) {
    if (key < region.lowKey || key > region.highKey) continue;
    if (midiVelocity < region.lowVelocity || midiVelocity > region.highVelocity) continue;
    const int index = findVoice(bank, region, preset, playIndex);
    voiceStart(bank.voices[index], region, preset, key, midiVelocity, velocity, playIndex,
               bank.globalGain, channel);
    ++started;
  }
  return started;
}

}  // namespace

int samplerNoteOn(Sampler& sampler, int preset, int key, float velocity) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return 0;
  return noteOnLocked(*sampler.bank, preset, key, velocity);
}

void samplerNoteOff(Sampler& sampler, int preset, int key) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return;
  releaseEarliest(*sampler.bank, preset, key);
}

void samplerAllNotesOff(Sampler& sampler) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return;
  for (SynthVoice& v : sampler.bank->voices)
    if (!v.isFree() && !v.releasing()) voiceRelease(v);
}

void samplerEndQuick(SynthVoice& voice) {
  voiceEndQuick(voice);
}

void samplerEndQuickAll(Sampler& sampler) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return;
  for (SynthVoice& v : sampler.bank->voices)
    if (!v.isFree()) voiceEndQuick(v);
}

int samplerTrackNoteOn(Sampler& sampler, int track, int key) {
  if (track < 1 || track > 7 || sampler.notesMute || sampler.trackMutes[track]) return 0;
  return samplerNoteOn(sampler, sampler.trackPrograms[track] - 1, key,
                       sampler.trackVelocities[track]);
}

void samplerTrackNoteOff(Sampler& sampler, int track, int key) {
  if (track < 1 || track >= SAMPLER_TRACK_ENTRIES) return;
  samplerNoteOff(sampler, sampler.trackPrograms[track] - 1, key);
}

int samplerTick(Sampler& sampler) {
  if (sampler.tickMute) return 0;
  const int preset = sampler.tickProgram - 1;
  samplerNoteOff(sampler, preset, sampler.tickNote);
  return samplerNoteOn(sampler, preset, sampler.tickNote, sampler.tickVelocity);
}

namespace {

SynthChannel* channelOf(SoundFontBank& bank, int channel) {
  if (channel < 0 || channel >= SYNTH_CHANNEL_CAPACITY) return nullptr;
  SynthChannelTable& table = bank.channels;
  // Channels come into being with their defaults the first time they are asked for.
  for (; table.count <= channel; ++table.count) table.channels[table.count] = SynthChannel{};
  return &table.channels[channel];
}

}  // namespace

SynthChannel* SamplerChannel(Sampler& sampler, int channel) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return nullptr;
  return channelOf(*sampler.bank, channel);
}

void samplerApplyPitch(Sampler& sampler, int channel) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return;
  SoundFontBank& bank = *sampler.bank;
  if (channel < 0 || channel >= bank.channels.count) return;
  const float shift = bank.channels.channels[channel].pitchShift();
  for (SynthVoice& v : bank.voices)
    if (!v.isFree() && v.playingChannel == channel) voiceComputePitch(v, shift);
}

void samplerSetTuning(Sampler& sampler, int cents) {
  SynthChannel* channel = SamplerChannel(sampler, 0);
  if (!channel) return;
  const float semitones = static_cast<float>(cents) / 100.0f;
  if (channel->tuning == semitones) return;
  {
    Lock lock(sampler.renderLock);
    channel->tuning = semitones;
  }
  samplerApplyPitch(sampler, 0);
}

namespace {

// One block of every active voice: resample all, run the filters four voices
// at a time, mix all, drop the voices that finished.
void renderBlock(SoundFontBank& bank, float* out, int n) {
  const float* samples = bank.samples.data();
  auto& active = bank.activeVoices;
  float* scratch = bank.blockScratch.data();
  VoiceBlock* plans = bank.blockPlans.data();

  std::size_t used = 0;
  for (std::size_t k = 0; k < active.size(); ++k) {
    SynthVoice& v = bank.voices[active[k]];
    if (v.isFree()) continue;
    active[used] = active[k];
    voiceBeginBlock(v, samples, scratch + used * VOICE_BLOCK, n, plans[used]);
    ++used;
  }
  active.resize(used);

  SynthVoice* group[4];
  float* groupBufs[4];
  int grouped = 0;
  for (std::size_t k = 0; k < used; ++k) {
    if (!plans[k].filter) continue;
    SynthVoice& v = bank.voices[active[k]];
    float* buf = scratch + k * VOICE_BLOCK;
    if (plans[k].count != n) {
      voiceFilterBlock(v, buf, plans[k].count);
      continue;
    }
    group[grouped] = &v;
    groupBufs[grouped] = buf;
    if (++grouped == 4) {
      voiceFilterBlocks4(group, groupBufs, n);
      grouped = 0;
    }
  }
  for (int g = 0; g < grouped; ++g) voiceFilterBlock(*group[g], groupBufs[g], n);

  MixBus& bus = bank.mixBus;
  std::fill(bus.left, bus.left + VOICE_BLOCK, 0.0f);
  std::fill(bus.right, bus.right + VOICE_BLOCK, 0.0f);
  std::size_t kept = 0;
  for (std::size_t k = 0; k < used; ++k) {
    const std::uint16_t index = active[k];
    if (voiceEndBlock(bank.voices[index], scratch + k * VOICE_BLOCK, bus, plans[k]))
      active[kept++] = index;
  }
  active.resize(kept);
  mixBusAdd(bus, out, n);
}

}  // namespace

void samplerRender(Sampler& sampler, float* out, int frames) {
  if (frames <= 0) return;
  std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
  for (int done = 0; done < frames; done += VOICE_BLOCK) {
    const int n = std::min(VOICE_BLOCK, frames - done);
    // One block at a time, so that a note call waits at most one block.
    Lock lock(sampler.renderLock);
    if (sampler.bank) renderBlock(*sampler.bank, out + 2 * done, n);
  }
}

namespace {

void applyScheduled(SoundFontBank& bank, const ScheduledNote& note) {
  if (note.preset == ALL_NOTES_OFF) {
    for (SynthVoice& v : bank.voices)
      if (!v.isFree() && !v.releasing()) voiceRelease(v);
    return;
  }
  noteOnLocked(bank, note.preset, note.key, note.velocity);
}

}  // namespace

bool samplerSchedule(Sampler& sampler, const ScheduledNote& note) {
  Lock lock(sampler.renderLock);
  if (sampler.scheduled == SCHEDULE_CAPACITY) return false;
  sampler.schedule[(sampler.scheduleHead + sampler.scheduled) % SCHEDULE_CAPACITY] = note;
  ++sampler.scheduled;
  return true;
}

void samplerClearSchedule(Sampler& sampler) {
  Lock lock(sampler.renderLock);
  sampler.scheduled = 0;
}

void samplerRenderFrom(Sampler& sampler, float* out, int frames, std::int64_t firstFrame) {
  if (frames <= 0) return;
  std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
  for (int done = 0; done < frames;) {
    Lock lock(sampler.renderLock);
    const std::int64_t now = firstFrame + done;
    while (sampler.scheduled > 0 && sampler.schedule[sampler.scheduleHead].frame <= now) {
      if (sampler.bank) applyScheduled(*sampler.bank, sampler.schedule[sampler.scheduleHead]);
      sampler.scheduleHead = (sampler.scheduleHead + 1) % SCHEDULE_CAPACITY;
      --sampler.scheduled;
    }
    // Blocks end where the next call is due, so that it starts on its frame.
    int n = std::min(VOICE_BLOCK, frames - done);
    if (sampler.scheduled > 0) {
      const std::int64_t until = sampler.schedule[sampler.scheduleHead].frame - now;
      if (until < n) n = static_cast<int>(until);
    }
    if (sampler.bank) renderBlock(*sampler.bank, out + 2 * done, n);
    done += n;
  }
}

int samplerActiveVoices(Sampler& sampler) {
  Lock lock(sampler.renderLock);
  if (!sampler.bank) return 0;
  int n = 0;
  for (const SynthVoice& v : sampler.bank->voices) n += v.isFree() ? 0 : 1;
  return n;
}

float levelCurve(float level) {
  if (level < 0.0f) return 0.0f;
  if (level >= 1.0f) return 1.0f;
  return 100.0f * level * level / (101.0f - level);
}

void updateTrackVelocities(Sampler& sampler) {
  if (!sampler.settings) return;
  const auto& level = sampler.settings->level;
  sampler.tickVelocity = levelCurve(level[LEVEL_TICK]);
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t)
    sampler.trackVelocities[t] = levelCurve(level[t + LEVEL_TRACK_OFFSET]);
}

void updateMutes(Sampler& sampler) {
  if (!sampler.settings) return;
  const auto& words = sampler.settings->runtimeWords;
  sampler.notesMute = words[MUTE_ALL_TRACKS] != 0 ? 1 : 0;
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t)
    sampler.trackMutes[t] = words[t + MUTE_TRACK_OFFSET] != 0 ? 1 : 0;
  sampler.tickMute = words[MUTE_TICK] != 0 ? 1 : 0;
}

void copyPrograms(Sampler& sampler) {
  if (!sampler.settings) return;
  const SettingValues& s = *sampler.settings;
  sampler.tickProgram = static_cast<std::uint16_t>(s.tickProgram);
  for (int t = 1; t < SAMPLER_TRACK_ENTRIES; ++t)
    sampler.trackPrograms[t] = static_cast<std::uint16_t>(s.trackProgram[t]);
  sampler.tickNote = static_cast<std::uint8_t>(s.tickNote);
}

void samplerApplyPrograms(Sampler& sampler) {
  samplerAllNotesOff(sampler);
  copyPrograms(sampler);
  samplerAllNotesOff(sampler);
}

void samplerInstallBank(Sampler& sampler, std::unique_ptr<SoundFontBank> bank) {
  if (!bank) return;
  // The pool and the render space, should the bank not come from the loader.
  bank->voices.resize(VOICE_CAPACITY);
  bank->activeVoices.reserve(VOICE_CAPACITY);
  bank->blockScratch.resize(static_cast<std::size_t>(VOICE_CAPACITY) * VOICE_BLOCK);
  bank->blockPlans.resize(VOICE_CAPACITY);
  bank->outputMode = OUTPUT_STEREO_INTERLEAVED;
  bank->outputRate = OUTPUT_RATE;
  bank->globalGain = DEFAULT_GLOBAL_GAIN;
  bank->channels = SynthChannelTable{};
  // Channel 9 plays the General MIDI percussion set. Set up before the bank
  // is published, so no note call sees a half-made channel table.
  SynthChannel* drums = channelOf(*bank, PERCUSSION_CHANNEL);
  const int kit = findPreset(*bank, 128, 0);
  if (drums && kit >= 0) {
    drums->presetIndex = static_cast<std::uint16_t>(kit);
    drums->bank = 128;
  }
  std::unique_ptr<SoundFontBank> old;
  {
    Lock lock(sampler.renderLock);
    old = std::move(sampler.bank);
    sampler.bank = std::move(bank);
  }
  sampler.paused.store(0);
}

std::unique_ptr<SoundFontBank> samplerRemoveBank(Sampler& sampler,
                                                 std::chrono::milliseconds settle) {
  samplerEndQuickAll(sampler);
  if (settle.count() > 0) std::this_thread::sleep_for(settle);
  sampler.paused.store(1);
  Lock lock(sampler.renderLock);
  sampler.scheduled = 0;
  return std::move(sampler.bank);
}

}  // namespace quavrix
