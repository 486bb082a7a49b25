#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Operations on the PlaybackState: the audio set-up, the two worker threads and
// the play pass. The commands that also touch the score and the settings
// (togglePlay, auditionKey) are built on these in the engine.

#include <cstdint>
#include <string>
#include <string_view>

#include "playback/playback_state.h"

namespace quavrix {

struct Recording;
struct NoteStore;

// Opens the named audio device (once per run), builds the mix state and
// creates the recording voice. 0, or -1 with a reason in `error`.
int openAudio(PlaybackState& player, std::string_view deviceName, std::string* error);

// Creates the sampler voice and starts the sampler output thread (once).
// 0 on success, -1 without an open device, 65535 when the voice cannot be made.
int startSamplerOutput(PlaybackState& player, Sampler& sampler);

// Points the player at the recording's buffers and the score's arrays. Called
// whenever either is (re)allocated, while playback is stopped.
void linkRecording(PlaybackState& player, const Recording& recording);
void linkScore(PlaybackState& player, const NoteStore& notes);

// Play state 1: the playback thread (started on first use) plays passes.
void resumePlayback(PlaybackState& player);
// Play state 2: the position stays; every sounding note is released.
void pausePlayback(PlaybackState& player);
// Play state 0 with the next play starting at start; returns once the
// playback thread no longer reads the score, so the caller may change it.
void stopPlayback(PlaybackState& player);
// Returns once the playback thread, not playing, has left the block it was
// in (at most about two buffers after a pause), so that the caller may
// change the score it reads.
void waitUntilIdle(PlaybackState& player);
// The next block starts the pass again at the range start.
void rewindPass(PlaybackState& player);
bool isPlaying(const PlaybackState& player);

// Sends the note-off, tick and note-on events of positions a .. b - 1 to the
// sampler (nothing when the range is longer than 1024 positions).
void sendEvents(PlaybackState& player, std::int64_t a, std::int64_t b);

// Ends both threads, finishes the device and closes it. Returns 0, or -1
// with the device's reason in `error` (when given) when output was lost on
// the way. With keepOutput false the device's output is discarded instead
// (a WAV device leaves no file). Safe to call more than once.
int shutdownPlayback(PlaybackState& player, std::string* error = nullptr, bool keepOutput = true);

// Underruns of both voices so far.
int playbackUnderruns(const PlaybackState& player);

}  // namespace quavrix
