#pragma once
#include "analysis/recording.h"

namespace quavrix {

// Fills the onset energy and marks of the recording from its envelopes.
// Returns 0.
int detectOnsets(Recording& recording);

}  // namespace quavrix
