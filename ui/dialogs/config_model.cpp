#include "ui/dialogs/config_model.h"

#include <cstring>

#include "ui/player_settings.h"

ConfigModel::ConfigModel(PlayerSettings& settings) : DialogModel(kConfigTemplate), settings_(settings) {
  Find(kConfigTitleEdit)->command = "title";
  Find(kConfigDisableEcho)->command = "echo";
  Find(kConfigLoBit)->command = "8bit";
  Find(kConfigMono)->command = "mono";
  Find(kConfigLoadLen)->command = "lengths";
  Find(1)->command = "ok";
}

void ConfigModel::Open() {
  Find(kConfigDisableEcho)->checked = settings_.DisableSEcho != 0;
  Find(kConfigLoBit)->checked = settings_.LoBit != 0;
  Find(kConfigMono)->checked = settings_.Mono != 0;
  Find(kConfigLoadLen)->checked = settings_.LoadLen != 0;
  const char* title = settings_.TitleOutput;
  SetText(kConfigTitleEdit, std::string(title, strnlen(title, kTitleTemplateSize - 1)));
}

void ConfigModel::Command(int id) {
  if (id != kCommandOk) return;
  settings_.DisableSEcho = Find(kConfigDisableEcho)->checked ? 1 : 0;
  settings_.Mono = Find(kConfigMono)->checked ? 1 : 0;
  settings_.LoBit = Find(kConfigLoBit)->checked ? 1 : 0;
  settings_.LoadLen = Find(kConfigLoadLen)->checked ? 1 : 0;
  const std::string& typed = Find(kConfigTitleEdit)->text;
  std::memset(settings_.TitleOutput, 0, sizeof settings_.TitleOutput);
  std::memcpy(settings_.TitleOutput, typed.data(),
              typed.size() < kTitleTemplateSize - 1 ? typed.size() : kTitleTemplateSize - 1);
  Close();
}
