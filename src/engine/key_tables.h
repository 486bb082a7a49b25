// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>

#include "engine/view_state.h"

namespace quavrix {

// Pitch-class names from C upward.
extern const std::array<const char*, 12> PitchClassNames;

// Recomputes the key-row classes and names from the key setting: row 0 has
// pitch class `key` (a value outside 0..11 counts as 0), the C rows are marked.
void rebuildKeyTables(ViewState& view, int key);

}  // namespace quavrix
