#pragma once
// Names of the instrument tracks for exported files.

#include <array>
#include <string>

namespace quavrix {

struct Engine;

// Index 1..7: the name of the track's preset in the loaded SoundFont, else
// "Track N"; index 0 is unused.
std::array<std::string, 8> exportTrackNames(const Engine& engine);

}  // namespace quavrix
