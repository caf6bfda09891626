#include "ui/dialogs/password_prompt.h"

#include <cstring>

#include "ui/password.h"

namespace {
constexpr const char* kPasswordPrompt = "Enter a Password";
}  // namespace

bool AskPassword(DialogServices& services, uint32_t* key) {
  char answer[kPromptAnswerSize] = "";
  PromptRequest request{kPasswordPrompt, answer};
  if (!services.Prompt(request)) return false;
  *key = HashPassword(answer, static_cast<uint32_t>(std::strlen(answer)));
  return true;
}
