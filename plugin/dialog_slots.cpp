// The record's dialog slots: configuration, About and file information, shown by the
// platform's dialog front end over the host's window.
#include "plugin/player_state.h"
#include "plugin/plugin_slots.h"
#include "ui/dialogs/config_model.h"
#include "ui/dialogs/dialog_front_end.h"
#include "ui/dialogs/information_command.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/player_settings.h"

void Config(HostWindow parent) {
  // The settings record is edited in place; the store is written at Quit.
  ConfigModel dialog(TheSettings);
  DialogFrontEnd(parent).RunDialog(dialog);
}

void About(HostWindow parent) {
  DialogFrontEnd(parent).ShowMessage(AboutBox());
}

int InfoBox(const char* file, HostWindow parent) {
  PlayerState& p = Player();
  return RunInformationCommand(file, p.PlayingCollection != 0, p.PasswordKey, DialogFrontEnd(parent));
}
