// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_tables.h"

namespace quavrix {

const std::array<const char*, 12> PitchClassNames = {"C",  "C#", "D",  "Eb", "E",  "F",
                                                     "F#", "G",  "Ab", "A",  "Bb", "B"};

void rebuildKeyTables(ViewState& view, int key) {
  static constexpr std::array<std::uint8_t, 12> OCTAVE = {2, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
  const int k = (key >= 0 && key <= 11) ? key : 0;
  for (int row = 0; row < KEY_COUNT; ++row) view.keyClass[row] = OCTAVE[(k + row) % 12];
  for (int j = 0; j < 12; ++j) view.names[j] = PitchClassNames[(k + j) % 12];
}

}  // namespace quavrix
