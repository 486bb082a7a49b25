// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/layout.h"

#include "engine/engine.h"

namespace quavrix {

namespace {

ViewLayout largeLayout() {
  ViewLayout l;
  l.clientArea = {0, 0, 1889, 956};
  l.overviewColumn = {0, 20, 120, 936};
  l.zoomColumn = {120, 10, 240, 946};
  l.topBar = {240, 0, 1889, 60};
  l.bottomBar = {240, 899, 1889, 956};
  l.beatEditorPanelArea = {324, 160, 804, 788};
  l.wavLevelArea = {244, 932, 341, 956};
  l.midiLevelArea = {350, 932, 448, 956};
  l.velocityArea = {1228, 900, 1366, 956};
  l.velocityInnerArea = {1230, 900, 1364, 956};
  l.overviewBand = {0, 0, 120, 956};
  l.overviewLeftFull = {0, 0, 60, 956};
  l.overviewLeftData = {0, 20, 60, 936};
  l.overviewRight = {60, 20, 120, 936};
  l.zoomBand = {120, 0, 240, 956};
  l.zoomTopMargin = {120, 0, 240, 80};
  l.zoomBottomMargin = {120, 880, 240, 956};
  l.zoomDataBand = {120, 80, 240, 880};
  l.marginStrip1 = {240, 60, 246, 899};
  l.marginStrip2 = {246, 60, 288, 899};
  l.marginStrip3 = {288, 60, 304, 899};
  l.rollArea = {304, 60, 1889, 899};
  l.overviewDataHeight = 916;
  l.overviewWidth = 120;
  l.overviewCentreX = 60;
  l.zoomDataHeight = 936;
  l.zoomWidth = 120;
  l.zoomCentreX = 180;
  l.bandTop = 80;
  l.bandBottom = 880;
  l.bandCentre = 480;
  l.bandHeight = 800;
  l.zoomTopRatio = 0.0875f;
  l.zoomBottomRatio = 0.0825f;
  l.wavRampWidth = 97;
  l.midiRampWidth = 98;
  l.velocityRampWidth = 134;
  l.rollWidth = 1585;
  l.strobeZeroY = 525.5f;
  l.strobeHalfHeight = 241.5f;
  return l;
}

ViewLayout smallLayout() {
  ViewLayout l;
  l.clientArea = {0, 0, 1352, 662};
  l.overviewColumn = {0, 14, 85, 648};
  l.zoomColumn = {85, 10, 170, 652};
  l.topBar = {170, 0, 1336, 42};
  l.bottomBar = {170, 614, 1336, 662};
  l.beatEditorPanelArea = {254, 36, 734, 664};
  l.wavLevelArea = {174, 639, 241, 661};
  l.midiLevelArea = {252, 639, 318, 661};
  l.velocityArea = {863, 612, 968, 661};
  l.velocityInnerArea = {865, 612, 966, 661};
  l.overviewBand = {0, 0, 85, 662};
  l.overviewLeftFull = {0, 0, 42, 662};
  l.overviewLeftData = {0, 14, 42, 648};
  l.overviewRight = {42, 14, 85, 648};
  l.zoomBand = {85, 0, 170, 662};
  l.zoomTopMargin = {85, 0, 170, 56};
  l.zoomBottomMargin = {85, 604, 170, 662};
  l.zoomDataBand = {85, 56, 170, 604};
  l.marginStrip1 = {170, 42, 176, 614};
  l.marginStrip2 = {176, 42, 218, 614};
  l.marginStrip3 = {218, 42, 234, 614};
  l.rollArea = {234, 42, 1352, 614};
  l.overviewDataHeight = 634;
  l.overviewWidth = 85;
  l.overviewCentreX = 42.5f;
  l.zoomDataHeight = 642;
  l.zoomWidth = 85;
  l.zoomCentreX = 127.5f;
  l.bandTop = 56;
  l.bandBottom = 604;
  l.bandCentre = 330;
  l.bandHeight = 548;
  l.zoomTopRatio = 0.08394f;
  l.zoomBottomRatio = 0.08759f;
  l.wavRampWidth = 67;
  l.midiRampWidth = 66;
  l.velocityRampWidth = 101;
  l.rollWidth = 1118;
  // The rate bars' zero line moves up with the panel; their height stays.
  l.strobeZeroY = 401.5f;
  l.strobeHalfHeight = 241.5f;
  return l;
}

}  // namespace

bool smallLayoutFor(int screenWidth, int screenHeight) {
  return screenWidth < LARGE_SCREEN_WIDTH || screenHeight < LARGE_SCREEN_HEIGHT;
}

ViewLayout layoutTable(bool small) {
  return small ? smallLayout() : largeLayout();
}

void selectLayout(Engine& engine, bool small) {
  engine.viewState.smallLayout = small ? 1 : 0;
  const ViewLayout l = layoutTable(small);
  engine.layout = l;
  ViewState& v = engine.viewState;
  v.overviewScale = l.overviewWidth * 0.003f;
  v.overviewLeftX = static_cast<float>(l.overviewColumn.left);
  v.overviewRightX = static_cast<float>(l.overviewColumn.right);
  CellGeometry g;
  g.left = l.rollArea.left;
  g.right = l.rollArea.right;
  g.keyTop = l.rollArea.top;
  g.keyBottom = l.rollArea.bottom;
  g.noteTop = static_cast<std::uint16_t>(l.bandTop);
  g.noteBottom = static_cast<std::uint16_t>(l.bandBottom);
  g.noteHeight = l.bandHeight;
  engine.cellGrid.setGeometry(g);
}

}  // namespace quavrix
