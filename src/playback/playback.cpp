// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include <algorithm>
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
constexpr int HALF_BLOCK = MIX_BLOCK_FRAMES / 2;

// Waits for a buffer-start event, giving up when the player is being shut down.
bool waitForEvent(AutoResetEvent& event, const std::atomic<bool>& quit) {
  while (!quit.load()) {
    if (event.waitFor(50ms)) return true;
  }
  return false;
}

// Releases every note now and drops the ones placed for later: the user
// paused or stopped, so nothing placed for the rest of the pass may sound.
void releaseAll(PlaybackState& p) {
  if (!p.sampler) return;
  Lock lock(p.playbackLock);
  samplerClearSchedule(*p.sampler);
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

// Where a block's events sound. Through most of a block the mixer plays two
// stretches of the recording at once, fading from one to the other; the one
// at the larger weight is heard: the continuation up to the block's middle,
// the new candidate from there on, which the next block continues up to its
// own middle. A block thus brings in the recording from its candidate start
// plus 1024 up to plus 3072, heard from its middle frame to the next block's;
// at normal speed that is simply the recording 2048 frames on from the
// position. The first block of a pass fades its candidate in from frame 0; the
// last plays the continuation to the end of the block.
struct HeardSpan {
  std::int64_t base = 0;  // recording index heard at the block's frame 0 (or would be)
  std::int64_t end = 0;   // recording heard up to here, exclusive
  int firstFrame = 0;     // events of earlier recording come in at this frame
};

HeardSpan heardSpan(const PlaybackState& p, std::int64_t position, std::int64_t next) {
  if (!p.passStarted)
    return {next, next + (p.lastBlock ? MIX_BLOCK_FRAMES : MIX_BLOCK_FRAMES + HALF_BLOCK), 0};
  if (p.lastBlock) return {position + MIX_BLOCK_FRAMES, position + 2 * MIX_BLOCK_FRAMES, 0};
  return {next, next + MIX_BLOCK_FRAMES + HALF_BLOCK, HALF_BLOCK};
}

// The note calls of positions a .. b - 1, as `emit(position, preset, key,
// velocity)` with velocity 0 for a note-off: note-offs, then the tick of a
// beat line, then note-ons, position by position. Also keeps the last beat
// and division. Nothing when the range is longer than 1024 positions.
template <class Emit>
void walkEvents(PlaybackState& p, std::int64_t a, std::int64_t b, Emit emit) {
  if (b - a > 1024 || !p.sampler || !p.lineMap) return;
  const Sampler& s = *p.sampler;
  if (a < 0) a = 0;
  if (b > static_cast<std::int64_t>(p.positions)) b = p.positions;
  for (std::int64_t i = a; i < b; ++i) {
    const std::uint16_t off = p.noteOffs[i];
    if (off != 0 && !(off & NOTE_OFF_DELETED)) {
      const int track = off >> 8;
      if (track >= 1 && track <= 8)
        emit(i, s.trackPrograms[track] - 1, (off & 0xFF) + KEY_TO_MIDI, 0.0f);
    }
    const std::uint8_t line = p.lineMap[i];
    if (line & LINE_BEAT) {
      p.lastBeat.store(static_cast<std::uint32_t>(i));
      p.lastDivision.store(0);
      if (!s.tickMute) {
        emit(i, s.tickProgram - 1, s.tickNote, 0.0f);
        emit(i, s.tickProgram - 1, s.tickNote, s.tickVelocity);
      }
    } else if (line & LINE_DIVISION) {
      p.lastDivision.store(static_cast<std::uint32_t>(i));
    }
    if (!s.notesMute) {
      const auto head = static_cast<std::uint16_t>(static_cast<std::uint32_t>(p.slots[i]) >> 16);
      const int track = head >> 8;
      if (head != 0 && track >= 1 && track <= 7 && !s.trackMutes[track])
        emit(i, s.trackPrograms[track] - 1, (head & 0xFF) + KEY_TO_MIDI, s.trackVelocities[track]);
    }
  }
}

void noteNow(PlaybackState& p, int preset, int key, float velocity) {
  Lock lock(p.playbackLock);
  samplerNoteOn(*p.sampler, preset, key, velocity);
}

void schedule(PlaybackState& p, const ScheduledNote& note) {
  bool placed;
  {
    Lock lock(p.playbackLock);
    placed = samplerSchedule(*p.sampler, note);
  }
  // A full schedule has no room for this one: better now than never.
  if (!placed && note.preset != ALL_NOTES_OFF) noteNow(p, note.preset, note.key, note.velocity);
}

// Places the events that the block just mixed brings in, each at the device
// frame where its recording is heard. `blockFrame` is the device frame of the
// block's first frame.
void scheduleBlock(PlaybackState& p, std::int64_t blockFrame, std::int64_t position,
                   std::int64_t next) {
  if (!p.sampler) return;
  const HeardSpan span = heardSpan(p, position, next);
  const std::int64_t lag = p.lag.load();
  if (!p.passStarted) {
    p.nextEvent = (position + lag) / 32;
    schedule(p, {blockFrame, ALL_NOTES_OFF, 0, 0.0f});
  }
  // Positions whose recording (32 i - lag) is heard before span.end.
  const std::int64_t last = (span.end + lag + 31) / 32;
  if (last <= p.nextEvent) return;
  walkEvents(p, p.nextEvent, last, [&](std::int64_t i, int preset, int key, float velocity) {
    const std::int64_t frame = std::max<std::int64_t>(span.firstFrame, 32 * i - lag - span.base);
    schedule(p, {blockFrame + frame, preset, key, velocity});
  });
  p.nextEvent = last;
}

// Device frame at which stream frame `streamFrame` of the recording voice plays.
std::int64_t recordingDeviceFrame(const PlaybackState& p, std::uint64_t streamFrame) {
  return p.recordingVoice->streamOrigin() + static_cast<std::int64_t>(streamFrame);
}

// Mixes and submits one block and places its events. The recording voice is
// kept two buffers ahead of the one playing, so that the events of a block
// are placed at least 2048 frames before they sound: the sampler renders up
// to two buffers ahead of what is heard. A voice that ran dry (a new pass
// after a stop, a resume after a pause) gets a buffer of silence first, and
// its clock is read once that has started.
int playBlock(PlaybackState& p) {
  const bool first = !p.passStarted;
  if (first && p.sampler) {
    // A near-silent note readies the tick's sample for the first beat.
    Lock lock(p.playbackLock);
    samplerNoteOn(*p.sampler, p.sampler->tickProgram - 1, p.sampler->tickNote, PRIMING_VELOCITY);
  }
  const std::int64_t position = p.position.load();
  float* block = switchHalf(p);
  p.correction = mixInto(p, block);
  const std::int64_t next = position + p.mix.step + p.correction;

  const bool dry = p.recordingVoice->queued() == 0;
  if (dry) {
    p.recordingStarted.reset();
    p.recordingVoice->submit(p.silence.data(), AUDIO_BUFFER_FRAMES);
  }
  const std::uint64_t streamFrame = p.recordingVoice->framesSubmitted();
  submitHalf(p, block, 0);
  p.recordingVoice->start();
  if (!dry) scheduleBlock(p, recordingDeviceFrame(p, streamFrame), position, next);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  if (dry) scheduleBlock(p, recordingDeviceFrame(p, streamFrame), position, next);
  submitHalf(p, block, 1);
  if (!waitForEvent(p.recordingStarted, p.quit)) return -1;
  p.passStarted = 1;
  p.passEnd = recordingDeviceFrame(p, streamFrame) + MIX_BLOCK_FRAMES;
  return 0;
}

// The pass ended: the notes are released where its sound ends.
void endPass(PlaybackState& p) {
  if (p.alternate.load()) {
    const int wav = p.wavOn.load() ? 0 : 1;
    p.wavOn.store(wav);
    if (p.sampler) p.sampler->notesMute = static_cast<std::uint8_t>(wav);
  }
  p.lastBlock = 0;
  // Notes whose note-off lies beyond the pass would otherwise hang.
  if (p.sampler) schedule(p, {p.passEnd, ALL_NOTES_OFF, 0, 0.0f});
  // Before the stores below: whoever sees the pass finished sees it reset.
  p.passStarted = 0;
  if (!p.loop.load()) {
    p.playState.store(PLAY_STOPPED);
    p.finished.store(1);
  }
}

void playbackThread(PlaybackState* player) {
  PlaybackState& p = *player;
  bool wasPlaying = false;
  bool endedItself = false;  // the last pass ended on its own, its notes released at its end
  while (!p.quit.load()) {
    {
      std::unique_lock<std::mutex> lock(p.stateMutex);
      if (p.playState.load() != PLAY_PLAYING) {
        p.threadIdle = true;
        lock.unlock();
        p.stateChanged.notify_all();
        if (wasPlaying && !endedItself) releaseAll(p);  // notes placed after a pause must not sound
        wasPlaying = false;
        std::this_thread::sleep_for(10ms);
        continue;
      }
      p.threadIdle = false;
    }
    wasPlaying = true;
    endedItself = false;
    const int step = p.step.load();
    if (step != p.previousStep) {
      p.mix.step = step;
      p.previousStep = step;
    }
    const std::int64_t lag = p.lag.load();
    const std::int64_t start = static_cast<std::int64_t>(p.start.load()) - lag;
    const std::int64_t end = p.end.load() ? p.end.load() : p.total;
    if (p.rewind.exchange(0)) p.passStarted = 0;
    if (!p.passStarted) {
      p.position.store(start);
      if (static_cast<std::int64_t>(p.total) < start + MIN_DATA_AHEAD) {
        std::this_thread::sleep_for(IDLE_SLEEP);  // not enough data to play
        continue;
      }
      if (end - lag - 4096 < start) p.lastBlock = 1;
      if (playBlock(p) < 0) {
        p.threadResult.store(-2);
        return;
      }
    }
    const std::int64_t pos = p.position.load() + p.correction + p.mix.step;
    p.position.store(pos);
    if (static_cast<std::int64_t>(p.total) >= pos + MIN_DATA_AHEAD && !p.lastBlock &&
        pos >= start) {
      if (end - lag - 4096 < pos) p.lastBlock = 1;
      if (playBlock(p) < 0) {
        p.threadResult.store(-2);
        return;
      }
      continue;
    }
    endPass(p);
    endedItself = p.playState.load() != PLAY_PLAYING;
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
    // The device frame this buffer will play at, by the voice's own clock.
    const std::int64_t origin = out.voice->streamOrigin();
    const auto streamFrame = static_cast<std::int64_t>(out.voice->framesSubmitted());
    if (origin == NO_STREAM_ORIGIN)
      samplerRender(*sampler, slot, AUDIO_BUFFER_FRAMES);
    else
      samplerRenderFrom(*sampler, slot, AUDIO_BUFFER_FRAMES, origin + streamFrame);
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

void waitUntilIdle(PlaybackState& p) {
  if (!p.thread.joinable()) return;
  std::unique_lock<std::mutex> lock(p.stateMutex);
  p.stateChanged.wait_for(lock, 2s, [&p] { return p.threadIdle || p.threadResult.load() != 0; });
}

void rewindPass(PlaybackState& p) {
  p.rewind.store(1);
}

bool isPlaying(const PlaybackState& p) {
  return p.playState.load() == PLAY_PLAYING;
}

void sendEvents(PlaybackState& p, std::int64_t a, std::int64_t b) {
  walkEvents(p, a, b, [&p](std::int64_t, int preset, int key, float velocity) {
    noteNow(p, preset, key, velocity);
  });
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
