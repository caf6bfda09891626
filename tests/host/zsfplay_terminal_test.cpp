// zsfplay on a terminal: the status line, the keys, and the terminal restored when
// it ends by a key or by a signal. The sound card is libao's null driver, which the
// player plays in real time, so a song lasts as long as it sounds.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "support/files.h"
#include "support/pty_session.h"
#include "support/song_maker.h"

namespace {

using zsftest::TempDir;

class ZsfplayTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    // The demo tune lasts about 35 s: long enough for keys, never played to its end.
    ASSERT_TRUE(zsftest::MakeSongFromSpec(dir_, "demo", zsfsynth::DemoTuneSpec(), zsftest::Titled("Demo")).ok);
    zsftest::WriteFile(dir_.file(".libao"), std::string("default_driver=null\n"));
    ASSERT_TRUE(term_.Start({ZSF_BINARY_DIR "/zsfplay", "demo.zsf"},
                            {"HOME=" + dir_.path(), "ZSF_REGISTRY=" + dir_.file("registry.reg")}, dir_.path()));
    ASSERT_TRUE(term_.ReadUntil("Demo (Unknown artist) (")) << term_.screen();
    ASSERT_TRUE(term_.ReadUntil(" / 0:3")) << "status line: " << term_.screen();
  }
  TempDir dir_;
  zsftest::PtySession term_;
};

TEST_F(ZsfplayTerminal, PauseSeekAndQuitByKeys) {
  EXPECT_FALSE(term_.Cooked()) << "keys are read one by one";
  term_.Type(" ");
  ASSERT_TRUE(term_.ReadUntil("(paused)")) << term_.screen();
  size_t pausedAt = term_.screen().size();
  term_.Type(" ");
  // Resumed: a status line without the mark.
  ASSERT_TRUE(term_.ReadUntil("]\x1b[K", pausedAt)) << term_.screen();
  // Two steps forward from the first seconds land at 0:10 or later.
  term_.Type("\x1b[C\x1b[C");
  ASSERT_TRUE(term_.ReadUntil("  0:1", pausedAt)) << term_.screen();
  term_.Type("q");
  EXPECT_EQ(term_.Wait(), 0) << term_.screen();
  EXPECT_TRUE(term_.Cooked()) << "the terminal is restored";
}

TEST_F(ZsfplayTerminal, NextEndsTheSongAndTheLastEndsThePlayer) {
  term_.Type("n");
  EXPECT_EQ(term_.Wait(), 0) << term_.screen();
  EXPECT_TRUE(term_.Cooked());
}

TEST_F(ZsfplayTerminal, ASignalRestoresTheTerminalAndFails) {
  term_.Signal(SIGTERM);
  EXPECT_EQ(term_.Wait(), 1) << term_.screen();
  EXPECT_NE(term_.screen().find("interrupted"), std::string::npos) << term_.screen();
  EXPECT_TRUE(term_.Cooked()) << "the terminal is restored";
}

}  // namespace
