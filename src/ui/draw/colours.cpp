// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/draw/colours.h"

namespace quavrix {

namespace {

float part(std::int32_t percent) {
  return static_cast<float>(percent) / 100.0f;
}

Colour opaque(const ColourRecord& c) {
  return {part(c.r), part(c.g), part(c.b), 1.0f};
}

LinePen pen(const ColourRecord& c) {
  return {{part(c.r), part(c.g), part(c.b), part(c.a)}, part(c.t) * 10.0f, part(c.t) * 25.0f};
}

}  // namespace

ColourSet colourSet(const SettingValues& values) {
  const auto& c = values.colours;
  ColourSet set;
  set.whiteKey = opaque(c[COLOUR_IVORY_KEY]);
  set.tonicKey = opaque(c[COLOUR_IVORY_KEY_C]);
  set.blackKey = opaque(c[COLOUR_EBONY_KEY]);
  set.bar = pen(c[COLOUR_BAR_LINES]);
  set.beat = pen(c[COLOUR_BEAT_LINES]);
  set.division = pen(c[COLOUR_DIV_LINES]);
  set.playhead = pen(values.playhead);
  const ColourRecord& g = c[COLOUR_NOTE_GUESSING];
  set.guessing = {part(g.r), part(g.g), part(g.b), part(g.a)};
  set.guessingWidth = part(g.t) * 20.0f;
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    const ColourRecord& r = c[t + COLOUR_TRACK_OFFSET];
    set.head[t] = {part(r.r), part(r.g), part(r.b), part(r.a)};
    set.tail[t] = {part(r.r), part(r.g), part(r.b), part(r.t)};
  }
  return set;
}

}  // namespace quavrix
