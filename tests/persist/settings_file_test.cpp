// SPDX-License-Identifier: GPL-3.0-or-later
// The settings files: round trips, the default-file fallback with its
// messages, where saves and autosaves go, and failed writes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "persist/autosave.h"
#include "persist/settings_file.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace quavrix {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void spit(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Every stored field set to a value unlike its default.
SettingValues unusualValues() {
  SettingValues v;
  v.formatVersion = 312;
  v.soundFontFile = "/banks/Große Orgel & <Co>.sf2";
  v.midiInterval = 11;
  v.tickProgram = 129;
  v.tickNote = 42;
  for (int k = 1; k <= 7; ++k) {
    v.trackProgram[k] = 10 * k + 3;
    v.trackInstrument[k] = "Instrument \"" + std::to_string(k) + "\"";
    v.midiOutput[k] = k % 2;
  }
  for (int i = 0; i < LEVEL_COUNT; ++i) v.level[i] = static_cast<float>(i * 11) / 100.0f;
  for (int i = 0; i < COLOUR_RECORD_COUNT; ++i) {
    if (i == COLOUR_TRACK_OFFSET) continue;
    ColourRecord& c = v.colours[i];
    c.r = i + 1;
    c.g = i + 20;
    c.b = i + 40;
    if (i > COLOUR_IVORY_KEY_C) {  // key records store no A and T
      c.a = i + 60;
      c.t = i + 80;
    }
  }
  for (int g = 0; g < SECTION_GROUPS; ++g)
    for (int s = 0; s < SECTION_SLOTS_STORED; ++s) v.sections[g][s] = {g * 1000 + s, -s - 1};
  v.singleNoteDelay = 17;
  v.scrollStep = 33;
  v.midiTiming = 55;
  v.tuning = -25;
  v.cKeyTo = 9;
  v.judgingTolerance = 6;
  v.autoFillTolerance = 8;
  v.displayMagnification = 3;
  return v;
}

TEST(SettingsFile, EveryStoredFieldSurvivesARoundTrip) {
  test::TempDir dir;
  const std::string path = dir.file("project.xml");
  Settings out;
  out.values = unusualValues();
  out.values.tickInstrument = "Standard";  // written but never read back
  out.values.runtimeWords[MUTE_TICK] = 1;  // never written
  ASSERT_EQ(saveSettings(out, path), 0);

  test::ScriptedPrompter prompter;
  Settings in;
  ASSERT_EQ(loadSettings(in, path, prompter), 0);
  EXPECT_TRUE(prompter.shown.empty());
  const SettingValues want = unusualValues();
  EXPECT_EQ(in.values, want);
  // Field by field, so that a failure names the field.
  EXPECT_EQ(in.values.soundFontFile, want.soundFontFile);
  EXPECT_EQ(in.values.trackInstrument, want.trackInstrument);
  EXPECT_EQ(in.values.trackProgram, want.trackProgram);
  EXPECT_EQ(in.values.midiOutput, want.midiOutput);
  EXPECT_EQ(in.values.level, want.level);
  EXPECT_EQ(in.values.colours, want.colours);
  EXPECT_EQ(in.values.sections, want.sections);
  EXPECT_EQ(in.loaded, 1);
  EXPECT_EQ(in.hasUserFile, 1);
  EXPECT_EQ(in.currentPath, path);
}

TEST(SettingsFile, MissingNamedFileWarnsAndReadsTheDefault) {
  test::TempDir dir;
  Settings defaults;
  defaults.values.tuning = 14;
  ASSERT_EQ(saveSettings(defaults, dir.file("default_settings.xml")), 0);

  test::ScriptedPrompter prompter;
  Settings s;
  s.defaultPath = dir.file("default_settings.xml");
  EXPECT_EQ(loadSettings(s, dir.file("song.xml"), prompter), 0);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, " Can't find setting file !\n Load Default settings ");
  EXPECT_EQ(prompter.shown[0].icon, Icon::Warning);
  EXPECT_EQ(s.values.tuning, 14);
  EXPECT_EQ(s.currentPath, "");
  EXPECT_EQ(s.hasUserFile, 0);
  EXPECT_EQ(s.loaded, 1);
}

TEST(SettingsFile, UnreadableFilesKeepEveryValueAndSayWhy) {
  test::TempDir dir;
  spit(dir.file("broken.xml"), "<Settings><Tuning><Cent>5</Cent></Tuning>");  // not closed
  for (const std::string& defaultPath : {dir.file("none.xml"), dir.file("broken.xml")}) {
    test::ScriptedPrompter prompter;
    Settings s;
    s.defaultPath = defaultPath;
    loadSettings(s, "", prompter);
    ASSERT_EQ(prompter.shown.size(), 1u) << defaultPath;
    EXPECT_EQ(prompter.last(),
              " Xml Doc : Can not READ SETTING XML \n Terminate this application. ");
    EXPECT_EQ(prompter.shown[0].icon, Icon::Error);
    EXPECT_EQ(s.values, SettingValues());
    EXPECT_EQ(s.loaded, 0);
  }
}

TEST(SettingsFile, FilesThatCannotBeReadOrAreNoSettingsFileAreRefusedWithTheReason) {
  test::TempDir dir;
  Settings source;
  source.values = unusualValues();
  const std::string text = settingsDocumentText(source);
  auto cases = test::unreadablePaths(dir);
  // Over the size limit, however well-formed: refused before it is parsed.
  spit(dir.file("large.xml"),
       text + "<!--" + std::string(SETTINGS_FILE_MAX_BYTES - text.size(), ' ') + "-->");
  cases.push_back({dir.file("large.xml"), "larger than 1 MB"});
  // The parser's time grows with the square of one element's attributes.
  std::string crowded = "<Settings><Tuning><Cent>5</Cent></Tuning><Track><WAV";
  for (int i = 0; i < 20000; ++i) crowded += " a" + std::to_string(i) + "='1'";
  spit(dir.file("crowded.xml"), crowded + " velo='50'/></Track></Settings>");
  cases.push_back({dir.file("crowded.xml"), "an element has more than 256 attributes"});
  spit(dir.file("broken.xml"), "<Settings>\n<Tuning><Cent>5</Cent></Tuning>");
  cases.push_back({dir.file("broken.xml"), "not well-formed XML (line 1)"});
  spit(dir.file("empty.xml"), "");
  cases.push_back({dir.file("empty.xml"), "it holds no XML"});
  for (const auto& [path, why] : cases) {
    Settings s;
    std::string reason;
    EXPECT_EQ(readSettingsFile(s, path, reason), -1) << path;
    EXPECT_EQ(reason, why) << path;
    EXPECT_EQ(s.values, SettingValues()) << path;
    EXPECT_EQ(s.loaded, 0) << path;
  }
  // Just under the limit, and with no more attributes than allowed, it reads.
  spit(dir.file("padded.xml"),
       text + "<!--" + std::string(SETTINGS_FILE_MAX_BYTES - text.size() - 7, ' ') + "-->");
  Settings s;
  std::string reason;
  EXPECT_EQ(readSettingsFile(s, dir.file("padded.xml"), reason), 0) << reason;
  EXPECT_EQ(s.values, unusualValues());
}

TEST(SettingsFile, SaveGoesToTheNamedPathOrTheLoadedProjectFile) {
  test::TempDir dir;
  test::ScriptedPrompter prompter;
  Settings s;
  // Neither a usable path nor a loaded user file: nothing to write to.
  EXPECT_EQ(saveSettings(s, ""), -1);
  EXPECT_EQ(saveSettings(s, "a.x"), -1);

  const std::string project = dir.file("take.xml");
  spit(project, "<Settings/>");
  loadSettings(s, project, prompter);
  s.values.tuning = 31;
  EXPECT_EQ(saveSettings(s, ""), 0);
  EXPECT_NE(slurp(project).find("<Cent>31</Cent>"), std::string::npos);

  const std::string other = dir.file("other.xml");
  EXPECT_EQ(saveSettings(s, other), 0);
  EXPECT_EQ(s.currentPath, other);
  EXPECT_EQ(slurp(other), settingsDocumentText(s));
}

TEST(SettingsFile, FailedWriteIsReportedAndLeavesNoDebris) {
  test::TempDir dir;
  Settings s;
  s.currentPath = dir.file("earlier.xml");
  // A folder where the file should go cannot be replaced by it.
  const std::string blocked = dir.file("take.xml");
  std::filesystem::create_directory(blocked);
  spit(blocked + "/inside", "keep");
  EXPECT_EQ(saveSettings(s, blocked), -1);
  EXPECT_EQ(s.currentPath, dir.file("earlier.xml"));
  std::filesystem::create_directory(dir.file("take-autosave.xml"));
  EXPECT_EQ(autosaveSettings(s, dir.file("take.wav")), -1);
  EXPECT_EQ(slurp(blocked + "/inside"), "keep");
  // Nothing but the two folders is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            2);
  EXPECT_EQ(saveSettings(s, dir.file("no/such/folder.xml")), -1);
  // With a loaded project file that has become unwritable, Save must not report success.
  s.hasUserFile = 1;
  s.currentPath = blocked;
  EXPECT_EQ(saveSettings(s, ""), -1);
}

TEST(SettingsFile, AutosaveSitsBesideTheRecording) {
  EXPECT_EQ(settingsAutosavePath("/rec/take1.wav"), "/rec/take1-autosave.xml");
  EXPECT_EQ(settingsAutosavePath("/rec/a.b/take.2.wav"), "/rec/a.b/take.2-autosave.xml");
  EXPECT_EQ(settingsAutosavePath("/rec/noext"), "/rec/noext-autosave.xml");

  test::TempDir dir;
  Settings s;
  s.values.cKeyTo = 7;
  EXPECT_EQ(autosaveSettings(s, dir.file("take1.wav")), 0);
  EXPECT_EQ(slurp(dir.file("take1-autosave.xml")), settingsDocumentText(s));
  // The autosave never changes where the settings are saved by name.
  EXPECT_EQ(s.currentPath, "");
  EXPECT_EQ(autosaveSettings(s, ""), -1);
}

}  // namespace
}  // namespace quavrix
