#include "ui/dialogs/message_boxes.h"

#include <cstdio>
#include <cstring>

#include "ui/dialogs/info_model.h"
#include "ui/password.h"
#include "ui/prompt_dialog.h"

namespace {
constexpr const char* kAboutFormat = "Quorvath ZSF Player v%d.%.2d (b %d)";
constexpr const char* kAboutCaption = "About ZSF Player";
constexpr const char* kPluginCaption = "INZSF";
constexpr const char* kChangePassword = "Would you like to change the current password?";
constexpr const char* kPasswordPrompt = "Enter a Password";
}  // namespace

MessageBoxModel AboutBox(int major, int minor, int build) {
  char text[kDialogTextSize];
  std::snprintf(text, sizeof text, kAboutFormat, major, minor, build);
  return {text, kAboutCaption, MessageButtons::Ok, MessageIcon::Information};
}

MessageBoxModel ChangePasswordQuestion() {
  return {kChangePassword, kPluginCaption, MessageButtons::YesNo, MessageIcon::Question};
}

int RunInformationCommand(const char* file, bool playingCollection, uint32_t& passwordKey,
                          DialogServices& services) {
  if (playingCollection) {
    if (services.ShowMessage(ChangePasswordQuestion()) != MessageAnswer::Yes) return 0;
    char answer[kPromptAnswerSize] = "";
    PromptRequest request{kPasswordPrompt, answer};
    if (services.Prompt(request))
      passwordKey = HashPassword(answer, static_cast<uint32_t>(std::strlen(answer)));
    return 0;
  }
  InfoModel dialog(file, services, passwordKey);
  services.RunDialog(dialog);
  return 0;
}
