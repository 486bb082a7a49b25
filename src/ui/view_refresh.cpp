#include "ui/view_refresh.h"

#include "analysis/key_axis_map.h"
#include "engine/engine.h"
#include "ui/input_sections.h"
#include "ui/view.h"
#include "ui/visible_window.h"

namespace quavrix {

void rebuildSpectrumMap(View& view) {
  Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  const CellGrid& grid = engine.cellGrid;
  buildSpectrumMap(engine.viewState.spectrumMap, static_cast<int>(grid.firstKeyRow),
                   static_cast<int>(grid.keyRows), static_cast<float>(l.rollArea.left),
                   static_cast<float>(l.rollWidth));
}

void redrawAll(View& view) {
  DirtyFlags& d = view.engine.viewState.dirty;
  d.overview = d.zoom = d.topBar = d.bottomBar = d.fullRedraw = true;
}

void viewAfterOpen(View& view) {
  resetWindow(view.engine);
  rebuildSpectrumMap(view);
  placeLevelMarkers(view);
  input::syncSections(view);
  view.input = Interaction{};
  redrawAll(view);
}

}  // namespace quavrix
