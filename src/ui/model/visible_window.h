#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The visible window: which part of the recording the roll and the zoom
// column show, and every operation that moves, resizes, snaps and restores
// it. Each change ends in applyWindow, which hands the range to playback,
// formats the time texts, computes the zoom envelope and rebuilds the cells.

namespace quavrix {

struct Engine;

// For a newly opened recording: the whole recording, and the overview envelope.
void resetWindow(Engine& engine);
// Shows samples a .. b, kept inside the recording and at least 4096 long, and commits it.
void setWindow(Engine& engine, int a, int b);
void applyWindow(Engine& engine);

// Overview drags: 0 a new window from the overview's top and bottom, 1 the
// top edge, 2 the bottom edge, 3 the whole window, each by the drag delta.
enum OverviewMode { OVERVIEW_NEW = 0, OVERVIEW_TOP = 1, OVERVIEW_BOTTOM = 2, OVERVIEW_WHOLE = 3 };
void overviewMove(Engine& engine, int mode);
// Zoom-column drags and the wheel: 1 the start, 2 the end, 3 both, by the zoom delta.
enum ZoomMode { ZOOM_UPPER = 1, ZOOM_LOWER = 2, ZOOM_WHOLE = 3 };
void zoomMove(Engine& engine, int mode);

// Starts the window one position before its first beat line and ends it on its last.
void snapToBeats(Engine& engine);
// The same as a move of its own (the margin's double click): "back" returns
// to the window before it.
void snapToBeatsForBack(Engine& engine);
// Swaps the window with the one before the last change.
void backWindow(Engine& engine);
// The wheel with a scroll step of 1, 2 or 4 beats: direction -1 earlier, +1 later.
void stepByBeats(Engine& engine, int direction);

// The y of a position in the time band of the roll and the zoom column.
float positionY(const Engine& engine, double position);

}  // namespace quavrix
