// PromptDialog: the modal one-line text prompt used for passwords and tag texts.
#pragma once
#include <cstddef>

inline constexpr size_t kPromptAnswerSize = 200;  // 199 characters and a terminator

struct PromptRequest {
  const char* prompt;  // shown as label and caption
  char* answer;        // kPromptAnswerSize bytes: the initial answer in, the typed one out
};

// Runs the prompt over PARENT. True when the user answered; false when the front end
// was cancelled (on Linux: the end of standard input), leaving the answer unchanged.
bool PromptDialog(void* parent, PromptRequest& request);
