#include "ui/player_settings.h"

#include <cstring>
#include <string>

#include "platform/settings_key.h"

// Constant-initialised: the defaults hold before any code of ours runs.
PlayerSettings TheSettings;

namespace {

constexpr const char* kDisableSEcho = "DisableSEcho";
constexpr const char* kLoBit = "LoBit";
constexpr const char* kMono = "Mono";
constexpr const char* kLoadLen = "LoadLen";
constexpr const char* kTitleOutput = "TitleOutput";
constexpr const char* kMarker = "";  // the key's default value

void SetTemplate(PlayerSettings* s, const std::string& text) {
  size_t n = text.size() < kTitleTemplateSize - 1 ? text.size() : kTitleTemplateSize - 1;
  std::memcpy(s->TitleOutput, text.data(), n);
  s->TitleOutput[n] = '\0';
}

// Writes the stored values into KEY, in the store's order, the marker last.
bool WriteValues(const PlayerSettings& s, SettingsKey* key) {
  size_t n = strnlen(s.TitleOutput, kTitleTemplateSize - 1);
  std::string title(s.TitleOutput, n);
  // The template comes from a one-line field; a line break could not be stored.
  for (char& c : title)
    if (c == '\r' || c == '\n') c = ' ';
  return key->WriteDword(kDisableSEcho, s.DisableSEcho) && key->WriteDword(kLoBit, s.LoBit) &&
         key->WriteDword(kMono, s.Mono) && key->WriteDword(kLoadLen, s.LoadLen) &&
         key->WriteString(kTitleOutput, title) &&
         key->WriteDword(kMarker, kSettingsWrittenMarker);
}

}  // namespace

void PlayerSettings::Reset() { *this = PlayerSettings(); }

uint32_t PlayerSettings::Load() {
  Reset();
  SettingsKey key(kSettingsKeyPath, SettingsKey::Use::Load);
  // A key we may not open (no rights, or a store that cannot be read) keeps the defaults.
  if (!key.IsOpen()) return 1;

  uint32_t marker = 0;
  if (!key.ReadDword(kMarker, &marker) || marker != kSettingsWrittenMarker) {
    // First start, or a marker another program wrote: the defaults replace every value.
    WriteValues(*this, &key);
    key.Commit();
  }

  key.ReadDword(kDisableSEcho, &DisableSEcho);
  key.ReadDword(kLoBit, &LoBit);
  key.ReadDword(kMono, &Mono);
  key.ReadDword(kLoadLen, &LoadLen);
  std::string title;
  if (key.ReadString(kTitleOutput, &title)) SetTemplate(this, title);
  KeepSamples = 0;
  return 0;
}

uint32_t PlayerSettings::Save() const {
  // Opened afresh, so that what other programs changed in the store meanwhile survives.
  SettingsKey key(kSettingsKeyPath, SettingsKey::Use::Save);
  if (!key.IsOpen() || !WriteValues(*this, &key)) return 1;
  return key.Commit() ? 0 : 1;
}
