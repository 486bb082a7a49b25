#pragma once
// The engine's side of sound: wiring the sampler and the player to the
// settings and the score, the audio part of opening a recording, the play
// button and the key audition.

namespace quavrix {

struct Engine;

// Installs the settings' sound target (the sampler with the player's lock,
// lag and note timer) and the score's playback control.
void installSound(Engine& engine);

// Opens the audio device (once per run) and starts the sampler output, with
// the messages of a failure. Returns 1 on success, 0 when the opening must stop.
int openRecordingAudio(Engine& engine);

// Points the player at the current recording and score arrays.
void relinkPlayback(Engine& engine);

// The play button: starts playback (compacting the notes and writing both
// autosaves first) or pauses it.
void togglePlay(Engine& engine);

// Sounds the key under the pointer on the current track while `pressed`;
// releases it otherwise. `key` is a key number 1..84.
void auditionKey(Engine& engine, bool pressed, int key, int track);

}  // namespace quavrix
