#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The beat grid from the music: "Find beats" lays the tracked beats and bar
// lines over the grid, and opening a recording can seed the grid with them.

#include <cstdint>
#include <vector>

namespace quavrix {

struct BeatTrack;
struct Engine;
struct NoteStore;

// A tracked beat where the grid holds it.
struct TrackedLine {
  std::uint32_t position = 0;
  bool bar = false;
};

// The tracked beats as grid positions below `positions` (the recording's
// first frame lies 8192 frames into the buffers, that is position 256).
std::vector<TrackedLine> trackedLines(const BeatTrack& track, std::uint32_t positions);

// The beats of the open recording, tracked now if opening did not.
const BeatTrack& recordingBeats(Engine& engine);

// "Find beats": replaces the unlocked beat and bar lines of the visible window
// (of the whole recording when the window shows all of it) with the tracked
// ones. Locked lines stay, and a tracked beat next to a locked one is left
// out; a new beat clears a division line at its position, since no line is
// both; division lines elsewhere stay, as the beat editor leaves them. With
// no START or END marker set, START goes on the first bar line and END on the
// last. One undo group. Returns the number of beat lines laid, or -1 when no
// project is open or the person declined.
int findBeats(Engine& engine);

// Seeds a fresh grid as opening a recording and "New" do: one beat per onset
// run, or the tracked beats when the setting "Grid on opening" says so.
void seedGrid(Engine& engine);

// Resets the grid to the tracked beats and bar lines, START on the first bar
// line and END on the last; direct writes, not recorded.
void seedTrackedBeats(NoteStore& notes, const BeatTrack& track);

}  // namespace quavrix
