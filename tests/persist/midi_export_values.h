#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Settings the MIDI export tests share.

#include "persist/settings.h"

namespace quavrix::test {

// Every track exported, programs 1..7 at places 11..17, level 0.67.
inline SettingValues exportAll() {
  SettingValues v;
  for (int t = 1; t <= 7; ++t) {
    v.midiOutput[t] = 1;
    v.trackProgram[t] = 10 + t;
  }
  return v;
}

}  // namespace quavrix::test
