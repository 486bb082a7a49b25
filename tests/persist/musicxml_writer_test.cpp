// SPDX-License-Identifier: GPL-3.0-or-later
// The score export read back as a notation program would: bars and time
// signatures, every voice of every measure filling its bar, ties, tuplets,
// chords, voices, key and spelling, parts and tempo marks.

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <fstream>
#include <map>
#include <sstream>

#include "persist/musicxml_writer.h"
#include "persist/pitch_spelling.h"
#include "song_settings.h"
#include "support/midi_score.h"
#include "support/score_song.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

using test::ScoreSong;
using tinyxml2::XMLElement;

std::string textOf(const XMLElement* e, const char* child) {
  const XMLElement* c = e ? e->FirstChildElement(child) : nullptr;
  return c && c->GetText() ? c->GetText() : "";
}

std::vector<const XMLElement*> children(const XMLElement* e, const char* name) {
  std::vector<const XMLElement*> out;
  for (const XMLElement* c = e->FirstChildElement(name); c; c = c->NextSiblingElement(name)) {
    out.push_back(c);
  }
  return out;
}

// What a reader makes of one measure.
struct Measure {
  std::string number;
  bool implicit = false;
  int beats = 0;      // time signature in force
  int divisions = 0;  // per quarter
  std::map<int, long> voiceLength;
  std::vector<const XMLElement*> notes;
};

struct Score {
  tinyxml2::XMLDocument doc;
  const XMLElement* root = nullptr;

  explicit Score(const ScoreSong& song, const ScoreHeader& header = {}) {
    ScoreGrid grid;
    std::string reason;
    EXPECT_TRUE(buildScoreGrid(song.notes, valuesOf(song), scoreRange(song.notes), grid, reason))
        << reason;
    const std::string text = scoreDocument(grid, valuesOf(song), header);
    EXPECT_EQ(doc.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
    root = doc.FirstChildElement("score-partwise");
  }

  std::vector<const XMLElement*> parts() const { return children(root, "part"); }

  std::vector<Measure> measures(int part) const {
    std::vector<Measure> out;
    int beats = 0, divisions = 0;
    for (const XMLElement* m : children(parts()[static_cast<std::size_t>(part)], "measure")) {
      Measure r;
      r.number = m->Attribute("number");
      r.implicit = m->Attribute("implicit", "yes");
      if (const XMLElement* a = m->FirstChildElement("attributes")) {
        if (a->FirstChildElement("divisions")) divisions = std::stoi(textOf(a, "divisions"));
        if (const XMLElement* t = a->FirstChildElement("time"))
          beats = std::stoi(textOf(t, "beats"));
      }
      r.beats = beats;
      r.divisions = divisions;
      for (const XMLElement* n : children(m, "note")) {
        r.notes.push_back(n);
        if (!n->FirstChildElement("chord")) {
          r.voiceLength[std::stoi(textOf(n, "voice"))] += std::stol(textOf(n, "duration"));
        }
      }
      out.push_back(r);
    }
    return out;
  }
};

std::string pitchOf(const XMLElement* note) {
  const XMLElement* p = note->FirstChildElement("pitch");
  if (!p) return "rest";
  const std::string alter = textOf(p, "alter");
  return textOf(p, "step") + (alter == "-1" ? "b" : alter == "1" ? "#" : "") + textOf(p, "octave");
}

bool has(const XMLElement* note, const char* path1, const char* path2 = nullptr,
         const char* type = nullptr) {
  const XMLElement* e = note->FirstChildElement(path1);
  if (e && path2) {
    for (e = e->FirstChildElement(path2); e; e = e->NextSiblingElement(path2)) {
      if (!type || e->Attribute("type", type)) return true;
    }
    return false;
  }
  return e && (!type || e->Attribute("type", type));
}

TEST(MusicXmlScore, BarsAndTimeSignaturesFollowTheGridAndEveryVoiceFillsItsBar) {
  const Score score(test::richSong());
  ASSERT_EQ(score.parts().size(), 2u);
  for (int part = 0; part < 2; ++part) {
    const auto measures = score.measures(part);
    ASSERT_EQ(measures.size(), 6u);
    const int expectBeats[] = {4, 4, 4, 3, 3, 4};
    for (std::size_t i = 0; i < measures.size(); ++i) {
      const Measure& m = measures[i];
      EXPECT_EQ(m.number, std::to_string(i));
      EXPECT_EQ(m.implicit, i == 0);
      EXPECT_EQ(m.beats, expectBeats[i]) << "measure " << i;
      // The pickup holds its one beat; every other bar its time signature.
      const long length = static_cast<long>(i == 0 ? 1 : m.beats) * m.divisions;
      for (const auto& [voice, sum] : m.voiceLength) {
        EXPECT_EQ(sum, length) << "part " << part << " measure " << i << " voice " << voice;
      }
    }
  }
}

TEST(MusicXmlScore, RhythmIsWrittenWithDotsTupletsTiesChordsRestsAndVoices) {
  const Score score(test::richSong());
  const auto melody = score.measures(0);
  // Bar 1: chord, dotted eighth and sixteenth, a triplet, a note tied into bar 2.
  const auto& bar1 = melody[1].notes;
  int chordNotes = 0, triplets = 0, dottedEighths = 0;
  for (const XMLElement* n : bar1) {
    chordNotes += has(n, "chord");
    triplets += textOf(n->FirstChildElement("time-modification"), "actual-notes") == "3";
    dottedEighths += textOf(n, "type") == "eighth" && has(n, "dot");
  }
  EXPECT_EQ(chordNotes, 2);
  EXPECT_EQ(triplets, 3);
  EXPECT_EQ(dottedEighths, 1);
  EXPECT_TRUE(has(bar1.back(), "notations", "tied", "start")) << pitchOf(bar1.back());
  EXPECT_TRUE(has(bar1.back(), "tie", nullptr, "start"));
  EXPECT_EQ(pitchOf(bar1.back()), "Bb4");
  const auto& bar2 = melody[2].notes;
  EXPECT_EQ(pitchOf(bar2.front()), "Bb4");
  EXPECT_TRUE(has(bar2.front(), "notations", "tied", "stop"));
  EXPECT_EQ(textOf(bar2.front(), "type"), "eighth");
  EXPECT_EQ(pitchOf(bar2[1]), "rest");

  // Bar 2: the held G under two quarters goes to a second voice; the last
  // beat, in six parts, is two triplets of sixteenths: an eighth and a
  // sixteenth under one bracket, then a whole triplet's plain eighth.
  EXPECT_EQ(melody[2].voiceLength.size(), 2u);
  std::vector<std::string> lastBeat;
  int opened = 0, closed = 0;
  for (const XMLElement* n : bar2) {
    const XMLElement* tm = n->FirstChildElement("time-modification");
    if (tm)
      lastBeat.push_back(textOf(n, "type") + " " + textOf(tm, "actual-notes") + ":" +
                         textOf(tm, "normal-notes"));
    opened += has(n, "notations", "tuplet", "start");
    closed += has(n, "notations", "tuplet", "stop");
  }
  EXPECT_EQ(lastBeat, (std::vector<std::string>{"eighth 3:2", "16th 3:2"}));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1);
  int plainEighths = 0;
  for (const XMLElement* n : bar2) {
    plainEighths +=
        pitchOf(n) == "Ab4" && textOf(n, "type") == "eighth" && !has(n, "time-modification");
  }
  EXPECT_EQ(plainEighths, 1);

  // Bar 3 has no melody: one whole-bar rest.
  ASSERT_EQ(melody[3].notes.size(), 1u);
  EXPECT_TRUE(melody[3].notes[0]->FirstChildElement("rest")->Attribute("measure", "yes"));
  // Bar 4: one dotted half; bar 5 a beat and a half as one dotted quarter.
  ASSERT_EQ(melody[4].notes.size(), 1u);
  EXPECT_EQ(textOf(melody[4].notes[0], "type"), "half");
  EXPECT_TRUE(has(melody[4].notes[0], "dot"));
  ASSERT_EQ(melody[5].notes.size(), 4u);
  EXPECT_EQ(textOf(melody[5].notes[2], "type"), "quarter");
  EXPECT_TRUE(has(melody[5].notes[2], "dot"));
}

TEST(MusicXmlScore, KeySignatureAndSpellingFollowTheKeySetting) {
  const Score score(test::richSong());
  const XMLElement* attributes =
      score.parts()[0]->FirstChildElement("measure")->FirstChildElement("attributes");
  EXPECT_EQ(textOf(attributes->FirstChildElement("key"), "fifths"), "-3");
  std::vector<std::string> bar4and5;
  const auto melody = score.measures(0);
  for (int i : {4, 5}) {
    for (const XMLElement* n : melody[static_cast<std::size_t>(i)].notes) {
      bar4and5.push_back(pitchOf(n));
    }
  }
  EXPECT_EQ(bar4and5, (std::vector<std::string>{"Gb4", "E4", "rest", "Eb4", "rest"}));
  // The bass part reads in the bass clef, the melody in the treble clef.
  EXPECT_EQ(textOf(attributes->FirstChildElement("clef"), "sign"), "G");
  EXPECT_EQ(textOf(score.parts()[1]
                       ->FirstChildElement("measure")
                       ->FirstChildElement("attributes")
                       ->FirstChildElement("clef"),
                   "sign"),
            "F");

  struct Case {
    int keySetting, midiKey;
    const char* name;
  };
  // Settings that mark C, C#, D, G, F, Bb, Eb and B as the tonic, and one out of range.
  const Case cases[] = {{0, 61, "C#4"}, {0, 70, "Bb4"}, {11, 60, "B#3"}, {10, 66, "F#4"},
                        {5, 65, "F4"},  {7, 70, "Bb4"}, {2, 63, "Eb4"},  {9, 61, "Db4"},
                        {1, 70, "A#4"}, {12, 63, "Eb4"}};
  for (const Case& c : cases) {
    const SpelledPitch p = spellPitch(c.midiKey, keyFifths(c.keySetting));
    const std::string name = std::string(1, p.step) +
                             (p.alter < 0   ? "b"
                              : p.alter > 0 ? "#"
                                            : "") +
                             std::to_string(p.octave);
    EXPECT_EQ(name, c.name) << "key " << c.keySetting << " note " << c.midiKey;
  }
}

TEST(MusicXmlScore, PartsAreTheExportedTracksWithTheirNamesAndPrograms) {
  ScoreHeader header;
  header.title = "take";
  header.trackNames = {"", "Flute", "Strings", "", "Fretless Bass"};
  header.midiPrograms = {0, 73, 48, 0, 35};
  const Score score(test::richSong(), header);
  const auto list = children(score.root->FirstChildElement("part-list"), "score-part");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_STREQ(list[0]->Attribute("id"), "P1");
  EXPECT_EQ(textOf(list[0], "part-name"), "Flute");
  EXPECT_EQ(textOf(list[1], "part-name"), "Fretless Bass");
  EXPECT_EQ(textOf(list[1]->FirstChildElement("midi-instrument"), "midi-program"), "36");
  EXPECT_EQ(textOf(score.root->FirstChildElement("work"), "work-title"), "take");
  // The note on track 2 (not exported) is nowhere.
  for (int part = 0; part < 2; ++part) {
    for (const Measure& m : score.measures(part)) {
      for (const XMLElement* n : m.notes) EXPECT_NE(pitchOf(n), "C4");
    }
  }
}

TEST(MusicXmlScore, MarkersChooseTheBarsAndTempoMarksFollowTheBeat) {
  ScoreSong song;
  song.midiOutput[1] = 1;
  song.addBeats(4, true);  // 120 BPM
  song.addBeats(4, true);
  song.interval = 700;  // 118.1 BPM: within 5 %, no new mark
  song.addBeats(4, true);
  song.interval = 600;  // 137.8 BPM
  song.addBeats(3, true);
  song.close();
  song.addNote(1, 60, 0, 0, 1, 0);   // before the range
  song.addNote(1, 62, 4, 0, 15, 0);  // from the START bar past the END bar
  song.setMarkers(4, 15);

  const Score score(song);
  const auto measures = score.measures(0);
  ASSERT_EQ(measures.size(), 3u);
  EXPECT_EQ(measures[0].number, "1");
  EXPECT_FALSE(measures[0].implicit);
  EXPECT_EQ(measures[2].beats, 3);
  // The note runs into the END bar and stops there: tied through three bars.
  EXPECT_EQ(pitchOf(measures[0].notes[0]), "D4");
  EXPECT_TRUE(has(measures[2].notes.back(), "notations", "tied", "stop"));
  EXPECT_FALSE(has(measures[2].notes.back(), "notations", "tied", "start"));

  // A missing or misplaced marker gives way to the grid's own end.
  struct RangeCase {
    std::uint32_t start, end, fromExpected, toExpected;
  };
  const std::uint32_t last = song.notes.positions - 1;
  for (const RangeCase& c : {RangeCase{0, 0, 0, last}, RangeCase{5000, 0, 5000, last},
                             RangeCase{0, 9000, 0, 9000}, RangeCase{9000, 5000, 9000, last}}) {
    NoteStore marked = test::emptyScore(song.notes.positions);
    marked.startMarker = c.start;
    marked.endMarker = c.end;
    const ExportRange r = scoreRange(marked);
    EXPECT_EQ(r.start, c.fromExpected);
    EXPECT_EQ(r.end, c.toExpected);
  }

  std::vector<std::string> marks;
  for (const XMLElement* m : children(score.parts()[0], "measure")) {
    for (const XMLElement* d : children(m, "direction")) {
      marks.push_back(std::string(m->Attribute("number")) + ":" +
                      textOf(d->FirstChildElement("direction-type")->FirstChildElement("metronome"),
                             "per-minute"));
    }
  }
  EXPECT_EQ(marks, (std::vector<std::string>{"1:120", "3:138"}));
}

TEST(MusicXmlScore, ExportWritesTheFileOrSaysWhyNot) {
  test::TempDir dir;
  const std::string path = dir.file("take.musicxml");
  test::ScriptedPrompter prompter;
  ScoreSong song = test::richSong();
  ASSERT_EQ(exportMusicXml(song.notes, valuesOf(song), {}, path, prompter), SCORE_EXPORT_WRITTEN);
  EXPECT_EQ(prompter.last(), SCORE_COMPLETED_TEXT);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u);
  EXPECT_NE(text.str().find("<score-partwise version=\"4.0\">"), std::string::npos);

  ScoreSong noTrack = test::richSong();
  noTrack.midiOutput.fill(0);
  EXPECT_EQ(exportMusicXml(noTrack.notes, valuesOf(noTrack), {}, path, prompter),
            SCORE_EXPORT_REFUSED);
  EXPECT_EQ(prompter.last(), SCORE_NO_TRACK_TEXT);

  ScoreSong oneBeat;
  oneBeat.midiOutput[1] = 1;
  oneBeat.close();
  EXPECT_EQ(exportMusicXml(oneBeat.notes, valuesOf(oneBeat), {}, path, prompter),
            SCORE_EXPORT_REFUSED);
  EXPECT_EQ(prompter.last().rfind(SCORE_BAD_GRID_TEXT, 0), 0u) << prompter.last();

  // Nine notes of one track sounding at once, each with its own start.
  ScoreSong dense;
  dense.midiOutput[2] = 1;
  dense.addBeats(4, true, {4, 4, 4, 4});
  dense.close();
  for (int i = 0; i < 9; ++i) dense.addNote(2, 50 + i, i / 4, i % 4, 4, 0);
  EXPECT_EQ(exportMusicXml(dense.notes, valuesOf(dense), {}, path, prompter), SCORE_EXPORT_REFUSED);
  EXPECT_NE(prompter.last().find("more than 8 notes of track 2"), std::string::npos)
      << prompter.last();

  EXPECT_EQ(
      exportMusicXml(song.notes, valuesOf(song), {}, dir.file("no/such/dir/x.musicxml"), prompter),
      SCORE_EXPORT_WRITE_FAILED);
}

}  // namespace
}  // namespace quavrix
