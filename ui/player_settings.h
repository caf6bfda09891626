// PlayerSettings: the user's choices for the whole life of the plug-in, loaded from
// the persistent store at Init and written back at Quit.
#pragma once
#include <cstdint>

inline constexpr const char* kSettingsKeyPath = "Software\\Quorvath Entertainment\\ZSFPlay";
// The key's default value once the settings have been written at least once.
inline constexpr uint32_t kSettingsWrittenMarker = 666;
inline constexpr const char* kDefaultTitleTemplate = "%title% (%artist%)";
inline constexpr uint32_t kTitleTemplateSize = 100;  // 99 characters and a terminator

struct PlayerSettings {
  uint32_t DisableSEcho = 0;  // nonzero: built-in echo stage off
  uint32_t KeepSamples = 0;   // never stored; 0 lets playback release sample data early
  uint32_t Mono = 0;          // nonzero: one output channel
  uint32_t LoBit = 0;         // nonzero: 8-bit output
  uint32_t LoadLen = 0;       // nonzero: compute lengths that no tag gives
  char TitleOutput[kTitleTemplateSize] = "%title% (%artist%)";

  // Every flag 0, the default template.
  void Reset();
  // Fills the record from the store; a first start (or a marker of another program)
  // writes the defaults first. A value missing while the marker is present keeps its
  // default; a stored template longer than 99 characters is cut to 99. 0 on success;
  // 1 when the store cannot be read (the record keeps the defaults).
  uint32_t Load();
  // Writes the record and the marker to the store. 0 on success, 1 on failure.
  uint32_t Save() const;
};

// The one record of the process, holding the defaults from library load on.
extern PlayerSettings TheSettings;
