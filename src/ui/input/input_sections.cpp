// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/input/input_sections.h"

#include <algorithm>

#include "base/prompter.h"
#include "engine/engine.h"
#include "ui/model/control_code.h"
#include "ui/model/view_refresh.h"
#include "ui/model/visible_window.h"

namespace quavrix::input {

namespace {

SectionRange& range(View& view, int bank, int slot) {
  return view.engine.settings.values.sections[bank][slot];
}

bool holdsRecord(const SectionRange& r) {
  return r.end > r.start;
}

}  // namespace

void sectionButton(View& view, int code) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  SectionRange& r = range(view, v.selectedBank, v.selectedSlot);
  const SectionRange before = r;
  const VisibleWindow& w = v.window;
  switch (code) {
    case SectionDeleteButton:
      r = SectionRange{};
      break;
    case SectionRecordButton:
      if (holdsRecord(r) && !engine.prompter->ask(SECTION_OVERWRITE_QUESTION, Icon::Question))
        return;
      r.start = w.start;
      r.end = w.end;
      break;
    case SectionAddButton:
      if (!holdsRecord(r)) return;
      r.start = std::min(r.start, w.start);
      r.end = std::max(r.end, w.end);
      break;
    default:
      return;
  }
  if (r.start != before.start || r.end != before.end) v.sectionsModified = 1;
  syncSections(view);
}

void selectBank(View& view, int bank) {
  ViewState& v = view.engine.viewState;
  if (bank < 0 || bank >= 8) return;
  for (auto& row : v.sections)
    for (auto& slot : row) slot.flags &= static_cast<std::uint8_t>(~SLOT_SELECTED);
  v.selectedBank = bank;
  v.selectedSlot = 0;
  v.sections[bank][0].flags |= SLOT_SELECTED;
  syncSections(view);
}

void selectSlot(View& view, int slot) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  if (slot < 0 || slot >= 8) return;
  for (auto& s : v.sections[v.selectedBank]) s.flags &= static_cast<std::uint8_t>(~SLOT_SELECTED);
  v.sections[v.selectedBank][slot].flags |= SLOT_SELECTED;
  v.selectedSlot = slot;
  const SectionRange r = range(view, v.selectedBank, slot);
  if (holdsRecord(r)) {
    VisibleWindow& w = v.window;
    w.previousStart = w.start;
    w.previousEnd = w.end;
    const int start = std::clamp(r.start, LEAD_IN_FRAMES, std::max(LEAD_IN_FRAMES, w.total - 4096));
    setWindow(engine, start, r.end);
  }
  syncSections(view);
}

}  // namespace quavrix::input
