// SPDX-License-Identifier: GPL-3.0-or-later
// Extend until next locked beat: the beats after a run of good beats are
// replaced by beats at the run's interval, divided equally up to the next
// locked beat.

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/prompter.h"
#include "score/beat_editor/editor_pages.h"
#include "score/beat_grid.h"

namespace quavrix::editor {

namespace {

constexpr std::size_t MAX_EXTEND_BEATS = 2048;

}  // namespace

void extendBeats(EditorContext& ctx, std::uint32_t vs, std::uint32_t ve) {
  NoteStore& notes = ctx.notes;
  Prompter& prompter = ctx.prompter;
  if (!notes.ready() || vs == 0 || ve == 0 || vs >= ve) return;

  const std::vector<std::uint32_t> beats = collectLines(notes, vs, ve, LINE_BEAT, MAX_EXTEND_BEATS);
  const std::size_t count = beats.size();
  if (count == 0 || count > MAX_EXTEND_BEATS) return;
  std::uint32_t closest = std::min<std::uint32_t>(0xFFFF, beats[0]);
  for (std::size_t k = 1; k < count; ++k) closest = std::min(closest, beats[k] - beats[k - 1]);
  if (closest == 0 || (ve - vs) / closest > MAX_EXTEND_BEATS) return;

  const auto locked = [&](std::size_t k) { return (notes.lineMap[beats[k]] & LINE_LOCK) != 0; };
  std::size_t lockedCount = 0;
  for (std::size_t k = 0; k < count; ++k) lockedCount += locked(k);
  if (lockedCount < 2) {
    prompter.error(" EXTEND\nERROR : 開始と終了のため locked beat が,２つ以上必要です.");
    return;
  }
  std::size_t first = 0;
  while (!locked(first)) ++first;
  std::size_t runEnd = first;  // M: last beat of the run of locked beats from the first
  while (runEnd + 1 < count && locked(runEnd + 1)) ++runEnd;
  std::size_t endBeat = runEnd + 1;  // E: the first locked beat after the run
  while (endBeat < count && !locked(endBeat)) ++endBeat;
  if (runEnd == 0) {
    prompter.error(
        " EXTEND\nERROR : 開始用 locked beat の前に、beat または、locked beat が必要です.");
    return;
  }
  if (endBeat >= count) {
    prompter.error(" EXTEND\nERROR : 終了用 locked beat が見つかりません。.");
    return;
  }

  // The reference: the beats from the window's first beat to the run's end.
  const float tolerance = notes.judgingTolerance;
  const std::int64_t average =
      static_cast<std::int64_t>(beats[runEnd] - beats[0]) / static_cast<std::int64_t>(runEnd);
  const std::int64_t low = static_cast<std::int64_t>((1.0f - tolerance) * average);
  const std::int64_t high = static_cast<std::int64_t>((1.0f + tolerance) * average);
  for (std::size_t k = 0; k < runEnd; ++k) {
    const std::int64_t step = beats[k + 1] - beats[k];
    if (step < low || step > high) {
      if (!prompter.ask(" EXTEND\nWarnning : 開始時の reference の誤差が許容値を超えています。"
                        "続行しますか？ 許容値は Settings の interval JUDGE で変更できます。")) {
        return;
      }
      break;
    }
  }
  if (static_cast<float>(average) < MIN_INTERVAL) {
    prompter.error(" EXTEND\nERROR : The interval is too fast.");
    return;
  }
  if (static_cast<float>(average) > MAX_INTERVAL) {
    prompter.error(" EXTEND\nERROR : The interval is too slow.");
    return;
  }
  const std::int64_t gap = static_cast<std::int64_t>(beats[endBeat]) - beats[runEnd];
  if (gap <= 0) {
    prompter.error(" EXTEND\nERROR : 終了の locked beat が異常でした.");
    return;
  }
  const std::int64_t parts = std::lround(static_cast<double>(gap) / static_cast<double>(average));
  // The end beat lies closer than half an interval: no beat fits between.
  if (parts == 0) return;
  const std::int64_t step = gap / parts;
  if (step < low || step > high) {
    if (!prompter.ask(
            " EXTEND\nWarnning : 追加・変更の誤差が許容値を超えています。続行しますか？\n "
            "許容値は Settings の interval JUDGE で変更できます。")) {
      return;
    }
  }

  // New beats snap to a beat already close to them among those they replace,
  // so that beats the user placed by ear survive.
  const std::int64_t window = static_cast<std::int64_t>(static_cast<float>(step) * tolerance);
  std::vector<std::uint32_t> placed;
  for (std::int64_t k = 1; k < parts; ++k) {
    std::int64_t p = beats[runEnd] + k * step;
    for (std::size_t b = runEnd + 1; b < endBeat; ++b) {
      const std::int64_t x = beats[b];
      if (p - window < x && x < p + window) {
        p = x;
        break;
      }
    }
    placed.push_back(static_cast<std::uint32_t>(p));
  }
  beginGroup(notes);
  for (std::size_t b = runEnd + 1; b < endBeat; ++b) {
    if (!locked(b)) clearBits(notes, beats[b], LINE_BEAT | LINE_BAR);
  }
  for (std::uint32_t p : placed) addBeat(notes, p);
}

}  // namespace quavrix::editor
