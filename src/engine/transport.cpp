// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "analysis/frequency_peaks.h"
#include "base/units.h"
#include "engine/engine.h"
#include "engine/project_open.h"
#include "persist/autosave.h"
#include "platform/audio_device.h"
#include "playback/playback.h"
#include "score/note_store.h"
#include "synth/sampler.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr const char* AUDIO_FAILED =
    "INIT ctrl\n Can not open audio API\n Do not run under EXCLUSIVE mode\n   Check the mode of "
    "AUDIO DEVICE !";
constexpr const char* SAMPLER_FAILED = "INIT ctrl\n MIDI Ctrl Error\n";
constexpr const char* SAMPLER_VOICE_FAILED = "MIDI Ctrl INIT\nERROR : Xa2 SF masterVoice";

void releaseVoices(Engine& engine) {
  Lock lock(engine.playback.playbackLock);
  samplerAllNotesOff(engine.sampler);
}

// The view's mute switches live in the settings' runtime words; the sampler
// keeps its own copy, which the playback thread reads per event.
std::int32_t& muteWord(Engine& engine, int track) {
  auto& words = engine.settings.values.runtimeWords;
  return track == 0 ? words[MUTE_TICK] : words[track + MUTE_TRACK_OFFSET];
}

}  // namespace

int openRecordingAudio(Engine& engine, std::string* failure) {
  PlaybackState& player = engine.playback;
  player.sampler = &engine.sampler;
  if (!player.audioOpen) {
    std::string error;
    if (openAudio(player, engine.audioDevice, &error) != 0) {
      engine.prompter->error(AUDIO_FAILED);
      if (failure) *failure = error;
      return 0;
    }
  }
  const int started = startSamplerOutput(player, engine.sampler);
  if (started == 65535) engine.prompter->error(SAMPLER_VOICE_FAILED);
  if (started != 0) {
    engine.prompter->error(SAMPLER_FAILED);
    if (failure) *failure = engine.audioDevice + ": no voice left for the notes";
    return 0;
  }
  return 1;
}

bool probeAudioDevice(Engine& engine, std::string* reason) {
  if (engine.audioDevice != "portaudio" || engine.playback.audioOpen) return true;
  std::string error;
  if (openAudioDevice(engine.audioDevice, &error)) return true;
  engine.audioDevice = "null";
  if (reason) *reason = error;
  return false;
}

void relinkPlayback(Engine& engine) {
  linkRecording(engine.playback, engine.recording);
  linkScore(engine.playback, engine.notes);
}

void setPlayRange(Engine& engine, std::uint32_t start, std::uint32_t end) {
  engine.playback.start.store(start);
  engine.playback.end.store(end);
}

void setSpeed(Engine& engine, int step) {
  step = std::clamp(step, STEP_SLOWEST, STEP_NORMAL);
  engine.playback.step.store(step);
  engine.viewState.speedText = speedText(step);
}

int playbackSpeed(const Engine& engine) {
  return engine.playback.step.load();
}

void setLoop(Engine& engine, bool on) {
  engine.playback.loop.store(on ? 1 : 0);
}

bool looping(const Engine& engine) {
  return engine.playback.loop.load() != 0;
}

void setAlternate(Engine& engine, bool on) {
  engine.playback.alternate.store(on ? 1 : 0);
}

bool alternating(const Engine& engine) {
  return engine.playback.alternate.load() != 0;
}

ChannelSwitches channelSwitches(const Engine& engine) {
  return engine.playback.switches;
}

void toggleLeftChannel(Engine& engine) {
  ChannelSwitches& s = engine.playback.switches;
  s.leftOn = s.leftOn ? 0 : 1;
}

void toggleMonoMix(Engine& engine) {
  ChannelSwitches& s = engine.playback.switches;
  s.mono = s.mono ? 0 : 1;
}

void toggleRightChannel(Engine& engine) {
  ChannelSwitches& s = engine.playback.switches;
  s.rightOn = s.rightOn ? 0 : 1;
  s.rightInverted = 0;
}

void toggleDifferenceMix(Engine& engine) {
  ChannelSwitches& s = engine.playback.switches;
  s.rightInverted = s.rightInverted ? 0 : 1;
  s.rightOn = 0;
}

void setRecordingOutput(Engine& engine, bool on) {
  engine.viewState.wavButton = on ? 1 : 0;
  engine.playback.wavOn.store(on ? 1 : 0);
  if (!on) releaseVoices(engine);
}

void setNotesOutput(Engine& engine, bool on) {
  engine.settings.values.runtimeWords[MUTE_ALL_TRACKS] = on ? 0 : 1;
  updateMutes(engine.sampler);
}

bool notesOutput(const Engine& engine) {
  return engine.settings.values.runtimeWords[MUTE_ALL_TRACKS] == 0;
}

void setTrackOutput(Engine& engine, int track, bool on) {
  if (track < 0 || track > LAST_SETTING_TRACK) return;
  muteWord(engine, track) = on ? 0 : 1;
  updateMutes(engine.sampler);
}

bool trackOutput(const Engine& engine, int track) {
  if (track < 0 || track > LAST_SETTING_TRACK) return false;
  return muteWord(const_cast<Engine&>(engine), track) == 0;
}

void setRecordingLevel(Engine& engine, float level) {
  level = std::clamp(level, 0.0f, 1.0f);
  engine.settings.values.level[LEVEL_WAV] = level;
  engine.playback.wavLevel.store(levelCurve(level));
}

void setNotesLevel(Engine& engine, float level) {
  level = std::clamp(level, 0.0f, 1.0f);
  engine.settings.values.level[LEVEL_MIDI] = level;
  engine.sampler.midiGain = levelCurve(level);
}

void setTrackLevel(Engine& engine, int track, float level) {
  if (track < 0 || track > LAST_SETTING_TRACK) return;
  level = std::clamp(level, 0.0f, 1.0f);
  engine.settings.values.level[track == 0 ? LEVEL_TICK : track + LEVEL_TRACK_OFFSET] = level;
  updateTrackVelocities(engine.sampler);
}

void setTuning(Engine& engine, int cents) {
  cents = std::clamp(cents, -100, 100);
  engine.settings.values.tuning = cents;
  engine.viewState.tuningText = std::to_string(cents);
  Lock lock(engine.playback.playbackLock);
  samplerSetTuning(engine.sampler, cents);
}

SpectrumSwitch beginSpectrumSwitch(Engine& engine, bool difference) {
  SpectrumSwitch s;
  if (!engine.recording.hasSamples()) return s;
  s.run = true;
  s.difference = difference;
  s.wasPlaying = isPlaying(engine.playback);
  if (s.wasPlaying) stopPlaying(engine);
  return s;
}

void computeSpectrumSwitch(Recording& recording, const SpectrumSwitch& s) {
  if (!s.run) return;
  // The last buffers play out before the analysis takes both cores.
  if (s.wasPlaying) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  if (s.difference) {
    analyseDifference(recording);
  } else {
    analyseRecording(recording);
  }
}

void finishSpectrumSwitch(Engine& engine, const SpectrumSwitch& s) {
  if (!s.run) return;
  engine.viewState.differenceSpectrum = s.difference ? 1 : 0;
  if (s.wasPlaying) togglePlay(engine);
}

void switchSpectrum(Engine& engine, bool difference) {
  const SpectrumSwitch s = beginSpectrumSwitch(engine, difference);
  computeSpectrumSwitch(engine.recording, s);
  finishSpectrumSwitch(engine, s);
}

void togglePlay(Engine& engine) {
  PlaybackState& player = engine.playback;
  if (!player.audioOpen) return;
  // A pass that ended by itself left the playing flag up: the button starts again.
  if (!engine.viewState.playing || !isPlaying(player)) {
    engine.viewState.playing = 1;
    // The thread reads the slots and note-offs without a lock: compact only
    // once it idles (right after a pause it may still be finishing a block).
    waitUntilIdle(player);
    if (engine.notes.initialised) compactNotes(engine.notes);
    autosaveSettings(engine.settings, engine.paths.wav);
    autosaveProject(engine.notes, engine.paths.wav);
    relinkPlayback(engine);
    player.wavOn.store(engine.viewState.wavButton ? 1 : 0);
    resumePlayback(player);
  } else {
    engine.viewState.playing = 0;
    pausePlayback(player);
  }
}

void stopPlaying(Engine& engine) {
  stopPlayback(engine.playback);
  engine.viewState.playing = 0;
}

void rewindPlayback(Engine& engine) {
  rewindPass(engine.playback);
}

void panic(Engine& engine, bool resetLists) {
  Lock lock(engine.playback.playbackLock);
  samplerAllNotesOff(engine.sampler);
  if (resetLists) samplerEndQuickAll(engine.sampler);
  engine.audition = AuditionState{};
}

void auditionKey(Engine& engine, bool pressed, int key, int track) {
  AuditionState& a = engine.audition;
  Sampler& sampler = engine.sampler;
  Lock lock(engine.playback.playbackLock);
  if (!pressed) {
    if (a.soundingKey >= 0) samplerNoteOff(sampler, a.preset, a.soundingKey);
    a.soundingKey = -1;
    a.delayCount = 0;
    return;
  }
  // Track 0, the tick track, sounds the tick instrument, as playback does.
  if (track < 0 || track > 7 || key < 1 || key > KEY_COUNT) return;
  const int midiKey = key + KEY_TO_MIDI;
  if (midiKey == a.soundingKey) return;
  if (a.soundingKey >= 0) {
    // Gliding over the keys: hold the old key for the settings' number of calls.
    if (a.delayCount < engine.settings.values.singleNoteDelay) {
      ++a.delayCount;
      return;
    }
    a.delayCount = 0;
    samplerNoteOff(sampler, a.preset, a.soundingKey);
  }
  const bool tick = track == 0;
  a.preset = (tick ? sampler.tickProgram : sampler.trackPrograms[track]) - 1;
  a.soundingKey = midiKey;
  samplerNoteOn(sampler, a.preset, midiKey,
                tick ? sampler.tickVelocity : sampler.trackVelocities[track]);
}

int closeAudio(Engine& engine, std::string* failure) {
  const int result = shutdownPlayback(engine.playback, failure);
  engine.viewState.playing = 0;
  return result;
}

void discardAudio(Engine& engine) {
  shutdownPlayback(engine.playback, nullptr, false);
  engine.viewState.playing = 0;
}

TransportStatus transportStatus(const Engine& engine) {
  const PlaybackState& p = engine.playback;
  TransportStatus s;
  s.playing = engine.viewState.playing != 0;
  s.position = p.position.load();
  s.finished = p.finished.load() != 0;
  s.lastBeat = p.lastBeat.load();
  s.lastDivision = p.lastDivision.load();
  s.underruns = playbackUnderruns(p);
  s.failed = p.threadResult.load() != 0;
  s.queuedBuffers = p.recordingVoice ? p.recordingVoice->queued() : 0;
  s.samplerBuffers = p.samplerOutput.buffersSubmitted.load();
  return s;
}

bool takePassEnd(Engine& engine) {
  PlaybackState& p = engine.playback;
  if (!p.audioOpen || p.finished.load() == 0) return false;
  p.finished.store(0);
  if (p.loop.load()) return false;
  engine.viewState.playing = 0;
  // The thread has already stopped its pass (play state 0); only the voices
  // it left may still ring.
  releaseVoices(engine);
  return true;
}

}  // namespace quavrix
