#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The settings command (the menu item and both gear buttons): the autosaves,
// then the Settings dialog, shown again for as long as what it changed asks
// for it (a new SoundFont or new instruments refill its lists).

#include <functional>

namespace quavrix {

struct View;

// `showDialog` shows the dialog modally and returns when it closes; the
// changes it left take effect after each close.
void settingsCommand(View& view, const std::function<void()>& showDialog);

}  // namespace quavrix
