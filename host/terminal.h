// The player's terminal: single keys without Enter while a song plays, the terminal
// restored on every way out (normal end, exceptions, signals), and the status line.
#pragma once
#include <memory>
#include <string>

class RawTerminal;

enum class Key { None, PauseResume, SeekBack, SeekForward, Next, Quit };

// Whether standard output is a terminal.
bool StdoutIsTerminal();

// Raw key mode on standard input for the object's life, when it is a terminal.
// Outside it the terminal is left cooked, so the plug-in's own prompts read lines.
class RawKeys {
 public:
  RawKeys();
  ~RawKeys();
  RawKeys(const RawKeys&) = delete;
  RawKeys& operator=(const RawKeys&) = delete;
  bool active() const { return active_; }
  // Waits up to TIMEOUT_MS for a key; Key::None when none came.
  Key Read(int timeoutMs);

 private:
  std::unique_ptr<RawTerminal> raw_;
  bool active_ = false;
};

// SIGINT, SIGTERM, SIGHUP and SIGQUIT restore the terminal and ask the player to
// quit cleanly; a second one ends the process at once.
void InstallQuitSignals();
bool QuitRequested();

// "  1:23 / 3:45 [#######-------------]", or without a bar when the length is not
// known (negative); " (paused)" behind it while paused.
std::string FormatStatus(int elapsedMs, int lengthMs, bool paused, int barWidth);
// m:ss, or h:mm:ss from an hour on; "--:--" for a negative time.
std::string FormatTime(int ms);

// One status line redrawn in place on standard output.
class StatusLine {
 public:
  explicit StatusLine(bool enabled) : enabled_(enabled) {}
  ~StatusLine() { Clear(); }
  void Show(const std::string& text);
  void Clear();

 private:
  bool enabled_;
  bool shown_ = false;
};
