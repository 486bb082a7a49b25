#include "engine/sound.h"

#include <string>

#include "base/units.h"
#include "engine/engine.h"
#include "engine/settings_apply.h"
#include "playback/playback.h"
#include "playback/sampler_settings.h"
#include "score/note_store.h"
#include "score/playback_control.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr const char* AUDIO_FAILED =
    "INIT ctrl\n Can not open audio API\n Do not run under EXCLUSIVE mode\n   Check the mode of "
    "AUDIO DEVICE !";
constexpr const char* SAMPLER_FAILED = "INIT ctrl\n MIDI Ctrl Error\n";
constexpr const char* SAMPLER_VOICE_FAILED = "MIDI Ctrl INIT\nERROR : Xa2 SF masterVoice";

class EnginePlayback final : public PlaybackControl {
 public:
  explicit EnginePlayback(Engine& engine) : engine_(engine) {}
  bool isPlaying() const override { return quavrix::isPlaying(engine_.playback); }
  void stopPlayback() override {
    quavrix::stopPlayback(engine_.playback);
    engine_.viewState.playing = 0;
  }
  void startPlayback() override {
    if (!engine_.viewState.playing) togglePlay(engine_);
  }
  void releaseVoices() override {
    Lock lock(engine_.playback.playbackLock);
    samplerAllNotesOff(engine_.sampler);
  }
  std::uint64_t playbackFrame() const override {
    const std::int64_t p = engine_.playback.position.load();
    return p > 0 ? static_cast<std::uint64_t>(p) : 0;
  }

 private:
  Engine& engine_;
};

}  // namespace

void installSound(Engine& engine) {
  engine.playbackControl = std::make_unique<EnginePlayback>(engine);

  SoundFontHost host;
  host.settings = &engine.settings;
  host.loadedPath = &engine.paths.soundFont;
  host.programFolder = engine.paths.programFolder;
  host.prompter = engine.prompter;
  host.files = engine.files;
  host.stopPlayback = [&engine] {
    const bool was = quavrix::isPlaying(engine.playback);
    if (was) engine.playbackControl->stopPlayback();
    return was;
  };
  host.restartPlayback = [&engine] { engine.playbackControl->startPlayback(); };
  host.resetPass = [&engine] { engine.playback.passStarted = 0; };

  PlaybackHooks hooks;
  hooks.playbackLock = &engine.playback.playbackLock;
  hooks.setLag = [&engine](std::int32_t frames) { engine.playback.lag.store(frames); };
  hooks.setNoteTimerDue = [&engine](std::int64_t due) {
    // Due times are relative, in 100 ns, one tick past the interval.
    engine.playback.noteTimerMs.store(static_cast<int>((-due - 1) / 10000));
  };
  engine.samplerTarget =
      std::make_unique<SamplerSettingsTarget>(engine.sampler, std::move(host), std::move(hooks));
  engine.settings.soundTarget = engine.samplerTarget.get();
  engine.samplerTarget->setNoteTimerDue(noteTimerDueTime(engine.settings.values.midiInterval));
}

int openRecordingAudio(Engine& engine) {
  PlaybackState& player = engine.playback;
  player.sampler = &engine.sampler;
  if (!player.audioOpen) {
    std::string error;
    if (openAudio(player, engine.audioDevice, &error) != 0) {
      engine.prompter->error(AUDIO_FAILED);
      return 0;
    }
  }
  const int started = startSamplerOutput(player, engine.sampler);
  if (started == 65535) engine.prompter->error(SAMPLER_VOICE_FAILED);
  if (started != 0) {
    engine.prompter->error(SAMPLER_FAILED);
    return 0;
  }
  return 1;
}

void relinkPlayback(Engine& engine) {
  linkRecording(engine.playback, engine.recording);
  linkScore(engine.playback, engine.notes);
}

void togglePlay(Engine& engine) {
  PlaybackState& player = engine.playback;
  if (!player.audioOpen) return;
  // A pass that ended by itself left the playing flag up: the button starts again.
  if (!engine.viewState.playing || !isPlaying(player)) {
    engine.viewState.playing = 1;
    // The thread reads the slots and note-offs without a lock: compact while it idles.
    if (engine.notes.initialised) compactNotes(engine.notes);
    autosaveSettingsAndNotes(engine);
    relinkPlayback(engine);
    player.wavOn.store(engine.viewState.wavButton ? 1 : 0);
    player.wavLevel.store(engine.settings.values.level[LEVEL_WAV]);
    resumePlayback(player);
  } else {
    engine.viewState.playing = 0;
    pausePlayback(player);
  }
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
  if (track < 1 || track > 7 || key < 1 || key > KEY_COUNT) return;
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
  a.preset = sampler.trackPrograms[track] - 1;
  a.soundingKey = midiKey;
  samplerNoteOn(sampler, a.preset, midiKey, sampler.trackVelocities[track]);
}

}  // namespace quavrix
