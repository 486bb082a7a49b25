// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/view.h"

#include "engine/engine.h"
#include "ui/model/control_code.h"
#include "ui/model/layout.h"

namespace quavrix {

void linkView(View& view, bool small) {
  selectLayout(view.engine, small);
  view.rects = controlRects(small);
  ViewState& v = view.engine.viewState;
  const VisibleWindow& w = v.window;
  v.freeScrollX = view.rects.scrollFreeLeft +
                  static_cast<float>(w.freeScroll) *
                      (view.rects.scrollFreeRight - view.rects.scrollFreeLeft) / 255.0f;
  placeLevelMarkers(view);
}

void runLong(View& view, const char* stage, const std::function<void()>& work) {
  if (view.runBeside) {
    view.runBeside(stage, work);
  } else {
    work();
  }
}

void placeLevelMarkers(View& view) {
  Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  const auto& level = engine.settings.values.level;
  ViewState& v = engine.viewState;
  v.wavLevelX = static_cast<float>(l.wavLevelArea.left) + level[LEVEL_WAV] * l.wavRampWidth;
  v.midiLevelX = static_cast<float>(l.midiLevelArea.left) + level[LEVEL_MIDI] * l.midiRampWidth;
  const int track = v.currentTrack >= 1 && v.currentTrack <= 7 ? v.currentTrack : 0;
  const float velocity = track == 0 ? level[LEVEL_TICK] : level[track + LEVEL_TRACK_OFFSET];
  v.velocityX = static_cast<float>(l.velocityInnerArea.left) + velocity * l.velocityRampWidth;
}

}  // namespace quavrix
