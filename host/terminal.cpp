#include "host/terminal.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Kept where a signal handler can reach them.
struct termios gSaved;
volatile sig_atomic_t gRawActive = 0;
volatile sig_atomic_t gQuit = 0;

void RestoreTerminal() {
  if (gRawActive) {
    tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
    gRawActive = 0;
  }
}

void OnQuitSignal(int sig) {
  RestoreTerminal();
  if (gQuit) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  gQuit = 1;
}

bool ReadByte(unsigned char* c, int timeoutMs) {
  struct pollfd p = {STDIN_FILENO, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  return read(STDIN_FILENO, c, 1) == 1;
}

}  // namespace

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

RawKeys::RawKeys() {
  if (!StdinIsTerminal() || tcgetattr(STDIN_FILENO, &gSaved) != 0) return;
  struct termios raw = gSaved;
  // No line editing and no echo; signals stay on so Ctrl-C still quits.
  raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  gRawActive = 1;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
    gRawActive = 0;
    return;
  }
  active_ = true;
}

RawKeys::~RawKeys() {
  if (active_) RestoreTerminal();
}

Key RawKeys::Read(int timeoutMs) {
  if (!active_) {
    if (timeoutMs > 0) poll(nullptr, 0, timeoutMs);
    return Key::None;
  }
  unsigned char c;
  if (!ReadByte(&c, timeoutMs)) return Key::None;
  switch (c) {
    case ' ': return Key::PauseResume;
    case 'n': case 'N': return Key::Next;
    case 'q': case 'Q': return Key::Quit;
    case 0x1b: {
      // Arrow keys arrive as ESC [ C / ESC [ D (or ESC O C / ESC O D).
      unsigned char a, b;
      if (!ReadByte(&a, 50) || (a != '[' && a != 'O') || !ReadByte(&b, 50)) return Key::None;
      if (b == 'C') return Key::SeekForward;
      if (b == 'D') return Key::SeekBack;
      return Key::None;
    }
    default: return Key::None;
  }
}

void InstallQuitSignals() {
  struct sigaction sa = {};
  sa.sa_handler = OnQuitSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(sig, &sa, nullptr);
}

bool QuitRequested() { return gQuit != 0; }

std::string FormatTime(int ms) {
  if (ms < 0) return "--:--";
  int s = ms / 1000;
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
  }
  return buf;
}

std::string FormatStatus(int elapsedMs, int lengthMs, bool paused, int barWidth) {
  if (elapsedMs < 0) elapsedMs = 0;
  std::string line = "  " + FormatTime(elapsedMs) + " / " + FormatTime(lengthMs);
  if (lengthMs > 0 && barWidth > 0) {
    long long filled = (long long)(elapsedMs < lengthMs ? elapsedMs : lengthMs) * barWidth / lengthMs;
    line += " [" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '-') + "]";
  }
  if (paused) line += " (paused)";
  return line;
}

void StatusLine::Show(const std::string& text) {
  if (!enabled_) return;
  std::printf("\r%s\x1b[K", text.c_str());
  std::fflush(stdout);
  shown_ = true;
}

void StatusLine::Clear() {
  if (!enabled_ || !shown_) return;
  std::printf("\r\x1b[K");
  std::fflush(stdout);
  shown_ = false;
}
