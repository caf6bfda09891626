// The prompt runs its model through the platform's dialog front end over PARENT. On
// Linux that is the text front end: on a terminal a small form driven by keys,
// otherwise the answer is the next line of standard input, and the end of input
// cancels so a script can never leave it waiting.
#include "ui/prompt_dialog.h"

#include "ui/dialogs/dialog_front_end.h"

bool PromptDialog(void* parent, PromptRequest& request) {
  if (!request.answer) return false;
  return DialogFrontEnd(parent).Prompt(request);
}
