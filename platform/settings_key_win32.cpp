#include "platform/settings_key.h"

#include <windows.h>

#include <vector>

struct SettingsKey::Impl {
  HKEY key = nullptr;
};

SettingsKey::SettingsKey(const char* subPath, Use) : impl_(new Impl) {
  // Level by level, each opened or created with full access; the parent is closed as
  // soon as its child is open. A user without rights on a level gets no key at all.
  HKEY parent = HKEY_LOCAL_MACHINE;
  std::string path = subPath ? subPath : "";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string level = path.substr(start, end - start);
    start = end + 1;
    if (level.empty()) continue;
    HKEY child = nullptr;
    char emptyClass[] = "";
    LONG result = RegCreateKeyExA(parent, level.c_str(), 0, emptyClass, 0, KEY_ALL_ACCESS,
                                  nullptr, &child, nullptr);
    if (parent != HKEY_LOCAL_MACHINE) RegCloseKey(parent);
    if (result != ERROR_SUCCESS) return;
    parent = child;
  }
  if (parent != HKEY_LOCAL_MACHINE) impl_->key = parent;
}

SettingsKey::~SettingsKey() {
  if (impl_->key) RegCloseKey(impl_->key);
}

bool SettingsKey::IsOpen() const { return impl_->key != nullptr; }

bool SettingsKey::ReadDword(const char* name, uint32_t* out) const {
  if (!impl_->key) return false;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(impl_->key, name ? name : "", nullptr, &type,
                       reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return false;
  *out = value;
  return true;
}

bool SettingsKey::ReadString(const char* name, std::string* out) const {
  if (!impl_->key) return false;
  // Another program may change the value between asking its size and reading it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(impl_->key, name ? name : "", nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      return false;
    std::vector<char> buffer(size + 1, '\0');
    DWORD got = size;
    LONG result = RegQueryValueExA(impl_->key, name ? name : "", nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS || type != REG_SZ) return false;
    // The stored bytes need not end in a terminator; the text ends at the first one.
    buffer[got] = '\0';
    *out = buffer.data();
    return true;
  }
  return false;
}

bool SettingsKey::WriteDword(const char* name, uint32_t value) {
  if (!impl_->key) return false;
  DWORD data = value;
  return RegSetValueExA(impl_->key, name ? name : "", 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool SettingsKey::WriteString(const char* name, const std::string& value) {
  if (!impl_->key) return false;
  // The text and its terminating zero: length + 1 bytes.
  return RegSetValueExA(impl_->key, name ? name : "", 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SettingsKey::Commit() { return impl_->key != nullptr; }
