// SPDX-License-Identifier: GPL-3.0-or-later
// The settings document: its exact written form and the reader's rules for
// hand-edited and foreign files.

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "persist/settings_file.h"
#include "persist/settings_xml.h"

namespace quavrix {
namespace {

// Every file written with the built-in values must look exactly like this:
// other tools and older copies of the program read these files.
const char* const DEFAULT_DOCUMENT = R"(<?xml version="1.0"?>
<Settings>
    <!--ver. 3.1  dated:2020.12.22-->
    <Quavrix_lumo>
        <Version>310</Version>
    </Quavrix_lumo>
    <SoundFont>
        <file_name></file_name>
    </SoundFont>
    <MIDI_interval>
        <mSec_value>4</mSec_value>
    </MIDI_interval>
    <Track>
        <WAV velo="67"/>
        <MIDI velo="67"/>
        <TickTack velo="67" prg="128" instrument="" Note="36"/>
        <TR1 velo="67" prg="0" instrument="" mXML="0"/>
        <TR2 velo="67" prg="0" instrument="" mXML="0"/>
        <TR3 velo="67" prg="0" instrument="" mXML="0"/>
        <TR4 velo="67" prg="0" instrument="" mXML="0"/>
        <TR5 velo="67" prg="0" instrument="" mXML="0"/>
        <TR6 velo="67" prg="0" instrument="" mXML="0"/>
        <TR7 velo="67" prg="0" instrument="" mXML="1"/>
    </Track>
    <Lines>
        <Ebony_Key R="10" G="10" B="10"/>
        <Ivory_Key R="10" G="10" B="10"/>
        <Ivory_Key_c R="10" G="10" B="10"/>
        <Bar_Lines R="10" G="10" B="10" A="10" T="10"/>
        <Beat_Lines R="10" G="10" B="10" A="10" T="10"/>
        <Div_Lines R="10" G="10" B="10" A="10" T="10"/>
        <Note_guessing R="10" G="10" B="10" A="10" T="10"/>
        <TR1 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR2 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR3 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR4 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR5 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR6 R="10" G="10" B="10" AH="10" AT="10"/>
        <TR7 R="10" G="10" B="10" AH="10" AT="10"/>
    </Lines>
    <Section>
        <A1 T="0" B="0"/>
        <A2 T="0" B="0"/>
        <A3 T="0" B="0"/>
        <A4 T="0" B="0"/>
        <A5 T="0" B="0"/>
        <A6 T="0" B="0"/>
        <A7 T="0" B="0"/>
        <A8 T="0" B="0"/>
        <B1 T="0" B="0"/>
        <B2 T="0" B="0"/>
        <B3 T="0" B="0"/>
        <B4 T="0" B="0"/>
        <B5 T="0" B="0"/>
        <B6 T="0" B="0"/>
        <B7 T="0" B="0"/>
        <B8 T="0" B="0"/>
        <C1 T="0" B="0"/>
        <C2 T="0" B="0"/>
        <C3 T="0" B="0"/>
        <C4 T="0" B="0"/>
        <C5 T="0" B="0"/>
        <C6 T="0" B="0"/>
        <C7 T="0" B="0"/>
        <C8 T="0" B="0"/>
        <D1 T="0" B="0"/>
        <D2 T="0" B="0"/>
        <D3 T="0" B="0"/>
        <D4 T="0" B="0"/>
        <D5 T="0" B="0"/>
        <D6 T="0" B="0"/>
        <D7 T="0" B="0"/>
        <D8 T="0" B="0"/>
        <E1 T="0" B="0"/>
        <E2 T="0" B="0"/>
        <E3 T="0" B="0"/>
        <E4 T="0" B="0"/>
        <E5 T="0" B="0"/>
        <E6 T="0" B="0"/>
        <E7 T="0" B="0"/>
        <E8 T="0" B="0"/>
        <F1 T="0" B="0"/>
        <F2 T="0" B="0"/>
        <F3 T="0" B="0"/>
        <F4 T="0" B="0"/>
        <F5 T="0" B="0"/>
        <F6 T="0" B="0"/>
        <F7 T="0" B="0"/>
        <F8 T="0" B="0"/>
        <G1 T="0" B="0"/>
        <G2 T="0" B="0"/>
        <G3 T="0" B="0"/>
        <G4 T="0" B="0"/>
        <G5 T="0" B="0"/>
        <G6 T="0" B="0"/>
        <G7 T="0" B="0"/>
        <G8 T="0" B="0"/>
        <H1 T="0" B="0"/>
        <H2 T="0" B="0"/>
        <H3 T="0" B="0"/>
        <H4 T="0" B="0"/>
        <H5 T="0" B="0"/>
        <H6 T="0" B="0"/>
        <H7 T="0" B="0"/>
        <H8 T="0" B="0"/>
    </Section>
    <Single_note>
        <Delay>0</Delay>
    </Single_note>
    <Scroll>
        <Step>255</Step>
    </Scroll>
    <MIDI_Timing>
        <mSec>0</mSec>
    </MIDI_Timing>
    <Tuning>
        <Cent>0</Cent>
    </Tuning>
    <Transpose>
        <C_key_to>0</C_key_to>
    </Transpose>
    <Beat>
        <Judging_tolerance>4</Judging_tolerance>
        <AutoFill_tolerance>4</AutoFill_tolerance>
    </Beat>
    <Note_guessing>
        <Display_mag>10</Display_mag>
    </Note_guessing>
    <Playhead R="100" G="80" B="10" A="100" T="25"/>
    <Grid_on_opening>
        <value>0</value>
    </Grid_on_opening>
    <MIDI_tempo_map>
        <value>1</value>
    </MIDI_tempo_map>
</Settings>
)";

TEST(SettingsDocument, BuiltInValuesWriteTheExactDocument) {
  const Settings settings;
  EXPECT_EQ(settingsDocumentText(settings), DEFAULT_DOCUMENT);
}

Settings readText(const std::string& text, Settings settings = Settings()) {
  tinyxml2::XMLDocument doc;
  EXPECT_EQ(doc.Parse(text.c_str(), text.size()), tinyxml2::XML_SUCCESS);
  readSettingsDocument(settings, doc);
  return settings;
}

TEST(SettingsDocument, LevelsArePercentAndComeBackExactly) {
  Settings settings;
  settings.values.level = {0.0f, 1.0f, 0.53f, 0.67f, 0.01f, 0.99f, 0.333f, 0.7f, 0.29f, 0.57f};
  const std::string text = settingsDocumentText(settings);
  EXPECT_NE(text.find("<WAV velo=\"0\"/>"), std::string::npos);
  EXPECT_NE(text.find("<MIDI velo=\"100\"/>"), std::string::npos);
  // 0.333 x 100 rounds to 33, and a level read from 53 is written back as 53.
  EXPECT_NE(text.find("<TR4 velo=\"33\""), std::string::npos);
  EXPECT_NE(text.find("<TickTack velo=\"53\""), std::string::npos);
  const Settings back = readText(text);
  EXPECT_FLOAT_EQ(back.values.level[LEVEL_TRACK_OFFSET + 1], 0.67f);
  EXPECT_FLOAT_EQ(back.values.level[LEVEL_TRACK_OFFSET + 5], 0.70f);
  EXPECT_FLOAT_EQ(back.values.level[LEVEL_TRACK_OFFSET + 6], 0.29f);
  EXPECT_FLOAT_EQ(back.values.level[LEVEL_TRACK_OFFSET + 7], 0.57f);
}

TEST(SettingsDocument, NumbersAreReadLikeAHandEditedFile) {
  EXPECT_EQ(parseSettingNumber("12abc"), 12);
  EXPECT_EQ(parseSettingNumber("abc"), 0);
  EXPECT_EQ(parseSettingNumber(""), 0);
  EXPECT_EQ(parseSettingNumber("  \n -7 "), -7);
  EXPECT_EQ(parseSettingNumber("+5"), 5);
  EXPECT_EQ(parseSettingNumber("- 5"), 0);
  // Only the first 15 characters are looked at.
  EXPECT_EQ(parseSettingNumber("123456789012345678"), 2147483647);
  EXPECT_EQ(parseSettingNumber("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(parseSettingNumber("               7"), 0);
  EXPECT_EQ(parseSettingNumber("000000000000012"), 12);
  EXPECT_EQ(parseSettingNumber("0000000000000012"), 1);
}

TEST(SettingsDocument, ForeignRootCrlfAndMissingPartsAreTolerated) {
  const std::string text =
      "<?xml version=\"1.0\"?>\r\n"
      "<!-- written by hand -->\r\n"
      "<Preferences>\r\n"
      "  <Tuning>\r\n    <Cent>\r\n-12\r\n</Cent>\r\n  </Tuning>\r\n"
      "  <Scroll><Step>40px</Step></Scroll>\r\n"
      "  <Transpose><C_key_to></C_key_to></Transpose>\r\n"
      "  <SoundFont><file_name>my bank.sf2</file_name></SoundFont>\r\n"
      "</Preferences>\r\n";
  Settings before;
  before.values.cKeyTo = 5;
  before.values.midiInterval = 9;
  const Settings s = readText(text, before);
  EXPECT_EQ(s.values.tuning, -12);
  EXPECT_EQ(s.values.scrollStep, 40);
  EXPECT_EQ(s.values.cKeyTo, 0) << "an element without text reads 0";
  EXPECT_EQ(s.values.soundFontFile, "my bank.sf2");
  // Groups that are absent leave what was there.
  EXPECT_EQ(s.values.midiInterval, 9);
  EXPECT_EQ(s.values.colours, before.values.colours);
  EXPECT_EQ(s.values.trackProgram, before.values.trackProgram);
  EXPECT_EQ(s.loaded, 1);
}

TEST(SettingsDocument, SingleValueGroupsLookOnlyAtTheirFirstChild) {
  const std::string text =
      "<Settings>"
      "<Quavrix_lumo><!-- 311 --><Version>311</Version></Quavrix_lumo>"
      "<MIDI_interval><mSec>7</mSec><mSec_value>8</mSec_value></MIDI_interval>"
      "<Single_note><Delay><!--x-->5</Delay></Single_note>"
      "<Tuning><Cent>3</Cent></Tuning>"
      "<Beat><!--c--><AutoFill_tolerance>9</AutoFill_tolerance><Other>1</Other></Beat>"
      "<Lines><Note_guessing R='1' G='2' B='3' A='4' T='5'/></Lines>"
      "</Settings>";
  Settings before;
  before.values.singleNoteDelay = 77;
  const Settings s = readText(text, before);
  EXPECT_EQ(s.values.formatVersion, SETTINGS_FORMAT_VERSION) << "comment in place of the value";
  EXPECT_EQ(s.values.midiInterval, 4) << "first child has another name";
  EXPECT_EQ(s.values.singleNoteDelay, 0) << "value element whose first child is no text";
  EXPECT_EQ(s.values.tuning, 3);
  EXPECT_EQ(s.values.autoFillTolerance, 9) << "Beat examines every child";
  EXPECT_EQ(s.values.judgingTolerance, 4);
  // The Lines child of the same name does not count as the magnification group.
  EXPECT_EQ(s.values.displayMagnification, 10);
  EXPECT_EQ(s.values.colours[COLOUR_NOTE_GUESSING].t, 5);
}

TEST(SettingsDocument, TrackAttributesFollowTheirOwnMissingRules) {
  Settings before;
  before.values.trackProgram[3] = 42;
  before.values.trackInstrument[3] = "Kept";
  before.values.tickProgram = 120;
  before.values.tickNote = 40;
  before.values.midiOutput[2] = 1;
  const std::string text =
      "<Settings><Track>"
      "<WAV/>"
      "<MIDI velo='55'/>"
      "<TickTack velo='30' instrument='Ignored'/>"
      "<TR2 velo='90' prg='12' mXML='0' instrument='A name much longer than nineteen'/>"
      "<TR3/>"
      "<TR8 velo='10'/>"
      "<TR1 prg='5x'/>"
      "</Track></Settings>";
  const Settings s = readText(text, before);
  const SettingValues& v = s.values;
  EXPECT_FLOAT_EQ(v.level[LEVEL_WAV], 0.0f) << "missing velo is 0";
  EXPECT_FLOAT_EQ(v.level[LEVEL_MIDI], 0.55f);
  EXPECT_FLOAT_EQ(v.level[LEVEL_TICK], 0.30f);
  EXPECT_EQ(v.tickProgram, 120);
  EXPECT_EQ(v.tickNote, 40);
  EXPECT_EQ(v.tickInstrument, "") << "the tick instrument is never read";
  EXPECT_EQ(v.trackProgram[2], 12);
  EXPECT_EQ(v.midiOutput[2], 0);
  EXPECT_EQ(v.trackInstrument[2], "A name much longer ") << "19 characters at most";
  // Track 3 has no attributes: velo repeats the track read before, the rest stays.
  EXPECT_FLOAT_EQ(v.level[LEVEL_TRACK_OFFSET + 3], 0.90f);
  EXPECT_EQ(v.trackProgram[3], 42);
  EXPECT_EQ(v.trackInstrument[3], "Kept");
  // Track 1 comes after track 3 in this file; "5x" reads as 5.
  EXPECT_FLOAT_EQ(v.level[LEVEL_TRACK_OFFSET + 1], 0.90f);
  EXPECT_EQ(v.trackProgram[1], 5);
  // Untouched tracks keep their levels.
  EXPECT_FLOAT_EQ(v.level[LEVEL_TRACK_OFFSET + 7], DEFAULT_LEVEL);
}

TEST(SettingsDocument, ColourAttributesMissingReadZeroSectionsOnlyWhenPresent) {
  Settings before;
  before.values.sections[1][2] = {100, 200};
  before.values.sections[7][7] = {5, 6};
  const std::string text =
      "<Settings><Lines>"
      "<Bar_Lines R='50' G='60' B='70'/>"
      "<Ebony_Key R='1' G='2' B='3' A='99' T='99'/>"
      "<TR5 R='9' AT='33'/>"
      "</Lines><Section>"
      "<B3 T='300'/><H8 T='7' B='8'/><I1 T='1' B='1'/><A9 T='1' B='1'/>"
      "</Section></Settings>";
  const Settings s = readText(text, before);
  const auto& c = s.values.colours;
  EXPECT_EQ(c[COLOUR_BAR_LINES], (ColourRecord{50, 60, 70, 0, 0, {}}));
  // Key records have no A and T in the file; the built-in ones stay.
  EXPECT_EQ(c[COLOUR_EBONY_KEY], (ColourRecord{1, 2, 3, 10, 0, {}}));
  EXPECT_EQ(c[COLOUR_TRACK_OFFSET + 5], (ColourRecord{9, 0, 0, 0, 33, {}}));
  EXPECT_EQ(c[COLOUR_BEAT_LINES], before.values.colours[COLOUR_BEAT_LINES]);
  EXPECT_EQ(s.values.sections[1][2], (SectionRange{300, 200}));
  EXPECT_EQ(s.values.sections[7][7], (SectionRange{7, 8}));
  EXPECT_EQ(s.values.sections[0][8], (SectionRange{0, 0}));
}

TEST(SettingsDocument, PlayheadColourHasItsOwnElementAndDefaultsWhereAFileLacksIt) {
  Settings custom;
  custom.values.playhead = {10, 20, 30, 40, 50, {}};
  const Settings back = readText(settingsDocumentText(custom));
  EXPECT_EQ(back.values.playhead, custom.values.playhead);
  // A project from before the playhead shows the default, not the colour of
  // the project read before it.
  const Settings old = readText("<Settings><Tuning><Cent>1</Cent></Tuning></Settings>", custom);
  EXPECT_EQ(old.values.playhead, DEFAULT_PLAYHEAD);
  const Settings partial = readText("<Settings><Playhead R='90' T='5'/></Settings>");
  EXPECT_EQ(partial.values.playhead, (ColourRecord{90, 0, 0, 0, 5, {}}));
}

TEST(SettingsDocument, TempoMapHasItsOwnElementAndDefaultsToTheGrid) {
  Settings single;
  single.values.midiTempoMap = 0;
  const std::string text = settingsDocumentText(single);
  EXPECT_NE(text.find("<MIDI_tempo_map>\n        <value>0</value>\n    </MIDI_tempo_map>\n"
                      "</Settings>"),
            std::string::npos);
  EXPECT_EQ(readText(text).values.midiTempoMap, 0);
  // A file from before the setting means the grid, even over a single tempo read earlier.
  EXPECT_EQ(
      readText("<Settings><Tuning><Cent>1</Cent></Tuning></Settings>", single).values.midiTempoMap,
      1);
}

TEST(SettingsDocument, DocumentWithoutElementIsNotLoaded) {
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse("<!-- nothing here -->"), tinyxml2::XML_SUCCESS);
  Settings s;
  readSettingsDocument(s, doc);
  EXPECT_EQ(s.loaded, 0);
}

}  // namespace
TEST(SettingsDocument, GridOnOpeningReadsAsOnsetsUnlessItSaysBeats) {
  const struct {
    const char* element;
    std::int32_t expected;
  } cases[] = {
      {"", GRID_FROM_ONSETS},  // a file from before the setting
      {"<Grid_on_opening><value>1</value></Grid_on_opening>", GRID_FROM_BEATS},
      {"<Grid_on_opening><value>7</value></Grid_on_opening>", GRID_FROM_ONSETS},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("<Settings>") + c.element + "</Settings>";
    EXPECT_EQ(readText(text).values.gridOnOpening, c.expected) << c.element;
  }
  Settings beats;
  beats.values.gridOnOpening = GRID_FROM_BEATS;
  EXPECT_EQ(readText(settingsDocumentText(beats), Settings{}).values.gridOnOpening,
            GRID_FROM_BEATS);
}

}  // namespace quavrix
