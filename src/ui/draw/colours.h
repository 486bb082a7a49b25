#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The view's fixed colours and the colours and widths built from the colour
// settings.

#include <array>

#include "persist/settings.h"
#include "ui/draw/canvas.h"

namespace quavrix::colour {

inline constexpr Colour Black{0, 0, 0, 1};
inline constexpr Colour Red{1, 0, 0, 1};
inline constexpr Colour Lime{0, 1, 0, 1};
inline constexpr Colour LimeFaint{0, 1, 0, 0.15f};
inline constexpr Colour Yellow{1, 1, 0, 1};
inline constexpr Colour Yellow80{1, 1, 0, 0.8f};
inline constexpr Colour Yellow50{1, 1, 0, 0.5f};
inline constexpr Colour Yellow30{1, 1, 0, 0.3f};
inline constexpr Colour Yellow20{1, 1, 0, 0.2f};
inline constexpr Colour Yellow10{1, 1, 0, 0.1f};
inline constexpr Colour Orange{1, 0.5f, 0, 1};
inline constexpr Colour Blue20{0, 0, 1, 0.2f};
inline constexpr Colour Lavender50{0.7f, 0.7f, 1, 0.5f};
inline constexpr Colour LeftWave{0.7f, 1, 0.6f, 1};
inline constexpr Colour RightWave{0.7f, 0.6f, 1, 1};
inline constexpr Colour Pink30{1, 0.7f, 0.7f, 0.3f};
inline constexpr Colour Grey10{0.1f, 0.1f, 0.1f, 1};
inline constexpr Colour Grey15{0.15f, 0.15f, 0.15f, 1};
inline constexpr Colour Grey20Half{0.2f, 0.2f, 0.2f, 0.5f};
inline constexpr Colour Shade25{0, 0, 0, 0.25f};
inline constexpr Colour Shade40{0, 0, 0, 0.4f};
inline constexpr Colour MarginTeal{0, 0.22f, 0.22f, 1};
inline constexpr Colour MarginNavy15{0, 0, 0.15f, 1};
inline constexpr Colour MarginNavy20{0, 0, 0.2f, 1};

}  // namespace quavrix::colour

namespace quavrix {

// A line colour with its normal width and the wide width of the line
// playback passed last.
struct LinePen {
  Colour colour;
  float width = 0;
  float wide = 0;
};

// What the colour settings make of the roll, rebuilt whenever they change.
struct ColourSet {
  Colour whiteKey;
  Colour tonicKey;
  Colour blackKey;
  LinePen bar;
  LinePen beat;
  LinePen division;
  LinePen playhead;
  Colour guessing;
  float guessingWidth = 0;
  std::array<Colour, 8> head{};  // entries 1..7
  std::array<Colour, 8> tail{};
};

ColourSet colourSet(const SettingValues& values);

}  // namespace quavrix
