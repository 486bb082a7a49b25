#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of the drawing pass, shared between its files.

#include <cstdint>

#include "ui/draw/canvas.h"
#include "ui/model/view.h"

namespace quavrix::draw {

void overviewAndZoom(View& view, Canvas& canvas);
void roll(View& view, Canvas& canvas);
void gridLines(View& view, Canvas& canvas);
void selection(View& view, Canvas& canvas);
void strobeBeats(View& view, Canvas& canvas);
void notes(View& view, Canvas& canvas);
void suggestions(View& view, Canvas& canvas);
void topBar(View& view, Canvas& canvas);
void bottomBar(View& view, Canvas& canvas);
void panel(View& view, Canvas& canvas);
void spectrumCurve(View& view, Canvas& canvas);
void noteName(View& view, Canvas& canvas);
// Where the person is (draw_position.cpp).
void playhead(View& view, Canvas& canvas);
void barNumbers(View& view, Canvas& canvas);
void keyNames(View& view, Canvas& canvas);

// The octave bar of an octave shown in the roll.
RectF octaveBar(const View& view, std::uint32_t octave);

// The rectangle of a control, as the canvas takes it.
RectF rectOf(const View& view, int code);

}  // namespace quavrix::draw
