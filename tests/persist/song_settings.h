#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The settings a score-export test song is written with.

#include "persist/settings.h"
#include "support/score_song.h"

namespace quavrix::test {

inline SettingValues valuesOf(const ScoreSong& song) {
  SettingValues values;
  values.midiOutput = song.midiOutput;
  values.cKeyTo = song.keySetting;
  return values;
}

}  // namespace quavrix::test
