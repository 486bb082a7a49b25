// SPDX-License-Identifier: GPL-3.0-or-later
// Playback through the real threads on the null and WAV devices: passes,
// alternate mode, note timing against the recording, and what the event
// dispatch sends to the sampler.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

#include "analysis/wav_reader.h"
#include "base/units.h"
#include "engine/engine.h"
#include "engine/project_open.h"
#include "engine/settings_apply.h"
#include "engine/transport.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "score/note_store.h"
#include "support/scripted_prompter.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"
#include "support/wav_builder.h"
#include "synth/sampler.h"

namespace quavrix {
namespace {

using namespace std::chrono_literals;

// A silent stereo recording with a loud 0.1 s burst on the left channel only
// from `clickFrame`: an attack for the onset detector and a sharp edge to find
// in what was heard.
std::vector<std::int16_t> clickRecording(int frames, int clickFrame) {
  std::vector<std::int16_t> s(2 * static_cast<std::size_t>(frames), 0);
  for (int i = 0; i < 4410 && clickFrame + i < frames; ++i)
    s[2 * (clickFrame + i)] = (i / 50) % 2 ? 30000 : -30000;
  return s;
}

// One preset (bank 0, program 0) playing a looped 440 Hz sine at root key 69.
test::Sf2Description sineBank() {
  test::Sf2Description d;
  test::Sf2Sample sample;
  sample.name = "sine";
  sample.points = test::sinePoints(440.0, 44100.0, 44100, 0.8);
  sample.rootKey = 69;
  sample.loopStart = 0;
  sample.loopEnd = 44100;
  d.samples.push_back(sample);
  d.instruments.push_back({"sine", {{{test::gen(test::SF_SAMPLE_MODES, 1)}, 0}}});
  d.presets.push_back({"sine", 0, 0, {{{}, 0}}});
  return d;
}

class PlaybackFlow : public ::testing::Test {
 public:
  void open(int frames, int clickFrame, int midiTimingMs) {
    const std::string wav = dir.file("take.wav");
    ASSERT_TRUE(test::WavBuilder().format(2).data(clickRecording(frames, clickFrame)).write(wav));
    ASSERT_TRUE(test::writeSf2File(dir.file("sine.sf2"), sineBank()));
    EngineOptions options;
    options.programPath = dir.file("quavrix");
    options.prompter = &prompter;
    options.console = &console;
    options.audioDevice = "wav:" + dir.file("heard.wav");
    engine = createEngine(options);
    SettingValues& v = engine->settings.values;
    v.soundFontFile = dir.file("sine.sf2");
    v.trackProgram[1] = 1;
    v.tickProgram = 0;  // no ticks: only the notes sound
    v.midiTiming = midiTimingMs;
    v.level[LEVEL_MIDI] = 1.0f;
    engine->settings.loaded = 1;
    ASSERT_EQ(openRecording(*engine, wav), 1) << prompter.last();
  }

  // A beat at `line` and another `length` positions later, and a note of track 1 on `key`.
  void placeNote(std::uint32_t line, std::uint32_t length, int key) {
    NoteStore& notes = engine->notes;
    setLine(notes, line, LINE_BEAT, false);
    setLine(notes, line + length, LINE_BEAT, false);
    notes.slots[line] = makeNote(1, key, static_cast<int>(length) - 1);
    buildNoteOffs(notes);
  }

  void playRange(double fromSeconds, double toSeconds) {
    setPlayRange(*engine, static_cast<std::uint32_t>(LEAD_IN_FRAMES + fromSeconds * 44100),
                 static_cast<std::uint32_t>(LEAD_IN_FRAMES + toSeconds * 44100));
    togglePlay(*engine);
  }

  bool waitFinished(std::chrono::seconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!transportStatus(*engine).finished) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  // Closes the device (finishing the WAV) and reads what was heard.
  Recording heard() {
    std::this_thread::sleep_for(150ms);
    closeAudio(*engine);
    Recording out;
    out.path = dir.file("heard.wav");
    EXPECT_EQ(readRecordingSamples(out), WAV_OK);
    return out;
  }

  test::TempDir dir;
  test::ScriptedPrompter prompter;
  std::ostringstream console;
  std::unique_ptr<Engine> engine;
};

TEST_F(PlaybackFlow, OpeningWritesTheProgressLinesAndSizesTheScore) {
  open(44100, 20000, 0);
  EXPECT_EQ(engine->busy, 0);
  EXPECT_EQ(engine->notes.positions, static_cast<std::uint32_t>(engine->recording.capacity) / 32);
  EXPECT_NE(engine->sampler.bank, nullptr);
  EXPECT_EQ(engine->viewState.speedText, "x 1.00");
  const std::string lines = console.str();
  for (const char* line :
       {"************   Initializing   **************        \n\n",
        "reading .wav              Done.\n\n", "beat detection start      Done.\n\n",
        "open AUDIO DEVICE start   Done.\n\n", "FFT  start                Done.\n\n"})
    EXPECT_NE(lines.find(line), std::string::npos) << line;
  // The burst at frame 20000 is an attack: the grid starts with one beat there.
  const std::uint32_t attack = (LEAD_IN_FRAMES + 20000) / 32;
  int beats = 0;
  for (std::uint32_t p = 0; p < engine->notes.positions; ++p)
    if (engine->notes.lineMap[p] & LINE_BEAT) {
      ++beats;
      EXPECT_NEAR(p, attack, 2);
    }
  EXPECT_EQ(beats, 1);
}

TEST_F(PlaybackFlow, APassWithoutLoopEndsAndTheNextPlayStartsAtTheStart) {
  open(3 * 44100, 20000, 0);
  PlaybackState& p = engine->playback;
  playRange(0.5, 0.8);
  ASSERT_TRUE(waitFinished());
  EXPECT_EQ(p.playState.load(), PLAY_STOPPED);
  EXPECT_EQ(p.finished.load(), 1);
  EXPECT_EQ(p.passStarted, 0);

  // Playing again starts a new pass at the start of the range.
  togglePlay(*engine);
  EXPECT_EQ(p.playState.load(), PLAY_PLAYING);
  std::this_thread::sleep_for(20ms);
  const std::int64_t start = LEAD_IN_FRAMES + static_cast<std::int64_t>(0.5 * 44100);
  EXPECT_GE(p.position.load(), start);
  EXPECT_LE(p.position.load(), start + 4 * MIX_BLOCK_FRAMES);
  ASSERT_TRUE(waitFinished());
}

TEST_F(PlaybackFlow, PauseKeepsThePositionAndReleasesTheNotes) {
  open(3 * 44100, 20000, 0);
  placeNote(3000, 3000, 46);  // a long note from 0.19 s on
  PlaybackState& p = engine->playback;
  playRange(0.0, 2.5);
  std::this_thread::sleep_for(400ms);
  togglePlay(*engine);  // pause
  EXPECT_EQ(p.playState.load(), PLAY_PAUSED);
  std::this_thread::sleep_for(150ms);
  const std::int64_t where = p.position.load();
  EXPECT_GT(where, LEAD_IN_FRAMES);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(p.position.load(), where);
  // Every voice is in its release or gone: nothing hangs while paused.
  {
    std::lock_guard<std::mutex> lock(engine->sampler.renderLock);
    for (const SynthVoice& v : engine->sampler.bank->voices) {
      if (!v.isFree()) {
        EXPECT_TRUE(v.releasing());
      }
    }
  }
  togglePlay(*engine);  // resume where it was
  EXPECT_EQ(p.playState.load(), PLAY_PLAYING);
  std::this_thread::sleep_for(100ms);
  EXPECT_GT(p.position.load(), where);
  // Stopping returns once the thread has left the score alone.
  stopPlaying(*engine);
  EXPECT_EQ(p.playState.load(), PLAY_STOPPED);
  EXPECT_EQ(engine->viewState.playing, 0);
}

TEST_F(PlaybackFlow, RewindsAndQuickPausePlayWhilePlayingLandAtTheRangeStart) {
  open(3 * 44100, 20000, 0);
  placeNote(3000, 3000, 46);
  PlaybackState& p = engine->playback;
  playRange(0.5, 2.5);
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(30ms);
    rewindPlayback(*engine);
    togglePlay(*engine);  // pause, and at once play again
    togglePlay(*engine);
  }
  std::this_thread::sleep_for(400ms);  // blocks of 46 ms go by in real time
  EXPECT_EQ(p.playState.load(), PLAY_PLAYING);
  const std::int64_t start = LEAD_IN_FRAMES + static_cast<std::int64_t>(0.5 * 44100);
  ASSERT_GT(p.position.load(), start + 4 * MIX_BLOCK_FRAMES);
  // The thread takes the rewind at its next block, at most two blocks on.
  rewindPlayback(*engine);
  std::this_thread::sleep_for(150ms);
  EXPECT_GE(p.position.load(), start);
  EXPECT_LE(p.position.load(), start + 4 * MIX_BLOCK_FRAMES);
  stopPlaying(*engine);
}

TEST_F(PlaybackFlow, ReopeningWhileTheThreadsRunKeepsTheDeviceAndPlaysTheNewRecording) {
  open(3 * 44100, 20000, 0);
  placeNote(3000, 3000, 46);
  playRange(0.2, 2.5);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(openRecording(*engine, dir.file("take.wav")), 0);  // refused while playing
  EXPECT_EQ(prompter.last(), " Please stop playing. ");
  stopPlaying(*engine);

  const AudioDevice* device = engine->playback.device.get();
  const std::string shorter = dir.file("short.wav");
  ASSERT_TRUE(test::WavBuilder().format(2).data(clickRecording(44100, 5000)).write(shorter));
  ASSERT_EQ(openRecording(*engine, shorter), 1);
  EXPECT_EQ(engine->playback.device.get(), device);  // the audio output is opened once per run
  EXPECT_EQ(engine->playback.total, engine->recording.left.size());
  playRange(0.1, 0.6);
  ASSERT_TRUE(waitFinished());
}

TEST_F(PlaybackFlow, AlternateSwapsRecordingAndNotesAtEachPassEnd) {
  open(3 * 44100, 20000, 0);
  PlaybackState& p = engine->playback;
  setAlternate(*engine, true);
  setLoop(*engine, true);
  playRange(0.5, 0.7);
  std::vector<std::pair<int, int>> seen;  // (WAV on, notes mute) after each change
  int lastWav = p.wavOn.load();
  const auto until = std::chrono::steady_clock::now() + 8s;
  while (seen.size() < 3 && std::chrono::steady_clock::now() < until) {
    const int wav = p.wavOn.load();
    if (wav != lastWav) {
      std::this_thread::sleep_for(1ms);
      seen.emplace_back(wav, engine->sampler.notesMute);
      lastWav = wav;
    }
    std::this_thread::sleep_for(1ms);
  }
  setLoop(*engine, false);
  setAlternate(*engine, false);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_pair(0, 0));  // recording silent, notes heard
  EXPECT_EQ(seen[1], std::make_pair(1, 1));  // recording heard, notes muted
  EXPECT_EQ(seen[2], std::make_pair(0, 0));
  EXPECT_EQ(p.playState.load(), PLAY_PLAYING);  // looping: no pass end stopped it
  ASSERT_TRUE(waitFinished());
}

// The click of the timing passes: 1.0 s in, on a position boundary (buffer
// index 52288 = position 1634).
constexpr int TIMED_CLICK = 44096;
constexpr float CLICK_LEVEL = 30000.0f / 32768.0f;

struct TimedPass {
  const char* name;
  double from;  // seconds
  int step;
  bool tick;  // the beat line's tick rather than a note sounds
  int midiTimingMs;
};

// Frames from the click to the note (or tick) on its line as heard through
// the WAV device. The click is on the left channel only and the sampler's
// sound in the middle, so left - right is the recording and right the notes.
// The click counts as heard where the recording first carries it at half its
// level or more: at the slower speeds the mixer's cross-fades repeat it at
// lower levels around that. A pass in which a voice ran dry (a machine too
// busy to feed the device in time) shifted one sound against the other, and
// is played again.
int heardDelay(PlaybackFlow& f, const TimedPass& pass) {
  for (int attempt = 0;; ++attempt) {
    f.engine.reset();
    f.open(3 * 44100, TIMED_CLICK, pass.midiTimingMs);
    SettingValues& v = f.engine->settings.values;
    v.level[LEVEL_WAV] = 1.0f;
    v.level[LEVEL_TICK] = 1.0f;
    v.tickProgram = pass.tick ? 1 : 0;
    v.tickNote = 69;
    applySettings(*f.engine, APPLY_ALL);
    const std::uint32_t line = (LEAD_IN_FRAMES + TIMED_CLICK) / 32;
    if (pass.tick)
      setLine(f.engine->notes, line, LINE_BEAT, false);
    else
      f.placeNote(line, 600, 46);  // key 46 = MIDI 69, 440 Hz
    setSpeed(*f.engine, pass.step);
    f.playRange(pass.from, pass.from + (pass.step == STEP_NORMAL ? 0.4 : 0.25));
    EXPECT_TRUE(f.waitFinished(20s));
    const int underruns = playbackUnderruns(f.engine->playback);
    const Recording out = f.heard();
    if (underruns > 0 && attempt < 3) continue;
    const float wav = f.engine->playback.wavLevel.load();
    const auto sample = [](std::int16_t s) { return s / 32768.0f; };
    long click = -1, note = -1;
    for (std::size_t i = LEAD_IN_FRAMES; i < LEAD_IN_FRAMES + out.framesRead; ++i) {
      const float l = sample(out.left[i]), r = sample(out.right[i]);
      if (click < 0 && std::fabs(l - r) >= 0.5f * CLICK_LEVEL * wav) click = static_cast<long>(i);
      // Well above the near-silent note that readies the tick at the pass start.
      if (note < 0 && std::fabs(r) > 0.1f) note = static_cast<long>(i);
    }
    EXPECT_GE(click, 0) << pass.name;
    EXPECT_GE(note, 0) << pass.name;
    return static_cast<int>(note - click);
  }
}

TEST_F(PlaybackFlow, NotesAndTicksSoundWithTheClickOnTheirLine) {
  // Range starts a third of a sampler buffer apart, at x1 and x4, one at x2;
  // the tick; and a MIDI timing that moves the notes 40 ms earlier.
  const double third = AUDIO_BUFFER_FRAMES / 3.0 / 44100.0;
  const TimedPass passes[] = {
      {"x1", 0.75, 2048, false, 0},
      {"x1, a third later", 0.75 + third, 2048, false, 0},
      {"x1, two thirds later", 0.75 + 2 * third, 2048, false, 0},
      {"x4", 0.9, 512, false, 0},
      {"x4, a third later", 0.9 + third, 512, false, 0},
      {"x4, two thirds later", 0.9 + 2 * third, 512, false, 0},
      {"x2, a third later", 0.9 + third, 1024, false, 0},
      {"tick at x1", 0.75 + third, 2048, true, 0},
      {"tick at x4", 0.9 + 2 * third, 512, true, 0},
      {"x1, 40 ms early", 0.75, 2048, false, 40},
  };
  constexpr int TEN_MS = 441;
  for (const TimedPass& pass : passes) {
    const int delay = heardDelay(*this, pass);
    std::cout << "[ measured ] " << pass.name << ": heard " << delay << " frames after the click"
              << std::endl;
    EXPECT_NEAR(delay, -pass.midiTimingMs * 44, TEN_MS) << pass.name;
  }
}

TEST_F(PlaybackFlow, TimingAndIntervalSettingsReachThePlayer) {
  open(44100, 20000, 20);
  EXPECT_EQ(engine->playback.lag.load(), 880);
  engine->settings.values.midiTiming = 100;  // not applied from 100 on
  applySettings(*engine, APPLY_SOUND);
  EXPECT_EQ(engine->playback.lag.load(), 880);

  // The MIDI interval sets the note timer between the slices of a half-block.
  engine->settings.values.midiInterval = 7;
  engine->settings.applyFlags.intervalChanged = 1;
  applyPending(*engine);
  EXPECT_EQ(engine->playback.noteTimerMs.load(), 7);
  engine->settings.values.midiInterval = 13;  // above 12 counts as 0
  engine->settings.applyFlags.intervalChanged = 1;
  applyPending(*engine);
  EXPECT_EQ(engine->playback.noteTimerMs.load(), 0);
}

// Dispatch without the threads: what sendEvents hands the sampler.
class EventDispatch : public PlaybackFlow {
 protected:
  int held() {
    std::lock_guard<std::mutex> lock(engine->sampler.renderLock);
    int n = 0;
    for (const SynthVoice& v : engine->sampler.bank->voices) n += !v.isFree() && !v.releasing();
    return n;
  }
};

TEST_F(EventDispatch, NoteOnsNoteOffsAndDeletedNotes) {
  open(44100, 20000, 0);
  NoteStore& notes = engine->notes;
  PlaybackState& p = engine->playback;
  placeNote(400, 100, 46);
  sendEvents(p, 390, 410);
  EXPECT_EQ(held(), 1);
  // The note-off of a deleted note sends nothing.
  notes.noteOffs[499] |= NOTE_OFF_DELETED;
  sendEvents(p, 495, 505);
  EXPECT_EQ(held(), 1);
  notes.noteOffs[499] &= static_cast<std::uint16_t>(~NOTE_OFF_DELETED);
  sendEvents(p, 495, 505);
  EXPECT_EQ(held(), 0);
  // A deleted note's word is not played either.
  notes.slots[400] =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(notes.slots[400]) | NOTE_DELETED);
  sendEvents(p, 390, 410);
  EXPECT_EQ(held(), 0);
  // Ranges longer than 1024 positions send nothing.
  notes.slots[400] = makeNote(1, 46, 99);
  sendEvents(p, 0, 1100);
  EXPECT_EQ(held(), 0);
}

TEST_F(EventDispatch, ATrackWithProgramZeroIsSilent) {
  open(44100, 20000, 0);
  placeNote(400, 100, 46);
  engine->settings.values.trackProgram[1] = 0;
  applySettings(*engine, APPLY_PROGRAMS);
  sendEvents(engine->playback, 390, 410);
  EXPECT_EQ(held(), 0);
  engine->settings.values.trackProgram[1] = 1;
  applySettings(*engine, APPLY_PROGRAMS);
  sendEvents(engine->playback, 390, 410);
  EXPECT_EQ(held(), 1);
}

TEST_F(EventDispatch, BeatLinesTickUnlessMuted) {
  open(44100, 20000, 0);
  engine->settings.values.tickProgram = 1;
  engine->settings.values.tickNote = 69;
  applySettings(*engine, APPLY_ALL);
  setLine(engine->notes, 700, LINE_BEAT, false);
  setLine(engine->notes, 720, LINE_DIVISION, false);
  sendEvents(engine->playback, 690, 730);
  EXPECT_EQ(held(), 1);
  EXPECT_EQ(engine->playback.lastBeat.load(), 700u);
  EXPECT_EQ(engine->playback.lastDivision.load(), 720u);
  engine->sampler.tickMute = 1;
  samplerAllNotesOff(engine->sampler);
  sendEvents(engine->playback, 690, 730);
  EXPECT_EQ(held(), 0);
}

TEST(PlaybackOpen, AnAudioDeviceThatCannotOpenStopsTheOpening) {
  test::TempDir dir;
  const std::string wav = dir.file("take.wav");
  ASSERT_TRUE(test::WavBuilder().format(2).data(clickRecording(20000, 100)).write(wav));
  test::ScriptedPrompter prompter;
  std::ostringstream console;
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.prompter = &prompter;
  options.console = &console;
  options.audioDevice = "no-such-device";
  auto engine = createEngine(options);
  EXPECT_EQ(openRecording(*engine, wav), 0);
  EXPECT_EQ(prompter.last(),
            "INIT ctrl\n Can not open audio API\n Do not run under EXCLUSIVE mode\n   Check the "
            "mode of AUDIO DEVICE !");
  EXPECT_EQ(engine->busy, 1);

  prompter.clear();
  EXPECT_EQ(openRecording(*engine, dir.file("missing.wav")), 0);
  EXPECT_EQ(prompter.last(), WAV_OPEN_FAILED);
}

}  // namespace
}  // namespace quavrix
