// What zsfplay derives from names and times: the file behind a collection address,
// the WAV names it writes, and the status line.
#include <gtest/gtest.h>

#include "host/playlist.h"
#include "host/terminal.h"
#include "support/files.h"

namespace {

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
