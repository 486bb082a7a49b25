#include "playback/playback.h"

#include <chrono>

#include "analysis/recording.h"
#include "base/units.h"
#include "score/note_store.h"
#include "synth/sampler.h"

namespace quavrix {

namespace {

using Lock = std::lock_guard<std::mutex>;
using namespace std::chrono_literals;

constexpr auto IDLE_SLEEP = 100ms;
constexpr auto PAUSE_SLEEP = 8ms;
// Data the mixer needs ahead of the position: its continuation and candidates.
constexpr std::int64_t MIN_DATA_AHEAD = 8192;
constexpr float PRIMING_VELOCITY = 0.01f;

// Waits for a buffer-start event, giving up when the player is being shut down.
bool waitForEvent(AutoResetEvent& event, const std::atomic<bool>& quit) {
  while (!quit.load()) {
    if (event.waitFor(50ms)) return true;
  }
  return false;
}

void releaseAll(PlaybackState& p) {
  if (!p.sampler) return;
  Lock lock(p.playbackLock);
  samplerAllNotesOff(*p.sampler);
}

float* switchHalf(PlaybackState& p) {
  p.currentHalf ^= 1;
  return p.output.data() + static_cast<std::size_t>(p.currentHalf) * 2 * MIX_BLOCK_FRAMES;
}

std::int16_t mixInto(PlaybackState& p, float* block) {
  const MixInput in{p.left,          p.right, p.total, p.position.load(), p.passStarted != 0,
                    p.lastBlock != 0};
  return mixBlock(p.mix, in, block);
}

void submitHalf(PlaybackState& p, const float* block, int half) {
  p.recordingVoice->setVolume(p.wavOn.load() ? p.wavLevel.load() : 0.0f);
  p.recordingVoice->submit(block + half * 2 * AUDIO_BUFFER_FRAMES, AUDIO_BUFFER_FRAMES);
}

void noteTimer(PlaybackState& p) {
  const int ms = p.noteTimerMs.load();
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Event positions of the block that starts at the current position.
void eventRange(PlaybackState& p, std::int64_t& p0, std::int64_t& p1) {
  const std::int64_t pos = p.position.load();
  const int lag = p.lag.load();
  p0 = (pos + lag) / 32;
  p1 = (p.mix.step + p.correction + pos + lag) / 32;
}

int playFirstBlock(PlaybackState& p) {
  if (p.sampler) {
    Lock lock(p.playbackLock);
    samplerNoteOn(*p.sampler, p.sampler->tickProgram - 1, p.sampler->tickNote, PRIMING_VELOCITY);
  }
  float* block = switchHalf(p);
  p.correction = mixInto(p, block);
  std::int64_t p0, p1;
  eventRange(p, p0, p1);
  const std::int64_t middle = (p0 + p1) / 2;

  p.recordingStarted.reset();
  p.recordingVoice->start();
  submitHalf(p, block, 0);
  releaseAll(p);
  sendEvents(p, p0, middle);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  submitHalf(p, block, 1);
  sendEvents(p, middle, p1);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  p.passStarted = 1;
  return 0;
}

int playNextBlock(PlaybackState& p) {
  float* block = switchHalf(p);
  p.correction = mixInto(p, block);
  std::int64_t p0, p1;
  eventRange(p, p0, p1);
  const std::int64_t q = (p1 - p0) / 4;

  submitHalf(p, block, 0);
  sendEvents(p, p0, p0 + q);
  noteTimer(p);
  sendEvents(p, p0 + q, p0 + 2 * q);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  submitHalf(p, block, 1);
  sendEvents(p, p0 + 2 * q, p0 + 3 * q);
  noteTimer(p);
  sendEvents(p, p0 + 3 * q, p1);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  return 0;
}

void endPass(PlaybackState& p) {
  if (p.alternate.load()) {
    const int wav = p.wavOn.load() ? 0 : 1;
    p.wavOn.store(wav);
    if (p.sampler) p.sampler->notesMute = static_cast<std::uint8_t>(wav);
  }
  p.lastBlock = 0;
  // Notes whose note-off lies beyond the pass would otherwise hang.
  releaseAll(p);
  if (!p.loop.load()) {
    p.playState.store(PLAY_STOPPED);
    p.finished.store(1);
  }
  p.passStarted = 0;
}

void playbackThread(PlaybackState* player) {
  PlaybackState& p = *player;
  bool wasPlaying = false;
  while (!p.quit.load()) {
    {
      std::unique_lock<std::mutex> lock(p.stateMutex);
      if (p.playState.load() != PLAY_PLAYING) {
        p.threadIdle = true;
        lock.unlock();
        p.stateChanged.notify_all();
        if (wasPlaying) releaseAll(p);  // notes sent after a pause must not hang
        wasPlaying = false;
        std::this_thread::sleep_for(10ms);
        continue;
      }
      p.threadIdle = false;
    }
    wasPlaying = true;
    const int step = p.step.load();
    if (step != p.previousStep) {
      p.mix.step = step;
      p.previousStep = step;
    }
    const std::int64_t lag = p.lag.load();
    const std::int64_t start = static_cast<std::int64_t>(p.start.load()) - lag;
    const std::int64_t end = p.end.load() ? p.end.load() : p.total;
    if (!p.passStarted) {
      p.position.store(start);
      if (static_cast<std::int64_t>(p.total) < start + MIN_DATA_AHEAD) {
        std::this_thread::sleep_for(IDLE_SLEEP);  // not enough data to play
        continue;
      }
      if (end - lag - 4096 < start) p.lastBlock = 1;
      if (playFirstBlock(p) < 0) {
        p.threadResult.store(-2);
        return;
      }
    }
    const std::int64_t pos = p.position.load() + p.correction + p.mix.step;
    p.position.store(pos);
    if (static_cast<std::int64_t>(p.total) >= pos + MIN_DATA_AHEAD && !p.lastBlock &&
        pos >= start) {
      if (end - lag - 4096 < pos) p.lastBlock = 1;
      if (playNextBlock(p) < 0) {
        p.threadResult.store(-2);
        return;
      }
      continue;
    }
    endPass(p);
  }
}

void samplerOutputThread(PlaybackState* player, Sampler* sampler) {
  SamplerOutput& out = player->samplerOutput;
  bool first = true;
  while (!out.quit.load()) {
    if (sampler->paused.load()) {
      std::this_thread::sleep_for(PAUSE_SLEEP);
      continue;
    }
    float* slot = out.ring[out.slot].data();
    samplerRender(*sampler, slot, AUDIO_BUFFER_FRAMES);
    out.voice->setVolume(sampler->midiGain);
    out.voice->submit(slot, AUDIO_BUFFER_FRAMES);
    if (first) out.voice->start();
    first = false;
    out.buffersSubmitted.fetch_add(1);
    out.slot = (out.slot + 1) % SamplerOutput::RING_SLOTS;
    if (!waitForEvent(out.bufferStarted, out.quit)) return;
  }
}

}  // namespace

PlaybackState::PlaybackState() = default;

PlaybackState::~PlaybackState() {
  shutdownPlayback(*this);
}

int openAudio(PlaybackState& p, std::string_view deviceName, std::string* error) {
  if (p.audioOpen) return 0;
  p.device = openAudioDevice(deviceName, error);
  if (!p.device) return -1;
  p.recordingVoice = p.device->createVoice([&p] { p.recordingStarted.set(); });
  if (!p.recordingVoice) {
    if (error) *error = "no voice left on the audio device";
    p.device.reset();
    return -1;
  }
  p.previousStep = p.step.load();
  buildMixState(p.mix, &p.switches);
  p.mix.step = p.previousStep;
  p.audioOpen = 1;
  return 0;
}

int startSamplerOutput(PlaybackState& p, Sampler& sampler) {
  SamplerOutput& out = p.samplerOutput;
  if (out.running.load()) return 0;
  if (!p.device) return -1;
  out.voice = p.device->createVoice([&out] { out.bufferStarted.set(); });
  if (!out.voice) return 65535;
  p.sampler = &sampler;
  out.quit.store(false);
  out.thread = std::thread(samplerOutputThread, &p, &sampler);
  out.running.store(1);
  return 0;
}

void linkRecording(PlaybackState& p, const Recording& recording) {
  p.left = recording.left.empty() ? nullptr : recording.left.data();
  p.right = recording.right.empty() ? nullptr : recording.right.data();
  p.total = static_cast<std::uint32_t>(recording.left.size());
}

void linkScore(PlaybackState& p, const NoteStore& notes) {
  p.lineMap = notes.lineMap.empty() ? nullptr : notes.lineMap.data();
  p.slots = notes.slots.empty() ? nullptr : notes.slots.data();
  p.noteOffs = notes.noteOffs.empty() ? nullptr : notes.noteOffs.data();
  p.positions = notes.lineMap.empty() ? 0 : notes.positions;
}

void resumePlayback(PlaybackState& p) {
  if (!p.audioOpen) return;
  if (!p.thread.joinable()) {
    p.quit.store(false);
    p.thread = std::thread(playbackThread, &p);
  }
  p.finished.store(0);
  p.playState.store(PLAY_PLAYING);
}

void pausePlayback(PlaybackState& p) {
  releaseAll(p);
  releaseAll(p);
  p.playState.store(PLAY_PAUSED);
}

void stopPlayback(PlaybackState& p) {
  {
    std::unique_lock<std::mutex> lock(p.stateMutex);
    p.playState.store(PLAY_STOPPED);
    // The thread finishes the block it is in (two buffers) before it looks at
    // the play state again; a thread that ended on an error never will.
    p.stateChanged.wait_for(lock, 2s, [&p] { return p.threadIdle || p.threadResult.load() != 0; });
  }
  p.passStarted = 0;
  releaseAll(p);
}

bool isPlaying(const PlaybackState& p) {
  return p.playState.load() == PLAY_PLAYING;
}

void sendEvents(PlaybackState& p, std::int64_t a, std::int64_t b) {
  if (b - a > 1024 || !p.sampler || !p.lineMap) return;
  Sampler& s = *p.sampler;
  if (a < 0) a = 0;
  if (b > static_cast<std::int64_t>(p.positions)) b = p.positions;
  for (std::int64_t i = a; i < b; ++i) {
    const std::uint16_t off = p.noteOffs[i];
    if (off != 0 && !(off & NOTE_OFF_DELETED)) {
      const int track = off >> 8;
      if (track >= 1 && track <= 8) {
        Lock lock(p.playbackLock);
        samplerTrackNoteOff(s, track, (off & 0xFF) + KEY_TO_MIDI);
      }
    }
    const std::uint8_t line = p.lineMap[i];
    if (line & LINE_BEAT) {
      p.lastBeat.store(static_cast<std::uint32_t>(i));
      p.lastDivision.store(0);
      Lock lock(p.playbackLock);
      samplerTick(s);
    } else if (line & LINE_DIVISION) {
      p.lastDivision.store(static_cast<std::uint32_t>(i));
    }
    if (!s.notesMute) {
      const auto head = static_cast<std::uint16_t>(static_cast<std::uint32_t>(p.slots[i]) >> 16);
      const int track = head >> 8;
      if (head != 0 && track >= 1 && track <= 8) {
        Lock lock(p.playbackLock);
        samplerTrackNoteOn(s, track, (head & 0xFF) + KEY_TO_MIDI);
      }
    }
  }
}

int shutdownPlayback(PlaybackState& p, std::string* error, bool keepOutput) {
  p.quit.store(true);
  p.samplerOutput.quit.store(true);
  p.recordingStarted.set();
  p.samplerOutput.bufferStarted.set();
  if (p.thread.joinable()) p.thread.join();
  if (p.samplerOutput.thread.joinable()) p.samplerOutput.thread.join();
  p.samplerOutput.running.store(0);
  const bool finished = !p.device || !keepOutput || p.device->finish(error);
  p.device.reset();
  p.recordingVoice = nullptr;
  p.samplerOutput.voice = nullptr;
  p.audioOpen = 0;
  return finished ? 0 : -1;
}

int playbackUnderruns(const PlaybackState& p) {
  int n = 0;
  if (p.recordingVoice) n += p.recordingVoice->underruns();
  if (p.samplerOutput.voice) n += p.samplerOutput.voice->underruns();
  return n;
}

}  // namespace quavrix
