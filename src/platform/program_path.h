// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace quavrix {

// Full path of the running executable, or an empty string if the system cannot tell.
std::string programPath();

}  // namespace quavrix
