// The dialogs on a terminal, driven by keys through zsfplay: Tab moves past the
// disabled box, Space ticks, Escape leaves the dialog open, Enter presses OK; the
// information dialog's Add Tag opens two prompts typed into; Ctrl-D closes as OK.
// The terminal is back in line mode afterwards.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "dialog_fixtures.h"

namespace {

using namespace zsftest;

class TerminalDialogs : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  void Start(const std::vector<std::string>& args) {
    std::string player = ZSF_BINARY_DIR "/zsfplay";
    std::string registry = "ZSF_REGISTRY=" + registry_;
    std::vector<char*> argv{player.data()};
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      putenv(registry.data());
      execv(player.c_str(), argv.data());
      _exit(127);
    }
  }

  // Reads the terminal until TEXT appears after FROM (a long safety limit only).
  bool ReadUntil(const std::string& text, size_t from = 0) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (screen_.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > limit) return false;
      pollfd p = {master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) return false;
      screen_.append(buf, size_t(n));
    }
    return true;
  }

  // Types KEYS one by one, each once the form has been drawn after the one before.
  void Type(const std::string& keys) {
    for (char key : keys) {
      ASSERT_TRUE(ReadUntil("Ctrl-D ends", mark_)) << screen_;
      mark_ = screen_.size();
      ASSERT_EQ(write(master_, &key, 1), 1);
    }
  }

  int Wait() {
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      pollfd p = {master_, POLLIN, 0};
      char buf[4096];
      if (poll(&p, 1, 50) > 0) {
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) screen_.append(buf, size_t(n));
      }
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  bool Cooked() {
    termios t;
    return tcgetattr(master_, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
  }

  TempDir dir_;
  std::string registry_ = dir_.file("registry.reg");
  pid_t pid_ = -1;
  int master_ = -1;
  std::string screen_;
  size_t mark_ = 0;
};

TEST_F(TerminalDialogs, TheConfigurationByKeys) {
  Start({"--config"});
  Type("\t\t ");   // edit -> 8 Bit -> Mono (the disabled box is skipped), tick
  Type("\x1b");    // ignored
  Type("\r");      // OK
  EXPECT_EQ(Wait(), 0);
  EXPECT_NE(screen_.find("[x] Mono"), std::string::npos);
  EXPECT_TRUE(Cooked());
  std::vector<uint8_t> store = ReadFile(registry_);
  EXPECT_NE(std::string(store.begin(), store.end()).find("\"Mono\"=dword:00000001"), std::string::npos);
}

TEST_F(TerminalDialogs, AddTagByKeysAndCtrlDClosesAsOk) {
  MadeSong song = MakeTaggedSong(dir_, "keys", {{"title", "T"}});
  Start({"--info", song.path});
  Type("\t ");        // list -> Add Tag (Edit is disabled), press
  Type("Yeaz\x7fr\r");  // the name, with a correction
  Type("2004\r");
  Type("\x04");
  EXPECT_EQ(Wait(), 0);
  EXPECT_TRUE(Cooked());
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "title=T\nyear=2004\n");
  std::free(text);
}

}  // namespace
