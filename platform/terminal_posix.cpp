#include "platform/terminal.h"

#include <poll.h>
#include <unistd.h>

bool IsTerminal(int fd) { return isatty(fd) == 1; }

RawTerminal::RawTerminal(int fd, bool blocking) : fd_(fd) {
  if (!IsTerminal(fd_) || tcgetattr(fd_, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
  raw.c_cc[VMIN] = blocking ? 1 : 0;
  raw.c_cc[VTIME] = 0;
  // Active before the change, so a signal arriving during it still restores.
  active_ = 1;
  if (tcsetattr(fd_, TCSANOW, &raw) != 0) active_ = 0;
}

void RawTerminal::Restore() {
  if (!active_) return;
  active_ = 0;
  tcsetattr(fd_, TCSANOW, &saved_);
}

int ReadByte(int fd, int timeoutMs) {
  if (timeoutMs >= 0) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return -1;
  }
  unsigned char c;
  return read(fd, &c, 1) == 1 ? c : -1;
}
