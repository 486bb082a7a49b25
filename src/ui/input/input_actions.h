#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Actions the mouse and the keys share.

#include "ui/model/view.h"

namespace quavrix::input {

bool overRoll(const View& view);
// Sounds (or releases) the key under the mouse on the selected track.
void audition(View& view, bool pressed);

// Key range: one octave down or up; 12 keys fewer or more (the point's half
// of the roll decides which side gives way).
void octave(View& view, int direction);
void keyRows(View& view, int change, bool rightHalf);

// Track buttons: 0 the tick track, 1..7.
void trackLeft(View& view, int track);
void trackRight(View& view, int track);
// D and G: the nearest switched-on track below or above the selected one.
void nearbyTrack(View& view, int direction);
// F: the track of the note under the mouse.
void trackUnderMouse(View& view);

void tune(View& view, int cents);

void bottomDirty(View& view);
void topDirty(View& view);

}  // namespace quavrix::input
