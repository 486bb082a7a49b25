// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/settings_xml.h"

#include <tinyxml2.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace quavrix {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;
using tinyxml2::XMLNode;
using tinyxml2::XMLText;

namespace {

constexpr std::int64_t INT32_LOW = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t INT32_HIGH = std::numeric_limits<std::int32_t>::max();

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Blanks, sign, leading digits; `digits` tells whether there was at least one.
std::int32_t parseLeadingInt(std::string_view text, bool* digits) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    // Saturate early so that long digit runs cannot overflow the accumulator.
    if (value <= INT32_HIGH + 1) value = value * 10 + (text[i] - '0');
  }
  if (digits) *digits = any;
  if (negative) value = -value;
  if (value < INT32_LOW) value = INT32_LOW;
  if (value > INT32_HIGH) value = INT32_HIGH;
  return static_cast<std::int32_t>(value);
}

// Cuts a UTF-8 string to at most `max` bytes without splitting a character.
std::string truncateUtf8(const char* text, std::size_t max) {
  std::string s = text ? text : "";
  if (s.size() <= max) return s;
  std::size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  s.resize(cut);
  return s;
}

// A level 0..1 as the whole percent the file holds, truncated toward zero.
std::int32_t levelPercent(float level) {
  const float percent = level * 100.0f;
  if (!std::isfinite(percent)) return 0;
  if (percent <= static_cast<float>(INT32_LOW)) return static_cast<std::int32_t>(INT32_LOW);
  if (percent >= static_cast<float>(INT32_HIGH)) return static_cast<std::int32_t>(INT32_HIGH);
  // Rounded, not truncated: a level read as n / 100 must be written back as n,
  // or every save would lower some levels by one percent.
  return static_cast<std::int32_t>(std::lround(percent));
}

float percentLevel(std::int32_t percent) {
  return static_cast<float>(percent) / 100.0f;
}

bool hasName(const XMLElement* e, const char* name) {
  return std::strcmp(e->Name(), name) == 0;
}

// An integer attribute read like "%d"; false when absent or without digits.
bool intAttribute(const XMLElement* e, const char* name, std::int32_t* out) {
  const char* text = e->Attribute(name);
  if (!text) return false;
  bool digits = false;
  const std::int32_t v = parseLeadingInt(text, &digits);
  if (!digits) return false;
  *out = v;
  return true;
}

std::int32_t intAttributeOrZero(const XMLElement* e, const char* name) {
  std::int32_t v = 0;
  return intAttribute(e, name, &v) ? v : 0;
}

// The text of a value element: its first child if that is text, else empty.
std::string valueText(const XMLElement* e) {
  const XMLNode* first = e->FirstChild();
  const XMLText* text = first ? first->ToText() : nullptr;
  return text && text->Value() ? std::string(text->Value()) : std::string();
}

// A single-value group counts only when its very first child is the expected
// element; anything else in that place (a comment, another element) leaves
// the value untouched.
const XMLElement* singleValue(const XMLElement* root, const char* group, const char* child) {
  const XMLElement* g = root->FirstChildElement(group);
  if (!g) return nullptr;
  const XMLNode* first = g->FirstChild();
  const XMLElement* e = first ? first->ToElement() : nullptr;
  return (e && hasName(e, child)) ? e : nullptr;
}

void readNumber(const XMLElement* root, const char* group, const char* child, std::int32_t* out) {
  if (const XMLElement* e = singleValue(root, group, child))
    *out = parseSettingNumber(valueText(e));
}

XMLElement* addElement(XMLDocument& doc, XMLNode* parent, const char* name) {
  XMLElement* e = doc.NewElement(name);
  parent->InsertEndChild(e);
  return e;
}

void addValue(XMLDocument& doc, XMLNode* root, const char* group, const char* child,
              const std::string& text) {
  XMLElement* e = addElement(doc, addElement(doc, root, group), child);
  e->SetText(text.c_str());
}

void addNumber(XMLDocument& doc, XMLNode* root, const char* group, const char* child,
               std::int32_t value) {
  addValue(doc, root, group, child, std::to_string(value));
}

void writeTrackGroup(const Settings& s, XMLDocument& doc, XMLNode* root) {
  const SettingNames& n = s.names;
  const SettingValues& v = s.values;
  XMLElement* track = addElement(doc, root, n.trackGroup);
  addElement(doc, track, n.wav)->SetAttribute(n.velo, levelPercent(v.level[LEVEL_WAV]));
  addElement(doc, track, n.midi)->SetAttribute(n.velo, levelPercent(v.level[LEVEL_MIDI]));
  XMLElement* tick = addElement(doc, track, n.tick);
  tick->SetAttribute(n.velo, levelPercent(v.level[LEVEL_TICK]));
  tick->SetAttribute(n.prg, v.tickProgram);
  tick->SetAttribute(n.instrument, v.tickInstrument.c_str());
  tick->SetAttribute(n.note, v.tickNote);
  for (int k = FIRST_SETTING_TRACK; k <= LAST_SETTING_TRACK; ++k) {
    XMLElement* tr = addElement(doc, track, n.tracks[k]);
    tr->SetAttribute(n.velo, levelPercent(v.level[k + LEVEL_TRACK_OFFSET]));
    tr->SetAttribute(n.prg, v.trackProgram[k]);
    tr->SetAttribute(n.instrument, v.trackInstrument[k].c_str());
    tr->SetAttribute(n.midiOutput, v.midiOutput[k]);
  }
}

void writeLinesGroup(const Settings& s, XMLDocument& doc, XMLNode* root) {
  const SettingNames& n = s.names;
  XMLElement* lines = addElement(doc, root, n.linesGroup);
  for (int i = 0; i < COLOUR_TRACK_OFFSET; ++i) {
    const ColourRecord& c = s.values.colours[i];
    XMLElement* e = addElement(doc, lines, n.colourRecords[i]);
    e->SetAttribute(n.r, c.r);
    e->SetAttribute(n.g, c.g);
    e->SetAttribute(n.b, c.b);
    if (i > COLOUR_IVORY_KEY_C) {
      e->SetAttribute(n.a, c.a);
      e->SetAttribute(n.t, c.t);
    }
  }
  for (int k = FIRST_SETTING_TRACK; k <= LAST_SETTING_TRACK; ++k) {
    const ColourRecord& c = s.values.colours[k + COLOUR_TRACK_OFFSET];
    XMLElement* e = addElement(doc, lines, n.tracks[k]);
    e->SetAttribute(n.r, c.r);
    e->SetAttribute(n.g, c.g);
    e->SetAttribute(n.b, c.b);
    e->SetAttribute(n.headAlpha, c.a);
    e->SetAttribute(n.tailAlpha, c.t);
  }
}

void writeSectionGroup(const Settings& s, XMLDocument& doc, XMLNode* root) {
  const SettingNames& n = s.names;
  XMLElement* section = addElement(doc, root, n.sectionGroup);
  for (int g = 0; g < SECTION_GROUPS; ++g) {
    for (int slot = 0; slot < SECTION_SLOTS_STORED; ++slot) {
      const SectionRange& r = s.values.sections[g][slot];
      XMLElement* e = addElement(doc, section, n.sections[g * SECTION_SLOTS_STORED + slot].data());
      e->SetAttribute(n.sectionStart, r.start);
      e->SetAttribute(n.sectionEnd, r.end);
    }
  }
}

void readTrackGroup(Settings& s, const XMLElement* root) {
  const SettingNames& n = s.names;
  SettingValues& v = s.values;
  const XMLElement* group = root->FirstChildElement(n.trackGroup);
  if (!group) return;
  // A track element without velo repeats the one read before it.
  std::int32_t trackVelo = 0;
  for (const XMLElement* e = group->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (hasName(e, n.wav)) {
      v.level[LEVEL_WAV] = percentLevel(intAttributeOrZero(e, n.velo));
    } else if (hasName(e, n.midi)) {
      v.level[LEVEL_MIDI] = percentLevel(intAttributeOrZero(e, n.velo));
    } else if (hasName(e, n.tick)) {
      v.level[LEVEL_TICK] = percentLevel(intAttributeOrZero(e, n.velo));
      intAttribute(e, n.prg, &v.tickProgram);
      intAttribute(e, n.note, &v.tickNote);
    } else {
      for (int k = FIRST_SETTING_TRACK; k <= LAST_SETTING_TRACK; ++k) {
        if (!hasName(e, n.tracks[k])) continue;
        intAttribute(e, n.velo, &trackVelo);
        v.level[k + LEVEL_TRACK_OFFSET] = percentLevel(trackVelo);
        intAttribute(e, n.prg, &v.trackProgram[k]);
        intAttribute(e, n.midiOutput, &v.midiOutput[k]);
        if (const char* name = e->Attribute(n.instrument)) {
          v.trackInstrument[k] = truncateUtf8(name, INSTRUMENT_NAME_MAX);
        }
        break;
      }
    }
  }
}

void readColour(const SettingNames& n, const XMLElement* e, ColourRecord& c, const char* alpha,
                const char* thickness) {
  c.r = intAttributeOrZero(e, n.r);
  c.g = intAttributeOrZero(e, n.g);
  c.b = intAttributeOrZero(e, n.b);
  if (alpha) c.a = intAttributeOrZero(e, alpha);
  if (thickness) c.t = intAttributeOrZero(e, thickness);
}

void readLinesGroup(Settings& s, const XMLElement* root) {
  const SettingNames& n = s.names;
  const XMLElement* group = root->FirstChildElement(n.linesGroup);
  if (!group) return;
  for (const XMLElement* e = group->FirstChildElement(); e; e = e->NextSiblingElement()) {
    for (int i = 0; i < COLOUR_TRACK_OFFSET; ++i) {
      if (!hasName(e, n.colourRecords[i])) continue;
      const bool keyRecord = i <= COLOUR_IVORY_KEY_C;
      readColour(n, e, s.values.colours[i], keyRecord ? nullptr : n.a, keyRecord ? nullptr : n.t);
    }
    for (int k = FIRST_SETTING_TRACK; k <= LAST_SETTING_TRACK; ++k) {
      if (!hasName(e, n.tracks[k])) continue;
      readColour(n, e, s.values.colours[k + COLOUR_TRACK_OFFSET], n.headAlpha, n.tailAlpha);
    }
  }
}

void readSectionGroup(Settings& s, const XMLElement* root) {
  const SettingNames& n = s.names;
  const XMLElement* group = root->FirstChildElement(n.sectionGroup);
  if (!group) return;
  for (const XMLElement* e = group->FirstChildElement(); e; e = e->NextSiblingElement()) {
    for (std::size_t i = 0; i < n.sections.size(); ++i) {
      if (!hasName(e, n.sections[i].data())) continue;
      SectionRange& r = s.values.sections[i / SECTION_SLOTS_STORED][i % SECTION_SLOTS_STORED];
      intAttribute(e, n.sectionStart, &r.start);
      intAttribute(e, n.sectionEnd, &r.end);
      break;
    }
  }
}

void readBeatGroup(Settings& s, const XMLElement* root) {
  const SettingNames& n = s.names;
  const XMLElement* group = root->FirstChildElement(n.beatGroup);
  if (!group) return;
  for (const XMLElement* e = group->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (hasName(e, n.judgingTolerance)) {
      s.values.judgingTolerance = parseSettingNumber(valueText(e));
    } else if (hasName(e, n.autoFillTolerance)) {
      s.values.autoFillTolerance = parseSettingNumber(valueText(e));
    }
  }
}

}  // namespace

std::int32_t parseSettingNumber(std::string_view text) {
  return parseLeadingInt(text.substr(0, SETTING_NUMBER_CHARS), nullptr);
}

void buildSettingsDocument(const Settings& s, XMLDocument& doc) {
  const SettingNames& n = s.names;
  const SettingValues& v = s.values;
  // Version only: no encoding, no standalone, as every file before ours.
  doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\""));
  XMLElement* root = addElement(doc, &doc, n.root);
  root->InsertEndChild(doc.NewComment(n.comment));
  addNumber(doc, root, n.versionGroup, n.version, v.formatVersion);
  addValue(doc, root, n.soundFontGroup, n.soundFontFile, v.soundFontFile);
  addNumber(doc, root, n.intervalGroup, n.interval, v.midiInterval);
  writeTrackGroup(s, doc, root);
  writeLinesGroup(s, doc, root);
  writeSectionGroup(s, doc, root);
  addNumber(doc, root, n.singleNoteGroup, n.singleNote, v.singleNoteDelay);
  addNumber(doc, root, n.scrollGroup, n.scroll, v.scrollStep);
  addNumber(doc, root, n.timingGroup, n.timing, v.midiTiming);
  addNumber(doc, root, n.tuningGroup, n.tuning, v.tuning);
  addNumber(doc, root, n.transposeGroup, n.transpose, v.cKeyTo);
  XMLElement* beat = addElement(doc, root, n.beatGroup);
  addElement(doc, beat, n.judgingTolerance)->SetText(std::to_string(v.judgingTolerance).c_str());
  addElement(doc, beat, n.autoFillTolerance)->SetText(std::to_string(v.autoFillTolerance).c_str());
  addNumber(doc, root, n.guessingGroup, n.magnification, v.displayMagnification);
  XMLElement* playhead = addElement(doc, root, n.playhead);
  playhead->SetAttribute(n.r, v.playhead.r);
  playhead->SetAttribute(n.g, v.playhead.g);
  playhead->SetAttribute(n.b, v.playhead.b);
  playhead->SetAttribute(n.a, v.playhead.a);
  playhead->SetAttribute(n.t, v.playhead.t);
  addNumber(doc, root, n.gridOnOpeningGroup, n.gridOnOpening, v.gridOnOpening);
  addNumber(doc, root, n.tempoMapGroup, n.tempoMap, v.midiTempoMap);
}

void readSettingsDocument(Settings& s, const XMLDocument& doc) {
  const SettingNames& n = s.names;
  SettingValues& v = s.values;
  // Files from other tools name the root differently; the groups are what count.
  const XMLElement* root = doc.FirstChildElement();
  if (!root) return;

  readNumber(root, n.versionGroup, n.version, &v.formatVersion);
  if (const XMLElement* e = singleValue(root, n.soundFontGroup, n.soundFontFile)) {
    v.soundFontFile = truncateUtf8(valueText(e).c_str(), SOUNDFONT_NAME_MAX);
  }
  readNumber(root, n.intervalGroup, n.interval, &v.midiInterval);
  readTrackGroup(s, root);
  readLinesGroup(s, root);
  readSectionGroup(s, root);
  readNumber(root, n.singleNoteGroup, n.singleNote, &v.singleNoteDelay);
  readNumber(root, n.scrollGroup, n.scroll, &v.scrollStep);
  readNumber(root, n.timingGroup, n.timing, &v.midiTiming);
  readNumber(root, n.tuningGroup, n.tuning, &v.tuning);
  readNumber(root, n.transposeGroup, n.transpose, &v.cKeyTo);
  readBeatGroup(s, root);
  readNumber(root, n.guessingGroup, n.magnification, &v.displayMagnification);
  // Files from before the playhead get its default, not the colour of the
  // project read before them.
  v.playhead = DEFAULT_PLAYHEAD;
  if (const XMLElement* e = root->FirstChildElement(n.playhead)) {
    readColour(n, e, v.playhead, n.a, n.t);
  }
  // Files from before the setting open grids as they always did.
  v.gridOnOpening = GRID_FROM_ONSETS;
  readNumber(root, n.gridOnOpeningGroup, n.gridOnOpening, &v.gridOnOpening);
  if (v.gridOnOpening != GRID_FROM_BEATS) v.gridOnOpening = GRID_FROM_ONSETS;
  // Files from before the tempo map mean the default, whatever was read before.
  v.midiTempoMap = SettingValues().midiTempoMap;
  readNumber(root, n.tempoMapGroup, n.tempoMap, &v.midiTempoMap);
  s.loaded = 1;
}

}  // namespace quavrix
