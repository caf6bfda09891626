// zsfplay on a terminal: the status line, the keys, and the terminal restored when
// it ends by a key or by a signal. The sound card is libao's null driver, which the
// player plays in real time, so a song lasts as long as it sounds.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "song_files.h"
#include "support/files.h"

namespace {

using zsftest::TempDir;

class ZsfplayTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    // The demo tune lasts about 35 s: long enough for keys, never played to its end.
    MakeSong(dir_, "demo.zsf", "demo.zsp", zsfsynth::DemoTuneSpec(), "Demo");
    zsftest::WriteFile(dir_.file(".libao"), std::string("default_driver=null\n"));
  }

  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  // Starts zsfplay on a new terminal.
  void Start(const std::string& name) {
    std::string player = ZSF_BINARY_DIR "/zsfplay";
    std::string home = "HOME=" + dir_.path();
    std::string registry = "ZSF_REGISTRY=" + dir_.file("registry.reg");
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (chdir(dir_.path().c_str()) != 0) _exit(127);
      putenv(home.data());
      putenv(registry.data());
      execl(player.c_str(), player.c_str(), name.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Reads the terminal until TEXT appears after position FROM; false when it did
  // not within a long safety limit or the player closed the terminal.
  bool ReadUntil(const std::string& text, size_t from = 0) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (screen_.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > limit) return false;
      struct pollfd p = {master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) return false;
      screen_.append(buf, size_t(n));
    }
    return true;
  }

  void Type(const std::string& keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }

  int Wait() {
    int status = 0;
    // Drain the terminal so the player never blocks on output while ending.
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      char buf[4096];
      struct pollfd p = {master_, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) screen_.append(buf, size_t(n));
      }
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // The terminal's line discipline is shared by both ends; the master shows it.
  bool Cooked() {
    struct termios t;
    return tcgetattr(master_, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
  }

  TempDir dir_;
  pid_t pid_ = -1;
  int master_ = -1;
  std::string screen_;
};

TEST_F(ZsfplayTerminal, PauseSeekAndQuitByKeys) {
  Start("demo.zsf");
  ASSERT_TRUE(ReadUntil("Demo (Unknown artist) (")) << screen_;
  ASSERT_TRUE(ReadUntil(" / 0:3")) << "status line: " << screen_;
  EXPECT_FALSE(Cooked()) << "keys are read one by one";

  Type(" ");
  ASSERT_TRUE(ReadUntil("(paused)")) << screen_;
  size_t pausedAt = screen_.size();
  Type(" ");
  // Resumed: a status line without the mark.
  ASSERT_TRUE(ReadUntil("]\x1b[K", pausedAt)) << screen_;

  // Two steps forward from the first seconds land at 0:10 or later.
  Type("\x1b[C\x1b[C");
  ASSERT_TRUE(ReadUntil("  0:1", pausedAt)) << screen_;
  Type("q");
  EXPECT_EQ(Wait(), 0) << screen_;
  EXPECT_TRUE(Cooked()) << "the terminal is restored";
}

TEST_F(ZsfplayTerminal, NextEndsTheSongAndTheLastEndsThePlayer) {
  Start("demo.zsf");
  ASSERT_TRUE(ReadUntil(" / 0:3")) << screen_;
  Type("n");
  EXPECT_EQ(Wait(), 0) << screen_;
  EXPECT_TRUE(Cooked());
}

TEST_F(ZsfplayTerminal, ASignalRestoresTheTerminalAndFails) {
  Start("demo.zsf");
  ASSERT_TRUE(ReadUntil(" / 0:3")) << screen_;
  kill(pid_, SIGTERM);
  EXPECT_EQ(Wait(), 1) << screen_;
  EXPECT_NE(screen_.find("interrupted"), std::string::npos) << screen_;
  EXPECT_TRUE(Cooked()) << "the terminal is restored";
}

}  // namespace
