// The process's terminal on Linux: whether a descriptor is one, raw key mode, and
// single bytes read with a time limit. The player's keys and the text dialogs both
// stand on it.
#pragma once
#include <signal.h>
#include <termios.h>

bool IsTerminal(int fd);

// Raw key mode on FD for the object's life: no line editing and no echo (signals stay
// on, so Ctrl-C still quits). With BLOCKING a read waits for a byte, else it returns
// at once. Nothing happens when FD is no terminal.
class RawTerminal {
 public:
  RawTerminal(int fd, bool blocking);
  ~RawTerminal() { Restore(); }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;
  bool active() const { return active_ != 0; }
  // Puts the terminal back as it was; once, and safe in a signal handler.
  void Restore();

 private:
  int fd_;
  termios saved_{};
  volatile sig_atomic_t active_ = 0;
};

// The next byte from FD; -1 at the end of input, or when TIMEOUT_MS (>= 0) passes first.
int ReadByte(int fd, int timeoutMs);
