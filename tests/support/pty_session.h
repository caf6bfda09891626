// Runs one of our programs on a new pseudo-terminal, as a person at a terminal would:
// keys typed in, the screen read back, and the terminal's mode after it ends.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace zsftest {

class PtySession {
 public:
  PtySession() = default;
  // Kills the program if the test did not wait for it.
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // ARGV[0] is the program; ENV entries are NAME=VALUE added to ours; WORKDIR empty
  // keeps the test's.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             const std::string& workdir = "");
  // Reads the screen until TEXT appears after position FROM; false when the program
  // closed the terminal first (or a long safety limit passed).
  bool ReadUntil(const std::string& text, size_t from = 0);
  bool Type(const std::string& keys);
  // Waits for the program to end, reading what it still shows; its exit status, or
  // 128 + the signal that ended it (9 when it was still running after a minute).
  int Wait();
  // The line discipline is shared by both ends: line mode with echo, as a shell left it.
  bool Cooked() const;
  void Signal(int signal) const;

  const std::string& screen() const { return screen_; }

 private:
  bool ReadSome(int waitMs);

  pid_t pid_ = -1;
  int master_ = -1;
  std::string screen_;
};

}  // namespace zsftest
