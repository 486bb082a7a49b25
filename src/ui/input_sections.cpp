#include "ui/input_sections.h"

#include <algorithm>

#include "base/prompter.h"
#include "engine/engine.h"
#include "ui/control_code.h"
#include "ui/visible_window.h"

namespace quavrix::input {

namespace {

constexpr std::uint8_t HAS_RECORD = 1;
constexpr std::uint8_t SELECTED = 2;

SectionRange& range(View& view, int bank, int slot) {
  return view.engine.settings.values.sections[bank][slot];
}

bool holdsRecord(const SectionRange& r) {
  return r.end > r.start;
}

}  // namespace

void syncSections(View& view) {
  ViewState& v = view.engine.viewState;
  for (int bank = 0; bank < 8; ++bank) {
    bool any = false;
    for (int slot = 0; slot < 8; ++slot) {
      std::uint8_t& flags = v.sections[bank][slot].flags;
      const bool record = holdsRecord(range(view, bank, slot));
      flags = static_cast<std::uint8_t>((flags & SELECTED) | (record ? HAS_RECORD : 0));
      any = any || record;
    }
    v.bankFlags[bank] =
        static_cast<std::uint8_t>((bank == v.selectedBank ? SELECTED : 0) | (any ? HAS_RECORD : 0));
  }
}

void sectionButton(View& view, int code) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  SectionRange& r = range(view, v.selectedBank, v.selectedSlot);
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
  syncSections(view);
}

void selectBank(View& view, int bank) {
  ViewState& v = view.engine.viewState;
  if (bank < 0 || bank >= 8) return;
  for (auto& row : v.sections)
    for (auto& slot : row) slot.flags &= static_cast<std::uint8_t>(~SELECTED);
  v.selectedBank = bank;
  v.selectedSlot = 0;
  v.sections[bank][0].flags |= SELECTED;
  syncSections(view);
}

void selectSlot(View& view, int slot) {
  Engine& engine = view.engine;
  ViewState& v = engine.viewState;
  if (slot < 0 || slot >= 8) return;
  for (auto& s : v.sections[v.selectedBank]) s.flags &= static_cast<std::uint8_t>(~SELECTED);
  v.sections[v.selectedBank][slot].flags |= SELECTED;
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
