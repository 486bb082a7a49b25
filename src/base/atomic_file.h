#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file writes that never leave a half-written file behind: the bytes go
// to a temporary file beside the target, which is then renamed over it.

#include <cstddef>
#include <string>

namespace quavrix {

// Writes `size` bytes to `path` through "<path>.tmp". Returns false (the old
// file untouched, the temporary removed) when any step fails, with the
// system's reason in `reason` when given.
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* reason = nullptr);

}  // namespace quavrix
