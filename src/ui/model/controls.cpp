// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/controls.h"

#include "ui/model/control_code.h"

namespace quavrix {

namespace {

constexpr ControlSpec CONTROLS[] = {
    {21, Place::TopBar, {241, 6, 312, 61}, {169, 4, 214, 44}},
    {28, Place::TopBar, {434, 0, 491, 24}, {307, 0, 347, 17}},
    {29, Place::TopBar, {434, 25, 462, 60}, {307, 17, 326, 40}},
    {30, Place::TopBar, {462, 25, 491, 60}, {329, 17, 347, 40}},
    {33, Place::TopBar, {497, 0, 527, 34}, {351, 0, 372, 21}},
    {34, Place::TopBar, {528, 0, 558, 34}, {373, 0, 394, 21}},
    {35, Place::TopBar, {559, 0, 589, 34}, {395, 0, 416, 21}},
    {36, Place::TopBar, {590, 0, 620, 34}, {417, 0, 438, 21}},
    {37, Place::TopBar, {621, 0, 651, 34}, {439, 0, 460, 21}},
    {38, Place::TopBar, {652, 0, 682, 34}, {461, 0, 482, 21}},
    {39, Place::TopBar, {683, 0, 713, 34}, {483, 0, 504, 21}},
    {40, Place::TopBar, {714, 0, 744, 34}, {505, 0, 526, 21}},
    {41, Place::TopBar, {497, 34, 527, 58}, {351, 23, 372, 40}},
    {42, Place::TopBar, {528, 34, 558, 58}, {373, 23, 394, 40}},
    {43, Place::TopBar, {559, 34, 589, 58}, {395, 23, 416, 40}},
    {44, Place::TopBar, {590, 34, 620, 58}, {417, 23, 438, 40}},
    {45, Place::TopBar, {621, 34, 651, 58}, {439, 23, 460, 40}},
    {46, Place::TopBar, {652, 34, 682, 58}, {461, 23, 482, 40}},
    {47, Place::TopBar, {683, 34, 713, 58}, {483, 23, 504, 40}},
    {48, Place::TopBar, {714, 34, 744, 58}, {505, 23, 526, 40}},
    {50, Place::TopBar, {755, 2, 824, 58}, {534, 2, 582, 40}},
    {51, Place::TopBar, {825, 2, 897, 58}, {583, 2, 635, 40}},
    {52, Place::TopBar, {898, 2, 969, 58}, {636, 2, 684, 40}},
    {60, Place::TopBar, {979, 4, 1030, 58}, {692, 2, 729, 40}},
    {61, Place::TopBar, {1030, 4, 1197, 58}, {730, 2, 845, 40}},
    {62, Place::TopBar, {1197, 4, 1243, 58}, {846, 2, 879, 40}},
    {63, Place::TopBar, {1243, 4, 1295, 58}, {880, 2, 915, 40}},
    {64, Place::TopBar, {1295, 4, 1342, 58}, {916, 2, 949, 40}},
    {65, Place::TopBar, {1342, 4, 1384, 58}, {950, 2, 978, 40}},
    {66, Place::TopBar, {1384, 4, 1429, 58}, {979, 2, 1010, 40}},
    {67, Place::TopBar, {1435, 4, 1468, 58}, {1014, 2, 1038, 40}},
    {68, Place::TopBar, {1468, 4, 1502, 58}, {1039, 2, 1062, 40}},
    {69, Place::TopBar, {1509, 6, 1608, 54}, {1068, 6, 1135, 40}},
    {70, Place::TopBar, {1634, 3, 1675, 32}, {1156, 2, 1184, 22}},
    {71, Place::TopBar, {1676, 3, 1737, 32}, {1185, 2, 1228, 22}},
    {72, Place::TopBar, {1738, 3, 1779, 32}, {1229, 2, 1257, 22}},
    {73, Place::TopBar, {1780, 3, 1822, 32}, {1258, 2, 1288, 22}},
    {74, Place::TopBar, {1679, 34, 1737, 58}, {1185, 23, 1228, 40}},
    {75, Place::TopBar, {1832, 12, 1884, 56}, {1297, 7, 1332, 37}},
    {201, Place::BottomBar, {244, 900, 341, 931}, {174, 612, 241, 638}},
    {202, Place::BottomBar, {244, 932, 341, 956}, {174, 639, 241, 661}},
    {203, Place::BottomBar, {350, 900, 448, 932}, {252, 612, 318, 639}},
    {204, Place::BottomBar, {350, 932, 448, 956}, {252, 639, 318, 661}},
    {205, Place::BottomBar, {454, 900, 510, 956}, {321, 612, 361, 661}},
    {206, Place::BottomBar, {514, 900, 570, 956}, {364, 612, 403, 661}},
    {207, Place::BottomBar, {574, 900, 629, 956}, {405, 612, 445, 661}},
    {208, Place::BottomBar, {633, 900, 694, 956}, {447, 612, 491, 661}},
    {211, Place::BottomBar, {700, 900, 744, 956}, {494, 612, 527, 661}},
    {212, Place::BottomBar, {748, 900, 812, 956}, {529, 612, 575, 661}},
    {213, Place::BottomBar, {816, 900, 880, 956}, {577, 612, 622, 661}},
    {214, Place::BottomBar, {884, 900, 948, 956}, {624, 612, 671, 661}},
    {215, Place::BottomBar, {952, 900, 1015, 956}, {673, 612, 719, 661}},
    {216, Place::BottomBar, {1019, 900, 1083, 956}, {721, 612, 766, 661}},
    {217, Place::BottomBar, {1087, 900, 1150, 956}, {768, 612, 814, 661}},
    {218, Place::BottomBar, {1154, 900, 1218, 956}, {815, 612, 862, 661}},
    {219, Place::BottomBar, {1228, 900, 1366, 956}, {863, 612, 968, 661}},
    {222, Place::BottomBar, {1383, 900, 1436, 956}, {977, 612, 1016, 661}},
    {223, Place::BottomBar, {1437, 900, 1508, 956}, {1018, 612, 1066, 661}},
    {224, Place::BottomBar, {1509, 900, 1563, 956}, {1068, 612, 1104, 661}},
    {231, Place::BottomBar, {1570, 911, 1598, 943}, {1111, 624, 1129, 649}},
    {232, Place::BottomBar, {1599, 900, 1634, 929}, {1130, 612, 1155, 638}},
    {233, Place::BottomBar, {1599, 930, 1634, 956}, {1130, 639, 1155, 661}},
    {234, Place::BottomBar, {1635, 911, 1663, 943}, {1154, 624, 1176, 649}},
    {235, Place::BottomBar, {1674, 932, 1700, 956}, {1183, 639, 1202, 661}},
    {236, Place::BottomBar, {1701, 932, 1730, 956}, {1203, 639, 1222, 661}},
    {237, Place::BottomBar, {1731, 932, 1757, 956}, {1223, 639, 1243, 661}},
    {238, Place::BottomBar, {1758, 932, 1784, 956}, {1244, 639, 1262, 661}},
    {241, Place::BottomBar, {1797, 900, 1859, 930}, {1270, 612, 1313, 637}},
    {242, Place::BottomBar, {1860, 900, 1889, 930}, {1314, 612, 1335, 637}},
    {243, Place::BottomBar, {1797, 930, 1827, 956}, {1270, 637, 1290, 661}},
    {244, Place::BottomBar, {1828, 931, 1858, 956}, {1291, 638, 1313, 661}},
    {245, Place::BottomBar, {1860, 931, 1888, 956}, {1314, 638, 1335, 661}},
    {102, Place::Panel, {325, 162, 360, 193}, {}},
    {103, Place::Panel, {325, 161, 483, 224}, {}},
    {104, Place::Panel, {484, 161, 643, 224}, {}},
    {105, Place::Panel, {644, 161, 800, 224}, {}},
    {106, Place::Panel, {328, 227, 378, 271}, {}},
    {107, Place::Panel, {389, 227, 438, 271}, {}},
    {111, Place::BarPage, {341, 302, 529, 346}, {}},
    {112, Place::BarPage, {341, 384, 529, 425}, {}},
    {113, Place::BarPage, {341, 462, 529, 526}, {}},
    {114, Place::BarPage, {388, 567, 494, 604}, {}},
    {115, Place::BarPage, {388, 604, 494, 639}, {}},
    {116, Place::BarPage, {498, 568, 568, 639}, {}},
    {117, Place::BarPage, {570, 568, 715, 640}, {}},
    {118, Place::BarPage, {727, 585, 788, 639}, {}},
    {122, Place::BeatPage, {460, 239, 535, 277}, {}},
    {129, Place::BeatPage, {342, 302, 579, 347}, {}},
    {130, Place::BeatPage, {530, 308, 575, 345}, {}},
    {131, Place::BeatPage, {384, 350, 446, 414}, {}},
    {132, Place::BeatPage, {456, 350, 579, 382}, {}},
    {133, Place::BeatPage, {456, 385, 579, 414}, {}},
    {128, Place::BeatPage, {342, 430, 579, 471}, {}},
    {136, Place::BeatPage, {343, 487, 406, 531}, {}},
    {137, Place::BeatPage, {343, 531, 406, 572}, {}},
    {138, Place::BeatPage, {440, 487, 503, 531}, {}},
    {139, Place::BeatPage, {440, 531, 503, 572}, {}},
    {140, Place::BeatPage, {512, 487, 575, 531}, {}},
    {141, Place::BeatPage, {512, 531, 575, 572}, {}},
    {134, Place::BeatPage, {343, 591, 577, 627}, {}},
    {135, Place::BeatPage, {530, 598, 575, 625}, {}},
    {144, Place::BeatPage, {342, 640, 579, 702}, {}},
    {145, Place::BeatPage, {530, 647, 575, 683}, {}},
    {124, Place::BeatPage, {610, 312, 770, 351}, {}},
    {126, Place::BeatPage, {610, 362, 770, 399}, {}},
    {125, Place::BeatPage, {610, 420, 770, 458}, {}},
    {127, Place::BeatPage, {610, 471, 770, 500}, {}},
    {142, Place::BeatPage, {588, 542, 788, 603}, {}},
    {143, Place::BeatPage, {588, 614, 788, 709}, {}},
    {146, Place::BeatPage, {477, 733, 528, 772}, {}},
    {147, Place::BeatPage, {535, 733, 583, 772}, {}},
    {148, Place::BeatPage, {590, 733, 640, 772}, {}},
    {149, Place::BeatPage, {649, 733, 790, 772}, {}},
    {162, Place::DivisionPage, {340, 303, 502, 344}, {}},
    {161, Place::DivisionPage, {340, 400, 502, 439}, {}},
    {163, Place::DivisionPage, {340, 488, 500, 540}, {}},
    {164, Place::DivisionPage, {541, 303, 591, 342}, {}},
    {165, Place::DivisionPage, {678, 303, 728, 342}, {}},
    {166, Place::DivisionPage, {541, 352, 591, 390}, {}},
    {167, Place::DivisionPage, {612, 395, 658, 428}, {}},
    {168, Place::DivisionPage, {678, 352, 728, 390}, {}},
    {169, Place::DivisionPage, {541, 400, 591, 438}, {}},
    {170, Place::DivisionPage, {678, 400, 728, 438}, {}},
    {171, Place::DivisionPage, {539, 452, 603, 492}, {}},
    {172, Place::DivisionPage, {609, 452, 658, 492}, {}},
    {173, Place::DivisionPage, {664, 452, 727, 492}, {}},
    {180, Place::DivisionPage, {438, 686, 631, 710}, {}},
    {181, Place::DivisionPage, {438, 714, 631, 740}, {}},
    {182, Place::DivisionPage, {438, 743, 631, 766}, {}},
    {183, Place::DivisionPage, {653, 712, 777, 769}, {}},
    {151, Place::StroboPage, {339, 284, 375, 767}, {}},
    {152, Place::StroboPage, {386, 284, 439, 766}, {}},
    {153, Place::StroboPage, {649, 306, 711, 349}, {}},
    {154, Place::StroboPage, {649, 350, 711, 390}, {}},
    {155, Place::StroboPage, {721, 309, 783, 349}, {}},
    {156, Place::StroboPage, {721, 350, 783, 390}, {}},
    {157, Place::StroboPage, {495, 407, 607, 450}, {}},
    {158, Place::StroboPage, {612, 407, 725, 450}, {}},
    {159, Place::StroboPage, {495, 464, 606, 507}, {}},
    {160, Place::StroboPage, {505, 526, 719, 597}, {}},
};

struct BoxSpec {
  Box box;
  ScreenRect large;
  ScreenRect small;
};

constexpr BoxSpec BOXES[] = {
    {Box::TimeUpper, {316, 0, 428, 28}, {225, 0, 302, 20}},
    {Box::TimeLower, {316, 34, 428, 54}, {225, 23, 302, 38}},
    {Box::Tune, {1716, 900, 1779, 930}, {1215, 612, 1254, 637}},
    {Box::BeatsInBar, {506, 249, 611, 287}, {436, 125, 541, 163}},
    {Box::Bpm, {545, 240, 746, 276}, {475, 116, 676, 152}},
    {Box::Divisor, {541, 303, 728, 492}, {471, 179, 658, 368}},
    {Box::DivisorDisplay, {590, 305, 679, 389}, {520, 181, 609, 265}},
    {Box::StroboBpm, {450, 350, 599, 387}, {380, 226, 529, 263}},
    {Box::NoteName, {1730, 860, 1800, 880}, {1230, 564, 1300, 584}},
};

constexpr int OCTAVE_BARS_LARGE[7][2] = {{303, 522},   {528, 748},   {754, 976},  {982, 1202},
                                         {1208, 1428}, {1434, 1655}, {1661, 1885}};
constexpr int OCTAVE_BARS_SMALL[7][2] = {{234, 386},  {392, 546},   {552, 706},  {712, 865},
                                         {871, 1025}, {1031, 1185}, {1191, 1344}};

// The first listed rectangle wins where two overlap, except that the FFT-mono
// button takes the lower half of the mono button's column.
constexpr std::uint16_t TOP_BAR_ORDER[] = {BeatEditorButton,
                                           SectionDeleteButton,
                                           SectionRecordButton,
                                           SectionAddButton,
                                           33,
                                           34,
                                           35,
                                           36,
                                           37,
                                           38,
                                           39,
                                           40,
                                           41,
                                           42,
                                           43,
                                           44,
                                           45,
                                           46,
                                           47,
                                           48,
                                           LoopButton,
                                           PlayButton,
                                           RewindButton,
                                           SlowX1Button,
                                           SlowSlider12,
                                           SlowX2Button,
                                           SlowSlider24,
                                           SlowX4Button,
                                           SlowSlider48,
                                           SlowX8Button,
                                           FasterButton,
                                           SlowerButton,
                                           SpeedBox,
                                           LeftChannelButton,
                                           FftMonoButton,
                                           MonoButton,
                                           RightChannelButton,
                                           ReverseButton,
                                           SettingsButton};

constexpr std::uint16_t BOTTOM_BAR_ORDER[] = {WavButton,
                                              WavLevelSlider,
                                              MidiButton,
                                              MidiLevelSlider,
                                              PanicButton,
                                              UndoButton,
                                              RedoButton,
                                              RepeatAfterButton,
                                              TickTrackButton,
                                              212,
                                              213,
                                              214,
                                              215,
                                              216,
                                              217,
                                              218,
                                              VelocitySlider,
                                              LoopButton2,
                                              PlayButton2,
                                              RewindButton2,
                                              KeyLowButton,
                                              KeyWidenButton,
                                              KeyNarrowButton,
                                              KeyHighButton,
                                              TuneDown10Button,
                                              TuneDown1Button,
                                              TuneUp1Button,
                                              TuneUp10Button,
                                              GuessButton,
                                              GuessUpButton,
                                              GuessLeftButton,
                                              GuessRightButton,
                                              GuessDownButton};

ScreenRect moved(const ScreenRect& r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

std::span<const ControlSpec> controlSpecs() {
  return CONTROLS;
}

std::span<const std::uint16_t> topBarHitOrder() {
  return TOP_BAR_ORDER;
}

std::span<const std::uint16_t> bottomBarHitOrder() {
  return BOTTOM_BAR_ORDER;
}

ControlRects controlRects(bool small) {
  ControlRects rects;
  rects.small = small;
  for (const ControlSpec& c : CONTROLS) {
    const bool onPanel = c.place != Place::TopBar && c.place != Place::BottomBar;
    ScreenRect r = c.large;
    if (small) r = onPanel ? moved(c.large, PANEL_SMALL_DX, PANEL_SMALL_DY) : c.small;
    rects.byCode[c.code] = r;
  }
  for (const BoxSpec& b : BOXES) {
    rects.boxes[static_cast<std::size_t>(b.box)] = small ? b.small : b.large;
  }
  for (int s = 0; s < 8; ++s) {
    const ScreenRect& cell = rects.byCode[SlotButton1 + s];
    rects.slotBars[s] = {cell.left, small ? 34 : 52, cell.right, small ? 40 : 58};
  }
  for (int t = 1; t <= 7; ++t) {
    const ScreenRect& button = rects.byCode[TrackButton1 + t - 1];
    rects.trackBars[t] = {button.left, small ? 650 : 948, button.right, small ? 661 : 956};
  }
  for (int o = 0; o < 7; ++o) {
    const int(&x)[2] = small ? OCTAVE_BARS_SMALL[o] : OCTAVE_BARS_LARGE[o];
    rects.octaveBars[o] = {x[0], small ? 610 : 895, x[1], small ? 615 : 900};
  }
  const ScreenRect& ramp = rects.byCode[ScrollFreeSlider];
  rects.scrollFreeLeft = static_cast<float>(ramp.left);
  rects.scrollFreeRight = static_cast<float>(ramp.right);
  return rects;
}

}  // namespace quavrix
