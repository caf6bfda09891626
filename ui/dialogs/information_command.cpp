#include "ui/dialogs/information_command.h"

#include "ui/dialogs/info_model.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/dialogs/password_prompt.h"

int RunInformationCommand(const char* file, bool playingCollection, uint32_t& passwordKey,
                          DialogServices& services) {
  if (playingCollection) {
    if (services.ShowMessage(ChangePasswordQuestion()) != MessageAnswer::Yes) return 0;
    AskPassword(services, &passwordKey);
    return 0;
  }
  InfoModel dialog(file, services, passwordKey);
  services.RunDialog(dialog);
  return 0;
}
