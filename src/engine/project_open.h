#pragma once
// Opening a recording as a project: read and analyse it, open the audio, size
// the score for it and seed the beat grid from its attacks.

#include <string>

namespace quavrix {

struct Engine;

inline constexpr const char* WAV_OPEN_FAILED =
    "INIT ctrl\n Can not open .wav file\n Please check file type again.";

// Opens the recording at `path` (empty: ask for it). Returns 1 on success, 0
// after the message of the failure. Progress lines go to engine.console.
int openRecording(Engine& engine, const std::string& path);

// Asks for a recording (after the close check). Empty when nothing was chosen.
std::string chooseRecording(Engine& engine);

// "x %1.2f" of the slow-down factor 2048 / step.
std::string speedText(int step);

}  // namespace quavrix
