#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the view does after the engine's project commands: a newly opened
// recording gets a fresh window and key axis, a loaded project fresh cells.

namespace quavrix {

struct View;

// After a recording was opened: the whole recording in the window, the key
// axis of the guessing curve, the level markers, everything redrawn.
void viewAfterOpen(View& view);

// The key axis of the guessing curve for the visible key rows.
void rebuildSpectrumMap(View& view);

// The section slots' and banks' record marks from the ranges the settings hold.
void syncSections(View& view);

// After the settings were replaced (a project loaded, the settings dialog):
// the level markers and section marks show the new values; everything redrawn.
void viewAfterSettings(View& view);

// Every region redrawn on the next pass.
void redrawAll(View& view);

}  // namespace quavrix
