// What zsfplay derives from names and times: the file behind a collection address,
// the WAV names it writes, and the status line.
#include <gtest/gtest.h>

#include "host/playlist.h"
#include "host/terminal.h"
#include "support/files.h"

namespace {

TEST(PlayerNames, FileBehindANameOrAddress) {
  EXPECT_EQ(FileOfName("music/tune.zsf"), "music/tune.zsf");
  EXPECT_EQ(FileOfName("zgm://music/set.zgm,2"), "music/set.zgm");
  EXPECT_EQ(FileOfName("ZGM://music/set.zgm"), "music/set.zgm");
  EXPECT_EQ(FileOfName("set.zgm,12"), "set.zgm");
}

TEST(PlayerNames, WavBaseNames) {
  EXPECT_EQ(SongBaseName("music/tune.zsf"), "tune");
  EXPECT_EQ(SongBaseName("tune"), "tune");
  EXPECT_EQ(SongBaseName("zgm://music/set.zgm,2"), "set-2");
  EXPECT_EQ(SongBaseName("set.zgm, 3"), "set-3");
  EXPECT_EQ(SongBaseName("zgm://set.zgm"), "set");
  EXPECT_EQ(SongBaseName("set.zgm,1/../../x"), "set-1_.._.._x") << "never a path";
  EXPECT_EQ(SongBaseName("music/.zsf"), ".zsf");
  EXPECT_EQ(SongBaseName("music/"), "song");
}

TEST(PlayerNames, WavPathsInAFolderNeverCollide) {
  EXPECT_EQ(WavPathIn("out/", "tune", 0), "out/tune.wav");
  EXPECT_EQ(WavPathIn("out", "tune", 1), "out/tune-2.wav");
  EXPECT_EQ(WavPathIn(".", "tune", 2), "./tune-3.wav");
}

TEST(PlayerNames, FolderTargets) {
  zsftest::TempDir dir;
  EXPECT_TRUE(IsFolderTarget(dir.path()));
  EXPECT_TRUE(IsFolderTarget(dir.file("new/")));
  EXPECT_FALSE(IsFolderTarget(dir.file("out.wav")));
}

TEST(StatusLine, TimesAndProgress) {
  EXPECT_EQ(FormatTime(0), "0:00");
  EXPECT_EQ(FormatTime(59999), "0:59");
  EXPECT_EQ(FormatTime(61500), "1:01");
  EXPECT_EQ(FormatTime(3723000), "1:02:03");
  EXPECT_EQ(FormatTime(-1000), "--:--");
  EXPECT_EQ(FormatStatus(30000, 60000, false, 10), "  0:30 / 1:00 [#####-----]");
  EXPECT_EQ(FormatStatus(90000, 60000, true, 4), "  1:30 / 1:00 [####] (paused)");
  EXPECT_EQ(FormatStatus(5000, -1000, false, 10), "  0:05 / --:--");
  EXPECT_EQ(FormatStatus(-20, 1000, false, 2), "  0:00 / 0:01 [--]");
}

}  // namespace
