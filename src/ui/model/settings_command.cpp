// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/settings_command.h"

#include "engine/engine.h"
#include "engine/project.h"
#include "engine/settings_apply.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"

namespace quavrix {

void settingsCommand(View& view, const std::function<void()>& showDialog) {
  Engine& engine = view.engine;
  autosaveSettingsAndNotes(engine);
  if (!showDialog) return;
  for (;;) {
    showDialog();
    const PendingApplied applied = applyPendingSettings(engine);
    // The dialog's LOAD may have replaced the levels and the section records
    // without any of the apply flags.
    viewAfterSettings(view);
    if (!applied.reopen) break;
  }
}

}  // namespace quavrix
