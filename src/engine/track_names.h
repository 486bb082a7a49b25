#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Names under which the instrument tracks leave the program in exported files.

#include <array>
#include <string>

namespace quavrix {

struct Engine;

// Entry t (1..7) names instrument track t: the name of its preset in the
// loaded SoundFont, or "Track t" when no bank is loaded, the track has no
// program or the preset is unnamed. Entry 0 is unused and empty.
std::array<std::string, 8> exportTrackNames(const Engine& engine);

}  // namespace quavrix
