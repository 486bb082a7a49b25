#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a window can be shown at all: without a display server the
// toolkit stops the program with its own message before the program could
// say anything useful.

#include <string>

namespace quavrix {

// True when a window system is reachable, or when the toolkit is asked for
// a platform that needs none (`platformRequested`: the -platform option or
// QT_QPA_PLATFORM naming e.g. "offscreen"). False with a one-line reason.
bool displayAvailable(const std::string& platformRequested, std::string& reason);

}  // namespace quavrix
