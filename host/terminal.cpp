#include "host/terminal.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "platform/terminal.h"

namespace {

// Kept where a signal handler can reach them.
RawTerminal* volatile gRaw = nullptr;
volatile sig_atomic_t gQuit = 0;

void OnQuitSignal(int sig) {
  if (RawTerminal* raw = gRaw) raw->Restore();
  if (gQuit) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  gQuit = 1;
}

}  // namespace

bool StdoutIsTerminal() { return IsTerminal(STDOUT_FILENO); }

RawKeys::RawKeys() : raw_(new RawTerminal(STDIN_FILENO, false)) {
  active_ = raw_->active();
  gRaw = raw_.get();
}

RawKeys::~RawKeys() {
  gRaw = nullptr;
  raw_->Restore();
}

Key RawKeys::Read(int timeoutMs) {
  if (!active_) {
    if (timeoutMs > 0) poll(nullptr, 0, timeoutMs);
    return Key::None;
  }
  const int c = ReadByte(STDIN_FILENO, timeoutMs);
  if (c < 0) return Key::None;
  switch (c) {
    case ' ': return Key::PauseResume;
    case 'n': case 'N': return Key::Next;
    case 'q': case 'Q': return Key::Quit;
    case 0x1b: {
      // Arrow keys arrive as ESC [ C / ESC [ D (or ESC O C / ESC O D).
      const int a = ReadByte(STDIN_FILENO, 50);
      const int b = a == '[' || a == 'O' ? ReadByte(STDIN_FILENO, 50) : -1;
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
