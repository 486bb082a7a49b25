// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/view_refresh.h"

#include "analysis/key_axis_map.h"
#include "engine/engine.h"
#include "ui/model/view.h"
#include "ui/model/visible_window.h"

namespace quavrix {

void syncSections(View& view) {
  ViewState& v = view.engine.viewState;
  for (int bank = 0; bank < 8; ++bank) {
    bool any = false;
    for (int slot = 0; slot < 8; ++slot) {
      std::uint8_t& flags = v.sections[bank][slot].flags;
      const SectionRange& r = view.engine.settings.values.sections[bank][slot];
      const bool record = r.end > r.start;
      flags = static_cast<std::uint8_t>((flags & SLOT_SELECTED) | (record ? SLOT_HAS_RECORD : 0));
      any = any || record;
    }
    v.bankFlags[bank] = static_cast<std::uint8_t>((bank == v.selectedBank ? SLOT_SELECTED : 0) |
                                                  (any ? SLOT_HAS_RECORD : 0));
  }
}

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

void viewAfterSettings(View& view) {
  placeLevelMarkers(view);
  syncSections(view);
  redrawAll(view);
}

void viewAfterOpen(View& view) {
  resetWindow(view.engine);
  rebuildSpectrumMap(view);
  placeLevelMarkers(view);
  syncSections(view);
  view.input = Interaction{};
  redrawAll(view);
}

}  // namespace quavrix
