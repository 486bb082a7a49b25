// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/paths.h"

#include <gtest/gtest.h>

#include "base/units.h"

namespace quavrix {
namespace {

TEST(Paths, SplitsFolderBaseAndExtension) {
  const PathParts p = splitPath("/home/me/music/take1.wav");
  EXPECT_EQ(p.drive, "");
  EXPECT_EQ(p.folder, "/home/me/music/");
  EXPECT_EQ(p.base, "take1");
  EXPECT_EQ(p.extension, ".wav");

  const PathParts bare = splitPath("song");
  EXPECT_EQ(bare.folder, "");
  EXPECT_EQ(bare.base, "song");
  EXPECT_EQ(bare.extension, "");

  // Only the last dot of the file name starts the extension; dots in folders do not count.
  const PathParts dotted = splitPath("/a.b/song.take.wav");
  EXPECT_EQ(dotted.folder, "/a.b/");
  EXPECT_EQ(dotted.base, "song.take");
  EXPECT_EQ(dotted.extension, ".wav");
  EXPECT_EQ(splitPath("/a.b/song").extension, "");
}

TEST(Paths, CompanionFilesSitBesideTheRecording) {
  EXPECT_EQ(companionPath("/m/take1.wav", "-autosave_A.dat"), "/m/take1-autosave_A.dat");
  EXPECT_EQ(companionPath("/m/take1.wav", "-autosave.xml"), "/m/take1-autosave.xml");
}

TEST(Paths, EveryDatIsReplacedByXml) {
  EXPECT_EQ(datToXml("/m/song.dat"), "/m/song.xml");
  EXPECT_EQ(datToXml("a.dat.backup.dat"), "a.xml.backup.xml");
  EXPECT_EQ(datToXml("/m/song.wav"), "/m/song.wav");
}

TEST(NoteWord, FieldsRoundTrip) {
  const std::int32_t w = makeNote(7, 84, 65535);
  EXPECT_EQ(noteTrack(w), 7);
  EXPECT_EQ(noteKey(w), 84);
  EXPECT_EQ(noteDuration(w), 65535);
  EXPECT_FALSE(noteDeleted(w));
  EXPECT_EQ(noteHead(w), (7 << 8) | 84);

  const std::int32_t gone = static_cast<std::int32_t>(static_cast<std::uint32_t>(w) | NOTE_DELETED);
  EXPECT_TRUE(noteDeleted(gone));
  EXPECT_EQ(noteTrack(gone), 7);
  EXPECT_EQ(noteHead(gone), 0x8000 | (7 << 8) | 84);
}

}  // namespace
}  // namespace quavrix
