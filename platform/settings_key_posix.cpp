#include "platform/settings_key.h"

#include "platform/registry_store.h"

struct SettingsKey::Impl {
  RegistryStore store;
  RegistryKey* key = nullptr;
};

SettingsKey::SettingsKey(const char* subPath, Use use) : impl_(new Impl) {
  // An unreadable file is left alone by a load; a save moves it aside first.
  if (use == Use::Load && !impl_->store.Readable()) return;
  impl_->key = impl_->store.CreateKey(subPath);
}

SettingsKey::~SettingsKey() = default;

bool SettingsKey::IsOpen() const { return impl_->key != nullptr; }

bool SettingsKey::ReadDword(const char* name, uint32_t* out) const {
  return impl_->key && impl_->key->ReadDword(name, out);
}

bool SettingsKey::ReadString(const char* name, std::string* out) const {
  return impl_->key && impl_->key->ReadString(name, out);
}

bool SettingsKey::WriteDword(const char* name, uint32_t value) {
  return impl_->key && impl_->key->WriteDword(name, value);
}

bool SettingsKey::WriteString(const char* name, const std::string& value) {
  return impl_->key && impl_->key->WriteString(name, value);
}

bool SettingsKey::Commit() { return impl_->key && impl_->store.Save(); }
