// The Linux text front end of the prompt: the prompt is shown on standard output and
// the answer is one line of standard input (the terminal's line editing when it is a
// terminal). The end of input cancels, so a script can never leave it waiting.
#include "ui/prompt_dialog.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Restores canonical, echoing input for the length of one answer, whatever mode the
// player left the terminal in.
class LineMode {
 public:
  LineMode() {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
      termios line = saved_;
      line.c_lflag |= ICANON | ECHO;
      active_ = tcsetattr(STDIN_FILENO, TCSANOW, &line) == 0;
    }
  }
  ~LineMode() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }

 private:
  termios saved_{};
  bool active_ = false;
};

}  // namespace

bool PromptDialog(void* /*parent*/, PromptRequest& request) {
  if (!request.answer) return false;
  std::printf("[%s]\n%s: ", request.prompt ? request.prompt : "", request.prompt ? request.prompt : "");
  if (request.answer[0]) std::printf("(%s) ", request.answer);
  std::fflush(stdout);

  LineMode mode;
  char line[kPromptAnswerSize + 2];
  if (!std::fgets(line, sizeof line, stdin)) {
    std::printf("\n");
    return false;
  }
  size_t n = std::strcspn(line, "\r\n");
  // A longer line is cut to what the answer holds; drop the rest of it.
  if (line[n] == '\0' && n == sizeof line - 1) {
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') {
    }
  }
  if (n > kPromptAnswerSize - 1) n = kPromptAnswerSize - 1;
  std::memcpy(request.answer, line, n);
  request.answer[n] = '\0';
  return true;
}
