// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/engine/project_fixture.h"

#include <cstdint>
#include <vector>

#include "engine/editing.h"
#include "engine/project_open.h"
#include "persist/settings_file.h"
#include "score/beat_grid.h"
#include "score/edit_history.h"
#include "support/sf2_writer.h"
#include "support/wav_builder.h"

namespace quavrix::test {

bool writeClickRecording(const std::string& path, double seconds) {
  const int frames = static_cast<int>(seconds * 44100);
  std::vector<std::int16_t> s(2 * static_cast<std::size_t>(frames), 0);
  for (int click = 4410; click < frames; click += 22050) {
    for (int i = 0; i < 2000 && click + i < frames; ++i) {
      const std::int16_t v = (i / 20) % 2 ? 20000 : -20000;
      s[2 * static_cast<std::size_t>(click + i)] = v;
      s[2 * static_cast<std::size_t>(click + i) + 1] = v;
    }
  }
  return WavBuilder().format(2).data(s).write(path);
}

ProjectFixture::ProjectFixture(const std::string& name) : wav(dir.file(name)) {
  writeClickRecording(wav);
  // The program's own files beside it: a one-preset bank and default settings naming it.
  Sf2Sample sample;
  sample.name = "sine";
  sample.points = sinePoints(440.0, 44100.0, 4410);
  writeSf2File(dir.file("quavrix.sf2"), singleSampleFont(sample));
  Settings defaults;
  defaults.values.soundFontFile = "quavrix.sf2";
  for (int t = 1; t <= 7; ++t) defaults.values.trackProgram[t] = 1;
  defaults.values.tickProgram = 1;
  saveSettings(defaults, dir.file("default_settings.xml"));
  EngineOptions options;
  options.programPath = dir.file("quavrix");
  options.configFolder = dir.file("config") + "/";
  options.prompter = &prompter;
  options.files = &files;
  options.console = &console;
  options.audioDevice = "null";
  engine = createEngine(options);
  engine->soundFontSettle = std::chrono::milliseconds(0);
  prompter.clear();
}

bool ProjectFixture::open() {
  return openRecording(*engine, wav) == 1;
}

bool ProjectFixture::addNote(Engine* other) {
  NoteStore& notes = (other ? *other : *engine).notes;
  const std::uint32_t first = nextLine(notes, 0, LINE_BEAT);
  const std::uint32_t second = nextLine(notes, first + 1, LINE_BEAT);
  if (second >= notes.positions) return false;
  // Straight into the score, recorded as the roll's append records it.
  const std::int32_t word = makeNote(1, 40, static_cast<int>(second - first - 1));
  recordNoteChange(notes, first, word);
  notes.slots[first] = word;
  notes.noteHistory.modified = 1;
  notes.autosaveDirty = 1;
  buildNoteOffs(notes);
  return true;
}

}  // namespace quavrix::test
