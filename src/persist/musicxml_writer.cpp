// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/musicxml_writer.h"

#include <tinyxml2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <new>

#include "base/atomic_file.h"
#include "persist/pitch_spelling.h"
#include "persist/score_notation.h"

namespace quavrix {

namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

// A new mark is written where a measure's tempo differs from the last mark
// by more than this share, so that the unsteady beat of a recording does
// not litter the score with marks.
constexpr float TEMPO_MARK_CHANGE = 0.05f;
// Below this mean pitch a part is written in the bass clef.
constexpr int BASS_CLEF_BELOW = 60;
// Notation programs keep four voices on a staff; a track that needs more
// gets a second staff for voices 5 to 8.
constexpr int VOICES_PER_STAFF = 4;

XMLElement* add(XMLElement* parent, const char* name) {
  XMLElement* e = parent->GetDocument()->NewElement(name);
  parent->InsertEndChild(e);
  return e;
}

XMLElement* addText(XMLElement* parent, const char* name, const std::string& text) {
  XMLElement* e = add(parent, name);
  e->SetText(text.c_str());
  return e;
}

XMLElement* addNumber(XMLElement* parent, const char* name, std::int64_t value) {
  return addText(parent, name, std::to_string(value));
}

const char* typeName(int exponent) {
  static constexpr std::array<const char*, 13> NAMES = {
      "1024th", "512th",   "256th", "128th", "64th",  "32nd", "16th",
      "eighth", "quarter", "half",  "whole", "breve", "long"};
  const int i = exponent + 8;
  return i >= 0 && i < static_cast<int>(NAMES.size()) ? NAMES[static_cast<std::size_t>(i)]
                                                      : "quarter";
}

// A written value with what joins it to its neighbours.
struct Placed {
  const VoiceSpan* span = nullptr;
  WrittenValue value;
  bool tieStop = false;
  bool tieStart = false;
  bool tupletStart = false;
  bool tupletStop = false;
};

std::vector<Placed> placeValues(const ScoreGrid& grid, const std::vector<VoiceSpan>& spans) {
  std::vector<Placed> placed;
  for (const VoiceSpan& span : spans) {
    const std::vector<WrittenValue> values = notateSpan(grid, span.from, span.to);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const bool note = span.chord != nullptr;
      placed.push_back({&span, values[i], note && (i > 0 || span.tiedIn),
                        note && (i + 1 < values.size() || span.tiedOut), false, false});
    }
  }
  // A bracket opens on the first value of its group and closes on the last.
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const WrittenValue& v = placed[i].value;
    if (v.tupletActual == 0) continue;
    const auto sameTuplet = [&](std::size_t j) {
      return placed[j].value.tupletActual != 0 && placed[j].value.bracket == v.bracket;
    };
    placed[i].tupletStart = i == 0 || !sameTuplet(i - 1);
    placed[i].tupletStop = i + 1 == placed.size() || !sameTuplet(i + 1);
  }
  return placed;
}

void addTies(XMLElement* note, const Placed& p, XMLElement* notations) {
  if (p.tieStop) add(note, "tie")->SetAttribute("type", "stop");
  if (p.tieStart) add(note, "tie")->SetAttribute("type", "start");
  if (p.tieStop) add(notations, "tied")->SetAttribute("type", "stop");
  if (p.tieStart) add(notations, "tied")->SetAttribute("type", "start");
}

int staffOf(int voice, int staves) {
  return staves == 1 ? 0 : (voice - 1) / VOICES_PER_STAFF + 1;
}

// `staff` 0: the part has one staff.
void writeValue(XMLElement* measure, const Placed& p, int voice, int staff, int fifths) {
  const std::vector<int> rest = {0};
  const std::vector<int>& keys = p.span->chord ? p.span->chord->midiKeys : rest;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    XMLElement* note = add(measure, "note");
    if (k > 0) add(note, "chord");
    if (p.span->chord) {
      const SpelledPitch pitch = spellPitch(keys[k], fifths);
      XMLElement* pe = add(note, "pitch");
      addText(pe, "step", std::string(1, pitch.step));
      if (pitch.alter != 0) addNumber(pe, "alter", pitch.alter);
      addNumber(pe, "octave", pitch.octave);
    } else {
      add(note, "rest");
    }
    addNumber(note, "duration", p.value.duration);
    // Ties are written after the duration, their notations at the end; keep
    // the notations element aside until its place comes.
    XMLElement* notations = measure->GetDocument()->NewElement("notations");
    if (p.span->chord) addTies(note, p, notations);
    addNumber(note, "voice", voice);
    addText(note, "type", typeName(p.value.typeExponent));
    for (int d = 0; d < p.value.dots; ++d) add(note, "dot");
    if (p.value.tupletActual != 0) {
      XMLElement* tm = add(note, "time-modification");
      addNumber(tm, "actual-notes", p.value.tupletActual);
      addNumber(tm, "normal-notes", p.value.tupletNormal);
      if (k == 0 && p.tupletStart) {
        XMLElement* t = add(notations, "tuplet");
        t->SetAttribute("type", "start");
        t->SetAttribute("bracket", "yes");
      }
      if (k == 0 && p.tupletStop) add(notations, "tuplet")->SetAttribute("type", "stop");
    }
    if (staff != 0) addNumber(note, "staff", staff);
    if (notations->FirstChild()) {
      note->InsertEndChild(notations);
    } else {
      measure->GetDocument()->DeleteNode(notations);
    }
  }
}

void writeMeasureRest(XMLElement* measure, std::int64_t duration, int voice, int staff) {
  XMLElement* note = add(measure, "note");
  add(note, "rest")->SetAttribute("measure", "yes");
  addNumber(note, "duration", duration);
  addNumber(note, "voice", voice);
  if (staff != 0) addNumber(note, "staff", staff);
}

void writeTempo(XMLElement* measure, float tempo) {
  XMLElement* direction = add(measure, "direction");
  direction->SetAttribute("placement", "above");
  XMLElement* metronome = add(add(direction, "direction-type"), "metronome");
  addText(metronome, "beat-unit", "quarter");
  addNumber(metronome, "per-minute", std::lround(tempo));
  char exact[32];
  std::snprintf(exact, sizeof exact, "%.2f", static_cast<double>(tempo));
  add(direction, "sound")->SetAttribute("tempo", exact);
}

std::vector<bool> tempoMarks(const ScoreGrid& grid) {
  std::vector<bool> marks(grid.measures.size(), false);
  float last = 0.0f;
  for (std::size_t i = 0; i < grid.measures.size(); ++i) {
    const float t = grid.measures[i].tempo;
    if (i == 0 || std::fabs(t / last - 1.0f) > TEMPO_MARK_CHANGE) {
      marks[i] = true;
      last = t;
    }
  }
  return marks;
}

struct PartWriter {
  const ScoreGrid& grid;
  int fifths = 0;
  bool withTempo = false;  // tempo marks go into the first part only
  std::vector<bool> marks;

  void write(XMLElement* part, const std::vector<GridNote>& trackNotes) const {
    const std::vector<ChordGroup> chords = voicedChords(trackNotes);
    int voices = 1;
    long keySum = 0;
    for (const ChordGroup& c : chords) voices = std::max(voices, c.voice);
    for (const GridNote& n : trackNotes) keySum += n.midiKey;
    const bool bass = !trackNotes.empty() && keySum < static_cast<long>(BASS_CLEF_BELOW) *
                                                          static_cast<long>(trackNotes.size());
    const int staves = voices > VOICES_PER_STAFF ? 2 : 1;
    int shownBeats = 0;
    int number = grid.measures.front().pickup ? 0 : 1;
    for (std::size_t i = 0; i < grid.measures.size(); ++i, ++number) {
      const GridMeasure& m = grid.measures[i];
      XMLElement* measure = add(part, "measure");
      measure->SetAttribute("number", std::to_string(number).c_str());
      if (m.pickup) measure->SetAttribute("implicit", "yes");
      // A pickup shows the time of the bar it leads into.
      const int beats = m.pickup ? grid.measures[i + 1].beats : m.beats;
      if (i == 0 || beats != shownBeats) {
        XMLElement* attributes = add(measure, "attributes");
        if (i == 0) {
          addNumber(attributes, "divisions", grid.unitsPerBeat);
          XMLElement* key = add(attributes, "key");
          addNumber(key, "fifths", fifths);
          addText(key, "mode", "major");
        }
        XMLElement* time = add(attributes, "time");
        addNumber(time, "beats", beats);
        addNumber(time, "beat-type", 4);
        if (i == 0 && staves == 2) {
          // The upper voices above, the lower ones below, as on a grand staff.
          addNumber(attributes, "staves", 2);
          for (int staff = 1; staff <= 2; ++staff) {
            XMLElement* clef = add(attributes, "clef");
            clef->SetAttribute("number", staff);
            addText(clef, "sign", staff == 1 ? "G" : "F");
            addNumber(clef, "line", staff == 1 ? 2 : 4);
          }
        } else if (i == 0) {
          XMLElement* clef = add(attributes, "clef");
          addText(clef, "sign", bass ? "F" : "G");
          addNumber(clef, "line", bass ? 4 : 2);
        }
        shownBeats = beats;
      }
      if (withTempo && marks[i]) writeTempo(measure, m.tempo);
      const std::int64_t length = grid.measureEnd(m) - grid.measureStart(m);
      for (int v = 1; v <= voices; ++v) {
        const std::vector<VoiceSpan> spans = voiceSpans(grid, m, chords, v);
        // Every staff shows its first voice, a bar's rest where it is silent.
        const bool firstOnStaff = (v - 1) % VOICES_PER_STAFF == 0;
        if (spans.empty() && !firstOnStaff) continue;
        if (v > 1) addNumber(add(measure, "backup"), "duration", length);
        if (spans.empty()) {
          writeMeasureRest(measure, length, v, staffOf(v, staves));
          continue;
        }
        for (const Placed& p : placeValues(grid, spans)) {
          writeValue(measure, p, v, staffOf(v, staves), fifths);
        }
      }
    }
  }
};

// "P<track>". Appended rather than written "P" + ...: GCC 12 warns falsely
// about overlapping copies in that form at -O3.
std::string partId(int track) {
  std::string id = "P";
  id += std::to_string(track);
  return id;
}

void writePartList(XMLElement* root, const SettingValues& values, const ScoreHeader& header) {
  XMLElement* list = add(root, "part-list");
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    if (values.midiOutput[t] == 0) continue;
    const std::string id = partId(t);
    const std::string instrument = id + "-I1";
    XMLElement* part = add(list, "score-part");
    part->SetAttribute("id", id.c_str());
    const std::string& name = header.trackNames[t];
    addText(part, "part-name", name.empty() ? "Track " + std::to_string(t) : name);
    XMLElement* si = add(part, "score-instrument");
    si->SetAttribute("id", instrument.c_str());
    addText(si, "instrument-name", name.empty() ? "Track " + std::to_string(t) : name);
    XMLElement* mi = add(part, "midi-instrument");
    mi->SetAttribute("id", instrument.c_str());
    // Channel of the track as the MIDI export uses it, counted from 1.
    addNumber(mi, "midi-channel", t + 1);
    addNumber(mi, "midi-program", std::clamp(header.midiPrograms[t], 0, 127) + 1);
  }
}

}  // namespace

std::vector<GridNote> trackNotes(const ScoreGrid& grid, int track) {
  std::vector<GridNote> out;
  for (const GridNote& n : grid.notes) {
    if (n.track == track) out.push_back(n);
  }
  return out;
}

int voicesNeeded(const std::vector<GridNote>& notes) {
  int voices = notes.empty() ? 0 : 1;
  for (const ChordGroup& c : voicedChords(notes)) voices = std::max(voices, c.voice);
  return voices;
}

std::string scoreDocument(const ScoreGrid& grid, const SettingValues& values,
                          const ScoreHeader& header) {
  XMLDocument doc;
  doc.InsertEndChild(
      doc.NewDeclaration("xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\""));
  doc.InsertEndChild(
      doc.NewUnknown("DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 "
                     "Partwise//EN\" \"http://www.musicxml.org/dtds/partwise.dtd\""));
  XMLElement* root = doc.NewElement("score-partwise");
  root->SetAttribute("version", "4.0");
  doc.InsertEndChild(root);
  if (!header.title.empty()) addText(add(root, "work"), "work-title", header.title);
  addText(add(add(root, "identification"), "encoding"), "software", "Quavrix");
  writePartList(root, values, header);

  PartWriter writer{grid, keyFifths(values.cKeyTo), true, tempoMarks(grid)};
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
    if (values.midiOutput[t] == 0) continue;
    XMLElement* part = add(root, "part");
    part->SetAttribute("id", partId(t).c_str());
    writer.write(part, trackNotes(grid, t));
    writer.withTempo = false;
  }
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() - 1));
}

int exportMusicXml(const NoteStore& notes, const SettingValues& values, const ScoreHeader& header,
                   const std::string& path, Prompter& prompter, std::string* failure) {
  bool anyTrack = false;
  for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t)
    anyTrack |= values.midiOutput[t] != 0;
  if (!anyTrack) {
    prompter.error(SCORE_NO_TRACK_TEXT);
    return SCORE_EXPORT_REFUSED;
  }
  std::string text;
  try {
    ScoreGrid grid;
    std::string reason;
    if (!buildScoreGrid(notes, values, scoreRange(notes), grid, reason)) {
      prompter.error(std::string(SCORE_BAD_GRID_TEXT) + reason + ". ");
      return SCORE_EXPORT_REFUSED;
    }
    for (int t = FIRST_SETTING_TRACK; t <= LAST_SETTING_TRACK; ++t) {
      if (values.midiOutput[t] != 0 && voicesNeeded(trackNotes(grid, t)) > SCORE_MAX_VOICES) {
        prompter.error(std::string(SCORE_BAD_GRID_TEXT) + "more than " +
                       std::to_string(SCORE_MAX_VOICES) + " notes of track " + std::to_string(t) +
                       " sound at once with different starts or ends. ");
        return SCORE_EXPORT_REFUSED;
      }
    }
    text = scoreDocument(grid, values, header);
  } catch (const std::bad_alloc&) {
    if (failure) *failure = "not enough memory";
    prompter.error(std::string(SCORE_WRITE_FAILED_TEXT) + path);
    return SCORE_EXPORT_WRITE_FAILED;
  }
  // Through a temporary file renamed over the target: an old score survives a failure.
  if (path.empty() || !writeFileAtomically(path, text.data(), text.size(), failure)) {
    prompter.error(std::string(SCORE_WRITE_FAILED_TEXT) + path);
    return SCORE_EXPORT_WRITE_FAILED;
  }
  prompter.information(SCORE_COMPLETED_TEXT);
  return SCORE_EXPORT_WRITTEN;
}

}  // namespace quavrix
