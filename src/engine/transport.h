#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Transport commands: the engine's side of playing the recording and the
// notes. The window, the command-line tool and the tests drive playback only
// through these; nothing above the engine writes a player or sampler field.

#include <cstdint>
#include <string>

#include "playback/recording_mixer.h"

namespace quavrix {

struct Engine;
struct Recording;

// ---- set-up, while a recording is opened --------------------------------------

// Opens the audio device (once per run) and starts the sampler output, with
// the messages of a failure. Returns 1 on success, 0 when the opening must
// stop; `failure`, when given, then names the device and the reason.
int openRecordingAudio(Engine& engine, std::string* failure = nullptr);

// Checks that the sound card the engine is set to can be opened; when it
// cannot, the engine plays silently on the null device from then on.
// Returns false (with the reason) when it switched. Other devices are taken
// as they are.
bool probeAudioDevice(Engine& engine, std::string* reason);

// Points the player at the current recording and score arrays.
void relinkPlayback(Engine& engine);

// ---- controls -------------------------------------------------------------------

// The range one pass plays, in buffer indices (frame f of the file at
// LEAD_IN_FRAMES + f); end 0 plays to the end of the recording.
void setPlayRange(Engine& engine, std::uint32_t start, std::uint32_t end);
// Recording frames per 2048 output frames, kept within 256..2048; also
// formats the speed text.
void setSpeed(Engine& engine, int step);
int playbackSpeed(const Engine& engine);
void setLoop(Engine& engine, bool on);
bool looping(const Engine& engine);
// Repeat-after: recording and notes take turns, one pass each.
void setAlternate(Engine& engine, bool on);
bool alternating(const Engine& engine);

// The recording's channel toggles (the top bar's L, Mono, R and mirrored R).
ChannelSwitches channelSwitches(const Engine& engine);
void toggleLeftChannel(Engine& engine);
void toggleMonoMix(Engine& engine);
// The right channel and the difference mix exclude each other: each toggle
// leaves the other off.
void toggleRightChannel(Engine& engine);
void toggleDifferenceMix(Engine& engine);

// The WAV button: whether the recording is heard. Switching it off silences
// the sounding voices.
void setRecordingOutput(Engine& engine, bool on);
// The MIDI button: whether the notes of the tracks are heard.
void setNotesOutput(Engine& engine, bool on);
bool notesOutput(const Engine& engine);
// Track 0 is the tick track, 1..7 the instrument tracks.
void setTrackOutput(Engine& engine, int track, bool on);
bool trackOutput(const Engine& engine, int track);
// Output levels 0..1 of the recording and the sampler, through the level
// curve; kept in the settings too.
void setRecordingLevel(Engine& engine, float level);
void setNotesLevel(Engine& engine, float level);
// The velocity level 0..1 of a track (0 the tick track), kept in the settings.
void setTrackLevel(Engine& engine, int track, float level);
// Tuning in cents, -100..100: the sampler's pitch and the view's tuning text.
void setTuning(Engine& engine, int cents);

// The spectrum behind the guessing curve: of the two channels as recorded,
// or (difference) of the mixed signal. Playback pauses around the analysis.
void switchSpectrum(Engine& engine, bool difference);

// switchSpectrum in three steps, for a window that runs the analysis on
// another thread while it shows progress.
struct SpectrumSwitch {
  bool run = false;  // there is a recording to analyse
  bool difference = false;
  bool wasPlaying = false;
};
// Stops playback for the analysis.
SpectrumSwitch beginSpectrumSwitch(Engine& engine, bool difference);
// The analysis: writes only the recording's spectrum rows, so it may run on
// another thread while nothing reads them (the engine busy).
void computeSpectrumSwitch(Recording& recording, const SpectrumSwitch& s);
// The spectrum shown from now on; playback goes on if it ran.
void finishSpectrumSwitch(Engine& engine, const SpectrumSwitch& s);

// ---- play ------------------------------------------------------------------------

// The play button: starts playback (compacting the notes and writing both
// autosaves first) or pauses it.
void togglePlay(Engine& engine);
// Stops playback (the next play starts at the range start) and silences the notes.
void stopPlaying(Engine& engine);
// The rewind button: the next block starts again at the range start.
void rewindPlayback(Engine& engine);
// Releases every sounding note; with `resetLists` also ends every voice at once.
void panic(Engine& engine, bool resetLists);

// Sounds the key under the pointer on the track while `pressed`; releases it
// otherwise. `key` is a key number 1..84.
void auditionKey(Engine& engine, bool pressed, int key, int track);

// Ends the playback threads and closes the audio device (a WAV device
// finishes its file). The next opening opens it again. Returns 0, or -1 with
// the device's reason in `failure` (when given) when its output was lost,
// as when a WAV device's writes failed.
int closeAudio(Engine& engine, std::string* failure = nullptr);
// Closes the audio device without completing its output, for a run that
// failed before it played: a WAV device leaves no file.
void discardAudio(Engine& engine);

// ---- status -------------------------------------------------------------------------

struct TransportStatus {
  bool playing = false;       // the play button is down
  std::int64_t position = 0;  // buffer index playback has reached
  bool finished = false;      // a pass ended without loop since the last takePassEnd
  std::uint32_t lastBeat = 0;
  std::uint32_t lastDivision = 0;
  int underruns = 0;
  bool failed = false;          // the playback thread ended on an audio error
  int queuedBuffers = 0;        // recording buffers waiting to be heard
  unsigned samplerBuffers = 0;  // sampler buffers handed to the device so far
};

// A snapshot for the view's timer; reads the player's status fields only.
TransportStatus transportStatus(const Engine& engine);

// The timer's end-of-data step: when a pass ended without loop, clears the
// report, lifts the play button and silences the voices. Returns whether it did.
bool takePassEnd(Engine& engine);

}  // namespace quavrix
