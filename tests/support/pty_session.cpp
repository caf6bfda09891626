#include "support/pty_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace zsftest {

PtySession::~PtySession() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

bool PtySession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       const std::string& workdir) {
  std::vector<std::string> args = argv, vars = env;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(127);
    for (std::string& v : vars) putenv(v.data());
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  return true;
}

bool PtySession::ReadSome(int waitMs) {
  pollfd p = {master_, POLLIN, 0};
  if (poll(&p, 1, waitMs) <= 0) return true;
  char buf[4096];
  ssize_t n = read(master_, buf, sizeof buf);
  if (n <= 0) return false;
  screen_.append(buf, size_t(n));
  return true;
}

bool PtySession::ReadUntil(const std::string& text, size_t from) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (screen_.find(text, from) == std::string::npos) {
    if (std::chrono::steady_clock::now() > limit || !ReadSome(100)) return false;
  }
  return true;
}

bool PtySession::Type(const std::string& keys) {
  return write(master_, keys.data(), keys.size()) == ssize_t(keys.size());
}

int PtySession::Wait() {
  int status = 0;
  // Drain the terminal so the program never blocks on output while ending; one that
  // does not end (a test's keys went astray) is killed after a long safety limit.
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > limit) kill(pid_, SIGKILL);
    ReadSome(50);
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool PtySession::Cooked() const {
  termios t;
  return tcgetattr(master_, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
}

void PtySession::Signal(int signal) const { kill(pid_, signal); }

}  // namespace zsftest
