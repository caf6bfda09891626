// The configuration dialog (template 102): shows the settings, and at OK writes the
// four flags and at most 99 characters of the title template back. There is no
// Cancel; Escape and the close command leave it open. The store is written at Quit.
#pragma once
#include "ui/dialogs/dialog_model.h"

struct PlayerSettings;

class ConfigModel : public DialogModel {
 public:
  explicit ConfigModel(PlayerSettings& settings);
  void Open() override;
  void Command(int id) override;

 private:
  PlayerSettings& settings_;
};
