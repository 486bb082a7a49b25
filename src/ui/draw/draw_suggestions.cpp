// SPDX-License-Identifier: GPL-3.0-or-later
// The note model's suggestions: outlines over the roll, so that they never
// pass for notes already placed (those are filled).

#include "engine/engine.h"
#include "engine/suggestions.h"
#include "ui/draw/draw_steps.h"

namespace quavrix::draw {

namespace {
// A light amber that stands apart from the track colours and from both the
// white and the black key rows.
constexpr Colour OUTLINE{1.0f, 0.78f, 0.25f, 0.95f};
}  // namespace

void suggestions(View& view, Canvas& canvas) {
  const Engine& engine = view.engine;
  const SuggestionState& s = engine.suggestions;
  if (!s.present || !s.shown) return;
  const float width = engine.viewState.smallLayout ? 1.0f : 1.5f;
  const float inset = width / 2;
  for (const Suggestion& note : s.notes) {
    ScreenRect r;
    if (!suggestionRect(engine, note, r)) continue;
    const float l = static_cast<float>(r.left) + inset, t = static_cast<float>(r.top) + inset;
    const float rt = static_cast<float>(r.right) - inset, b = static_cast<float>(r.bottom) - inset;
    canvas.line(l, t, rt, t, width, OUTLINE);
    canvas.line(rt, t, rt, b, width, OUTLINE);
    canvas.line(rt, b, l, b, width, OUTLINE);
    canvas.line(l, b, l, t, width, OUTLINE);
  }
}

}  // namespace quavrix::draw
