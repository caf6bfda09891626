// One key of the persistent settings store below HKEY_LOCAL_MACHINE: the Windows
// registry on Windows, the registry-shaped text file (platform/registry_store.h)
// elsewhere. Values are DWORDs and strings; the name "" is the key's default value.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class SettingsKey {
 public:
  // What the key is opened for. Loading never touches a store that exists but cannot
  // be read (the text file's owner may want it back); saving may replace it.
  enum class Use { Load, Save };

  // Opens or creates every level of SUBPATH ("Software\Maker\Product") in turn.
  // IsOpen() is false when a level cannot be opened or created (no rights).
  SettingsKey(const char* subPath, Use use);
  ~SettingsKey();
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  bool IsOpen() const;

  // False when the value is missing or of another type; *OUT is then untouched.
  bool ReadDword(const char* name, uint32_t* out) const;
  bool ReadString(const char* name, std::string* out) const;
  // Creates or replaces the value. False when the store refuses it.
  bool WriteDword(const char* name, uint32_t value);
  bool WriteString(const char* name, const std::string& value);

  // Makes the writes so far persistent (the registry keeps each write at once; the
  // text file is replaced as a whole). False when they could not be stored.
  bool Commit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
