#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A view linked to an engine with a short recording open, as the window has it.

#include "support/engine/project_fixture.h"
#include "ui/draw/recording_canvas.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"

namespace quavrix::test {

struct ViewFixture : ProjectFixture {
  explicit ViewFixture(bool small = false, bool openIt = true) : view(*engine) {
    linkView(view, small);
    if (openIt) opened = open();
    if (opened) viewAfterOpen(view);
  }
  View view;
  RecordingCanvas canvas;
  bool opened = false;
};

}  // namespace quavrix::test
