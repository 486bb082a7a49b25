// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the recordings and the project that bench/play_vs_baseline.sh plays:
//   click.wav  3 s of silence with a 0.1 s burst on the left channel from
//              frame 44096 (1.0 s, on a position boundary)
//   click.dat  a beat on the burst's line and a note of track 2 on it
//   pair.wav   12 s of 440 Hz on the left and 660 Hz on the right
//   same.wav   12 s of 440 Hz on both channels
//
//   play_check_files DIR

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/recording_buffers.h"
#include "base/prompter.h"
#include "base/units.h"
#include "persist/project_file.h"
#include "platform/wav_writer.h"
#include "score/beat_grid.h"
#include "score/note_store.h"

namespace {

using namespace quavrix;

constexpr int RATE = 44100;
constexpr int CLICK_FRAME = 44096;

class PrintingPrompter final : public Prompter {
 public:
  Answer show(std::string_view text, Icon, Buttons) override {
    std::fprintf(stderr, "play_check_files: %.*s\n", static_cast<int>(text.size()), text.data());
    return Answer::Ok;
  }
};

bool writeStereo(const std::string& path, const std::vector<float>& interleaved) {
  return writeWav16(path, interleaved.data(), interleaved.size() / 2, 2, RATE);
}

std::vector<float> tones(double leftHz, double rightHz, int seconds) {
  std::vector<float> s(2 * static_cast<std::size_t>(seconds) * RATE);
  for (std::size_t i = 0; i < s.size() / 2; ++i) {
    const double t = static_cast<double>(i) / RATE;
    s[2 * i] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * leftHz * t));
    s[2 * i + 1] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * rightHz * t));
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: play_check_files DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<float> click(2 * 3 * RATE, 0.0f);
  for (int i = 0; i < 4410; ++i) click[2 * (CLICK_FRAME + i)] = (i / 50) % 2 ? 0.9f : -0.9f;
  if (!writeStereo(dir + "/click.wav", click) ||
      !writeStereo(dir + "/pair.wav", tones(440, 660, 12)) ||
      !writeStereo(dir + "/same.wav", tones(440, 440, 12))) {
    std::fprintf(stderr, "play_check_files: cannot write the recordings in %s\n", dir.c_str());
    return 1;
  }

  // The score a recording of click.wav's size gets: its capacity follows
  // from the file's size as the reader works it out.
  const std::uint32_t bytes = 44 + 4 * 3 * RATE;
  const auto capacity = static_cast<std::uint32_t>(wavCapacity(bytes, 44, 2));
  NoteStore notes;
  PrintingPrompter prompter;
  if (allocateNotes(notes, capacity, prompter) != 1) return 1;
  const std::uint32_t line = (LEAD_IN_FRAMES + CLICK_FRAME) / 32;
  setLine(notes, line, LINE_BEAT, false);
  setLine(notes, line + 600, LINE_BEAT, false);
  notes.slots[line] = makeNote(2, 69 - KEY_TO_MIDI, 599);  // A4, 440 Hz
  buildNoteOffs(notes);
  return writeProject(notes, dir + "/click.dat", prompter) == 0 ? 0 : 1;
}
