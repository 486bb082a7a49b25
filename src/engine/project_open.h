#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a recording as a project: read and analyse it, open the audio, size
// the score for it and seed the beat grid from its attacks; and opening a
// whole project (recording, .dat and its settings) as the recent list does.
//
// Everything is read into scratch state first: the open project, its paths
// and its unsaved edits are replaced only once the new recording has been
// read and analysed and every allocation has succeeded. A cancelled or
// failed open leaves the program exactly as it was.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "analysis/recording.h"

namespace quavrix {

struct Engine;

inline constexpr const char* WAV_OPEN_FAILED =
    "INIT ctrl\n Can not open .wav file\n Please check file type again.";
inline constexpr const char* RECENT_OPEN_FAILED =
    "Recent .wav & .dat\nCan not initialize with .wav file ";

// The three steps of opening, for callers that run the reading on another
// thread (the window shows progress meanwhile). openRecording runs them in turn.
//
// Before reading: the playing check, the SoundFont (unless the caller loads
// it itself, beside its progress display), and (for an empty path) the close
// check and the file dialog. Returns the path to read, or an empty string
// after the message that says why not.
std::string prepareOpen(Engine& engine, const std::string& requested, bool loadSoundFont = true);
// Reads and analyses the file into `scratch`, writing the progress lines to
// `console`. Touches no engine state, so it may run on any thread. Returns 1,
// 0 when the file cannot be read (`reason`, when given, says why; the caller
// shows WAV_OPEN_FAILED), or -1 when its buffers would not fit in the memory
// available (`reason` then holds the message to show instead). With
// `trackingBeats` the beats are tracked alongside the onsets, for a grid that
// opens with them; otherwise "Find beats" tracks them when first asked.
int readForOpen(Recording& scratch, const std::string& path, std::ostream& console,
                std::string* reason = nullptr, bool trackingBeats = false);

// The message for a recording readForOpen did not read (`read` its result):
// the memory refusal, or WAV_OPEN_FAILED; for a recording too short to
// analyse, the reason follows on a line of its own.
std::string openFailureMessage(int read, const std::string& reason);

// The message that refuses a recording whose buffers do not fit in
// `availableBytes`, saying how long a recording fits.
std::string memoryRefusal(std::uint64_t availableBytes);
// Installs what readForOpen read as the open project: audio, score, grid,
// stroboscope, settings. Returns 1, or 0 after the message of a failure
// (nothing of the open project replaced).
int finishOpen(Engine& engine, Recording& scratch, const std::string& path,
               std::string* failure = nullptr);

// Opens the recording at `path` (empty: ask for it). Returns 1 on success, 0
// after the message of the failure. Progress lines go to engine.console.
//
// `failure`, when given, receives after a failure the file at fault and why
// in one line for a console ("cannot read PATH: reason"): the recording, or
// the file an audio device writes to.
int openRecording(Engine& engine, const std::string& path, std::string* failure = nullptr);

// Asks for a recording (after the close check). Empty when nothing was chosen.
std::string chooseRecording(Engine& engine);

// Opens a recording with its project data file and the project's settings
// (`settingsPath`, or the .dat's own .xml when empty). A .dat that cannot be
// read is reported; the recording then stays open without a project file.
// A named settings file that cannot be read counts as such a .dat (see
// loadProjectFile). Returns 1 when both were opened, 0 when the recording
// could not be opened (after its messages), -1 when only the recording was;
// `failure` as for openRecording.
int openProject(Engine& engine, const std::string& wav, const std::string& dat,
                const std::string& settingsPath = std::string(), std::string* failure = nullptr);

// The recording and project of the recent-files list.
struct RecentProject {
  std::string wav;
  std::string dat;
};

// The checks of "OPEN  RECENT" before anything is opened: not while playing,
// the close check, the list and both of its files, each with its message.
// False when the command stops there.
bool checkRecentProject(Engine& engine, RecentProject& recent);

// The "OPEN  RECENT" command: checkRecentProject, then the recording and its
// project with their messages.
void openRecentProject(Engine& engine);

// "x %1.2f" of the slow-down factor 2048 / step.
std::string speedText(int step);

}  // namespace quavrix
