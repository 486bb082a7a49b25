// SPDX-License-Identifier: GPL-3.0-or-later
// The Settings and Colour Settings dialogs on the offscreen platform, typed
// into and clicked as a person would, alone and inside the real window.

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>

#include "engine/engine.h"
#include "engine/settings_apply.h"
#include "persist/settings_file.h"
#include "qt_app.h"
#include "support/engine/project_fixture.h"
#include "support/sf2_writer.h"
#include "synth/sampler.h"
#include "synth/soundfont.h"
#include "ui/qt/child_view.h"
#include "ui/qt/colors_dlg.h"
#include "ui/qt/dialog_style.h"
#include "ui/qt/main_frame.h"
#include "ui/qt/sound_font_dlg.h"

namespace quavrix {
namespace {

// A bank of `count` presets over one sine sample.
test::Sf2Description presetFont(int count) {
  test::Sf2Description d;
  test::Sf2Sample sample;
  sample.name = "sine";
  sample.points = test::sinePoints(440.0, 44100.0, 4410);
  d.samples.push_back(sample);
  d.instruments.push_back({"inst", {{{}, 0}}});
  for (int i = 0; i < count; ++i)
    d.presets.push_back({"preset " + std::to_string(i), i, 0, {{{}, 0}}});
  return d;
}

std::vector<std::string> presetNames(int count) {
  const auto bytes = test::buildSf2(presetFont(count));
  return dialogPresetNames(*loadSoundFontMemory(bytes.data(), bytes.size()));
}

template <class T>
T* control(QWidget& dialog, int id) {
  T* found = dialog.findChild<T*>(controlName(id));
  EXPECT_NE(found, nullptr) << "id" << id;
  return found;
}

// Replaces the edit's text by typing, one key at a time.
void type(QWidget& dialog, int id, const QString& text) {
  QLineEdit* edit = control<QLineEdit>(dialog, id);
  edit->selectAll();
  if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

QString shown(QWidget& dialog, int id) {
  return control<QLineEdit>(dialog, id)->text();
}

void click(QWidget& dialog, int id) {
  QTest::mouseClick(control<QPushButton>(dialog, id), Qt::LeftButton);
}

// Runs `act` on the dialog of type T once it is the modal window.
template <class T>
void whenModal(std::function<void(T&)> act) {
  auto* timer = new QTimer(&test::qtApp());
  auto waited = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act, waited] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog && ++*waited < 2000) return;
    timer->stop();
    timer->deleteLater();
    if (dialog) return act(*dialog);
    ADD_FAILURE() << "the dialog never came";
    if (QWidget* other = QApplication::activeModalWidget()) other->close();
  });
  timer->start(5);
}

struct Dialog : ::testing::Test {
  Dialog() { test::qtApp(); }
  std::unique_ptr<SoundFontDlg> open(std::vector<std::string> names = presetNames(1)) {
    auto dialog = std::make_unique<SoundFontDlg>(settings(), settings().values, std::move(names),
                                                 fixture.prompter, fixture.files);
    dialog->show();
    return dialog;
  }
  Settings& settings() { return fixture.engine->settings; }
  test::ProjectFixture fixture;
};

TEST_F(Dialog, GridOnOpeningOffersOnsetsAndBeats) {
  settings().values.gridOnOpening = GRID_FROM_BEATS;
  auto dialog = open();
  auto* choice = dialog->findChild<QComboBox*>(controlName(GRID_ON_OPENING_ID));
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(choice->currentText(), QString("beats"));
  choice->setCurrentIndex(0);
  Q_EMIT choice->activated(0);
  EXPECT_EQ(settings().values.gridOnOpening, GRID_FROM_ONSETS);
}

TEST_F(Dialog, NumberEditsTakeTheNearestLimitAndLeaveUnfinishedTypingAlone) {
  // Never read from a file: the dialog still shows and edits the values in use.
  settings().loaded = 0;
  settings().values.tuning = 7;
  struct Case {
    int id;
    QString typed;
    QString shown;
    std::function<bool(const SettingValues&)> stored;
    std::uint8_t ApplyFlags::*marks;
  };
  const Case cases[] = {
      {1316, "150", "100", [](auto& v) { return v.level[3] == 1.0f; }, &ApplyFlags::sound},
      {1379, "-5", "-5", [](auto& v) { return v.tuning == -5; }, &ApplyFlags::sound},
      {1379, "-150", "-100", [](auto& v) { return v.tuning == -100; }, &ApplyFlags::sound},
      {1379, "-", "-", [](auto& v) { return v.tuning == 7; }, nullptr},
      {1375, "", "", [](auto& v) { return v.level[0] == DEFAULT_LEVEL; }, nullptr},
      {1272, "0", "1", [](auto& v) { return v.displayMagnification == 1; }, &ApplyFlags::sound},
      {1314, "200", "128", [](auto& v) { return v.trackProgram[1] == 128; }, &ApplyFlags::programs},
      {1374, "90", "81", [](auto& v) { return v.tickNote == 81; }, &ApplyFlags::programs},
  };
  for (const Case& c : cases) {
    settings().values.tuning = 7;
    settings().applyFlags = {};
    auto dialog = open(presetNames(128));
    type(*dialog, c.id, c.typed);
    EXPECT_EQ(shown(*dialog, c.id), c.shown) << c.id << " " << c.typed.toStdString();
    EXPECT_TRUE(c.stored(settings().values)) << c.id << " " << c.typed.toStdString();
    if (c.marks) {
      EXPECT_EQ(settings().applyFlags.*c.marks, 1) << c.id;
    } else {
      EXPECT_EQ(settings().applyFlags.sound, 0) << "nothing stored yet";
    }
  }
  // Leaving an empty edit: the magnification takes 1, never 0. Enter leaves it
  // and does not close the dialog.
  auto dialog = open();
  type(*dialog, 1272, "");
  QTest::keyClick(control<QLineEdit>(*dialog, 1272), Qt::Key_Return);
  EXPECT_EQ(shown(*dialog, 1272), "1");
  EXPECT_EQ(settings().values.displayMagnification, 1);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Dialog, IntervalButtonsStepWithinZeroToTwelve) {
  struct Case {
    int start;
    int button;
    int after;
  };
  for (const Case c :
       {Case{0, 1385, 0}, Case{12, 1386, 12}, Case{12, 1385, 11}, Case{4, 1386, 5}}) {
    settings().values.midiInterval = c.start;
    settings().applyFlags = {};
    auto dialog = open();
    click(*dialog, c.button);
    EXPECT_EQ(settings().values.midiInterval, c.after);
    EXPECT_EQ(control<QProgressBar>(*dialog, 1382)->value(), c.after);
    EXPECT_EQ(settings().applyFlags.intervalChanged, c.after != c.start ? 1 : 0);
  }
}

TEST_F(Dialog, TheTempoCheckBoxShowsAndSetsTheExportTempo) {
  for (const int start : {1, 0}) {
    settings().values.midiTempoMap = start;
    auto dialog = open();
    QCheckBox* box = control<QCheckBox>(*dialog, 1391);
    EXPECT_EQ(box->isChecked(), start == 1);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(settings().values.midiTempoMap, 1 - start);
  }
}

TEST_F(Dialog, CloseBoxNeedsASoundFontNameThatCanBeUsed) {
  settings().values.soundFontFile = fixture.dir.file("gone.sf2");
  auto dialog = open();
  EXPECT_FALSE(dialog->close());
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(fixture.prompter.last(), SOUNDFONT_NAME_WRONG);
  click(*dialog, 1290);  // CLOSE asks nothing
  EXPECT_FALSE(dialog->isVisible());

  settings().values.soundFontFile = "quavrix.sf2";
  fixture.prompter.clear();
  dialog = open();
  EXPECT_TRUE(dialog->close());
  EXPECT_TRUE(fixture.prompter.shown.empty());
}

TEST_F(Dialog, OpenChoosesTheSoundFontAndCloses) {
  std::filesystem::create_directory(fixture.dir.file("sub"));
  for (const char* name : {"sub/quavrix.sf2", "other.sf2"})
    test::writeSf2File(fixture.dir.file(name), presetFont(1));
  struct Case {
    std::optional<std::string> chosen;
    std::string stored;
    bool closes;
    std::string message;
  };
  const std::string other = fixture.dir.file("other.sf2");
  const Case cases[] = {
      {fixture.dir.file("sub/quavrix.sf2"), "quavrix.sf2", true, ""},
      {other, other, true, ""},
      {fixture.dir.file("gone.sf2"), "before.sf2", true, SOUNDFONT_NOT_FOUND_TEXT},
      {std::nullopt, "before.sf2", false, ""},
  };
  for (const Case& c : cases) {
    settings().values.soundFontFile = "before.sf2";
    settings().applyFlags = {};
    fixture.prompter.clear();
    fixture.files.reply(c.chosen);
    auto dialog = open();
    click(*dialog, 1294);
    EXPECT_EQ(fixture.files.requests.back().filterPattern, "*.sf2");
    EXPECT_EQ(settings().values.soundFontFile, c.stored);
    EXPECT_EQ(settings().applyFlags.soundFont, c.stored != "before.sf2" ? 1 : 0);
    EXPECT_EQ(dialog->isVisible(), !c.closes);
    EXPECT_EQ(fixture.prompter.last(), c.message);
  }
}

TEST_F(Dialog, DefaultSaveChecksAsksAndSaysWhenItFailsAndLoadReadsItBack) {
  // The person's own start-up settings, in their configuration folder.
  const std::string file = settings().userDefaultPath;
  auto dialog = open();
  type(*dialog, 1379, "7");

  // A name that cannot be used: both errors, nothing asked, nothing written.
  settings().values.soundFontFile = "gone.sf2";
  auto wrong = open();
  click(*wrong, 1253);
  ASSERT_EQ(fixture.prompter.shown.size(), 2u);
  EXPECT_EQ(fixture.prompter.shown[0].text, SOUNDFONT_NAME_WRONG);
  EXPECT_EQ(fixture.prompter.shown[1].text, UPDATE_SETTINGS_FAILED);
  wrong.reset();
  settings().values.soundFontFile = "quavrix.sf2";

  const auto savedTuning = [&] {
    Settings read;
    readSettingsFile(read, file, fixture.prompter);
    return read.values.tuning;
  };
  fixture.prompter.clear();
  fixture.prompter.answer(Answer::Cancel);
  click(*dialog, 1253);
  EXPECT_EQ(fixture.prompter.last(), SAVE_DEFAULT_QUESTION);
  EXPECT_EQ(fixture.prompter.shown.back().buttons, Buttons::OkCancel);
  EXPECT_EQ(savedTuning(), 0);
  fixture.prompter.answer(Answer::Ok);
  click(*dialog, 1253);
  EXPECT_EQ(savedTuning(), 7);
  EXPECT_EQ(settings().values.trackInstrument[1], "preset 0") << "the chosen instrument's name";

  // LOAD reads the file back into the dialog.
  type(*dialog, 1379, "9");
  click(*dialog, 1252);
  EXPECT_EQ(shown(*dialog, 1379), "7");
  EXPECT_EQ(settings().applyFlags.soundFontChanged, 1);

  // A file that cannot be written is said, and nothing claims it was.
  std::ofstream(fixture.dir.file("a-file")) << "not a folder";
  settings().userDefaultPath = fixture.dir.file("a-file/default_settings.xml");
  fixture.prompter.clear();
  fixture.prompter.answer(Answer::Ok);
  click(*dialog, 1253);
  ASSERT_EQ(fixture.prompter.shown.size(), 2u);
  EXPECT_EQ(fixture.prompter.shown[1].icon, Icon::Error);
  EXPECT_NE(fixture.prompter.shown[1].text.find(settings().userDefaultPath), std::string::npos);
}

TEST_F(Dialog, ColourEditsFollowTheTablesAndStayWithinZeroToHundred) {
  struct Line {
    int record;
    std::array<int, 5> ids;  // R, G, B, alpha or head, thickness or tail; 0 = none
  };
  const Line lines[] = {
      {COLOUR_IVORY_KEY, {1282, 1280, 1278, 0, 0}},
      {COLOUR_IVORY_KEY_C, {1283, 1281, 1279, 0, 0}},
      {COLOUR_EBONY_KEY, {1267, 1266, 1265, 0, 0}},
      {COLOUR_BAR_LINES, {1204, 1203, 1202, 1201, 1205}},
      {COLOUR_BEAT_LINES, {1211, 1210, 1209, 1208, 1212}},
      {COLOUR_DIV_LINES, {1260, 1258, 1256, 1254, 1262}},
      {COLOUR_NOTE_GUESSING, {1287, 1286, 1285, 1284, 1288}},
      {ColorsDlg::PLAYHEAD_RECORD, {1300, 1301, 1302, 1303, 1304}},
      {7 + COLOUR_TRACK_OFFSET, {1249, 1248, 1247, 1245, 1246}},
      {6 + COLOUR_TRACK_OFFSET, {1244, 1243, 1242, 1240, 1241}},
      {5 + COLOUR_TRACK_OFFSET, {1239, 1238, 1237, 1235, 1236}},
      {4 + COLOUR_TRACK_OFFSET, {1234, 1233, 1232, 1230, 1231}},
      {3 + COLOUR_TRACK_OFFSET, {1229, 1228, 1227, 1225, 1226}},
      {2 + COLOUR_TRACK_OFFSET, {1224, 1223, 1222, 1220, 1221}},
      {1 + COLOUR_TRACK_OFFSET, {1219, 1218, 1217, 1215, 1216}},
  };
  std::int32_t ColourRecord::*const members[] = {
      &ColourRecord::r, &ColourRecord::g, &ColourRecord::b, &ColourRecord::a, &ColourRecord::t};
  ColorsDlg dialog(settings(), settings().values);
  dialog.show();
  EXPECT_EQ(shown(dialog, 1219), QString::number(settings().values.colours[8].r)) << "filled";
  int edits = 0;
  for (const Line& line : lines) {
    for (int c = 0; c < 5; ++c) {
      if (!line.ids[c]) continue;
      const int value = ++edits;
      type(dialog, line.ids[c], QString::number(value));
      SettingValues& v = settings().values;
      const ColourRecord& record =
          line.record == ColorsDlg::PLAYHEAD_RECORD ? v.playhead : v.colours[line.record];
      EXPECT_EQ(record.*members[c], value) << line.ids[c];
    }
  }
  EXPECT_EQ(edits, 69);
  EXPECT_EQ(dialog.findChildren<QLineEdit*>().size(), 69);
  EXPECT_EQ(settings().applyFlags.colours, 1);

  type(dialog, 1219, "250");
  EXPECT_EQ(shown(dialog, 1219), "100");
  EXPECT_EQ(settings().values.colours[8].r, 100);
  type(dialog, 1219, "-3");
  EXPECT_EQ(shown(dialog, 1219), "0");
  type(dialog, 1218, "");
  EXPECT_EQ(shown(dialog, 1218), "");
  EXPECT_EQ(settings().values.colours[8].g, 0);
}

// Frequency of the left channel from its rising zero crossings.
double measuredPitch(const std::vector<float>& stereo, std::size_t from, std::size_t to) {
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    const float a = stereo[2 * (i - 1)], b = stereo[2 * i];
    if (a < 0 && b >= 0) {
      const double at = static_cast<double>(i - 1) + a / (a - b);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0.0;
}

TEST_F(Dialog, TheTuningSetIsHeardAfterTheApplyStep) {
  applySettings(*fixture.engine, APPLY_ALL);
  Sampler& sampler = fixture.engine->sampler;
  ASSERT_TRUE(sampler.bank);
  const auto pitch = [&] {
    samplerTrackNoteOn(sampler, 1, 60);
    std::vector<float> out(2 * 4096);
    samplerRender(sampler, out.data(), 4096);
    samplerEndQuickAll(sampler);
    std::vector<float> rest(2 * 2048);
    samplerRender(sampler, rest.data(), 2048);
    return measuredPitch(out, 400, 3600);
  };
  const double before = pitch();
  EXPECT_NEAR(before, 440.0, 1.0);

  auto dialog = open();
  type(*dialog, 1379, "50");
  click(*dialog, 1290);
  applyPendingSettings(*fixture.engine);
  EXPECT_NEAR(1200.0 * std::log2(pitch() / before), 50.0, 2.0);
}

// The real window around the dialogs.
struct Window : Dialog {
  Window() {
    const FrameOptions options = test::frameOptions(fixture);
    // Three instruments to choose from.
    test::writeSf2File(fixture.dir.file("quavrix.sf2"), presetFont(3));
    frame = std::make_unique<CMainFrame>(options);
    frame->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    fixture.files.reply(fixture.wav);
    frame->runCommand(ID_OPEN_WAV);
  }
  Engine& engine() { return frame->engine(); }
  QRgb pixel(int x, int y) {
    frame->childView()->drawNow();
    const QImage& image = frame->childView()->image();
    const qreal dpr = image.devicePixelRatio();
    return image.pixel(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
  }
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(Window, ChoosingAnInstrumentClosesAndTheCommandReopensWithIt) {
  ASSERT_EQ(engine().busy, 0) << fixture.prompter.last();
  int shows = 0;
  whenModal<SoundFontDlg>([&](SoundFontDlg& dialog) {
    ++shows;
    QTest::qWait(100);
    EXPECT_TRUE(dialog.isVisible()) << "opening does not close it";
    EXPECT_EQ(engine().settings.applyFlags.programs, 0);
    QTest::keyClick(control<QComboBox>(dialog, 1322), Qt::Key_Down);  // track 2: the next one
    EXPECT_FALSE(dialog.isVisible());
    whenModal<SoundFontDlg>([&](SoundFontDlg& again) {
      ++shows;
      EXPECT_EQ(control<QComboBox>(again, 1322)->currentIndex(), 1);
      EXPECT_EQ(shown(again, 1323), "2");
      EXPECT_EQ(engine().sampler.trackPrograms[2], 2) << "applied before it reopened";
      click(again, 1290);
    });
  });
  frame->settingsCommand();
  EXPECT_EQ(shows, 2);
}

TEST_F(Window, ATrackColourShowsOnlyOnceBothDialogsHaveClosed) {
  ASSERT_EQ(engine().busy, 0) << fixture.prompter.last();
  engine().settings.values.colours[1 + COLOUR_TRACK_OFFSET] = {100, 30, 30, 100, 45, {}};
  ++engine().settings.colourRevision;
  // A note of track 1, dragged over two lines of the roll.
  QWidget* view = frame->childView();
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(780, 930));
  const CellGrid& grid = engine().cellGrid;
  const int top = (grid.columnRects[1].top + grid.columnRects[1].bottom) / 2;
  const int bottom = (grid.columnRects[3].top + grid.columnRects[3].bottom) / 2;
  const int x = (grid.keyRects[40].left + grid.keyRects[40].right) / 2;
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(x, top));
  QTest::mouseMove(view, QPoint(x, bottom));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(x, bottom));
  const QRgb red = pixel(x, top);
  ASSERT_EQ(qRed(red), 255);
  ASSERT_LT(qGreen(red), 100);

  whenModal<SoundFontDlg>([&](SoundFontDlg& settings) {
    whenModal<ColorsDlg>([&](ColorsDlg& colours) {
      type(colours, 1219, "0");
      type(colours, 1218, "100");
      click(colours, 1251);
    });
    click(settings, 1213);
    EXPECT_EQ(pixel(x, top), red) << "not while the Settings dialog is open";
    click(settings, 1290);
  });
  frame->settingsCommand();
  const QRgb green = pixel(x, top);
  EXPECT_EQ(qGreen(green), 255);
  EXPECT_LT(qRed(green), 100);
}

}  // namespace
}  // namespace quavrix
