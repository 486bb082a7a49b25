#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the view's regions lie, for the layout in use: client pixels, x to
// the right and y downward, right and bottom edges outside. The view's
// layout selection fills it once at start-up; the engine keeps it because
// commands measure against it (the stroboscope's rate bars, the key axis).

#include <cstdint>

#include "score/cell_grid.h"

namespace quavrix {

struct ViewLayout {
  ScreenRect clientArea;
  ScreenRect overviewColumn;  // the whole-recording overview
  ScreenRect zoomColumn;      // the magnified waveform of the visible range
  ScreenRect topBar;
  ScreenRect bottomBar;
  ScreenRect beatEditorPanelArea;  // where the beat-editor pages are drawn
  ScreenRect wavLevelArea;         // tracks of the level ramps
  ScreenRect midiLevelArea;
  ScreenRect velocityArea;
  ScreenRect velocityInnerArea;

  ScreenRect overviewBand;  // the overview at full view height
  ScreenRect overviewLeftFull;
  ScreenRect overviewLeftData;
  ScreenRect overviewRight;
  ScreenRect zoomBand;  // the zoom column at full view height
  ScreenRect zoomTopMargin;
  ScreenRect zoomBottomMargin;
  ScreenRect zoomDataBand;
  ScreenRect marginStrip1;
  ScreenRect marginStrip2;
  ScreenRect marginStrip3;
  ScreenRect rollArea;  // the piano roll: keys along x, time along y

  float overviewDataHeight = 0;
  float overviewWidth = 0;
  float overviewCentreX = 0;
  float zoomDataHeight = 0;
  float zoomWidth = 0;
  float zoomCentreX = 0;
  // The y range the visible time span is mapped into, in the zoom column and the roll.
  float bandTop = 0;
  float bandBottom = 0;
  float bandCentre = 0;
  float bandHeight = 0;
  // (band top - zoom top) / band height and (zoom bottom - band bottom) / band height.
  float zoomTopRatio = 0;
  float zoomBottomRatio = 0;
  float wavRampWidth = 0;
  float midiRampWidth = 0;
  float velocityRampWidth = 0;
  std::uint16_t rollWidth = 0;

  // The Stroboscope page's rate bars: the y of their zero line and their
  // half height. The zero line moves with the panel in the small layout.
  float strobeZeroY = 525.5f;
  float strobeHalfHeight = 241.5f;
};

}  // namespace quavrix
