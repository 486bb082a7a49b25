#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user cache folder: $XDG_CACHE_HOME/quavrix, else ~/.cache/quavrix
// (the system's temporary folder when neither can be told).

#include <string>

namespace quavrix {

std::string userCacheFolder();

}  // namespace quavrix
