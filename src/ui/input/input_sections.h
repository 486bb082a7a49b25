#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The section records of the top bar: eight banks of eight slots, each slot a
// range of the recording to come back to.

#include "ui/model/view.h"

namespace quavrix::input {

inline constexpr const char* SECTION_OVERWRITE_QUESTION = "SECTION RECORD\nOver-write?";

// DEL, the red dot (record, asking before it over-writes) and + (widen).
void sectionButton(View& view, int code);
void selectBank(View& view, int bank);
// Selects a slot of the selected bank; one that holds a record is shown.
void selectSlot(View& view, int slot);

}  // namespace quavrix::input
