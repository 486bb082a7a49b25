// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display.h"

#include <cstdlib>

namespace quavrix {

namespace {
bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}
}  // namespace

bool displayAvailable(const std::string& platformRequested, std::string& reason) {
  const bool windowSystem = platformRequested.empty() || platformRequested.rfind("xcb", 0) == 0 ||
                            platformRequested.rfind("wayland", 0) == 0;
  if (!windowSystem) return true;
  if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) return true;
  reason = "no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
  return false;
}

}  // namespace quavrix
