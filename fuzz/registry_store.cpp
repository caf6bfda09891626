// The settings store's parser over arbitrary bytes: it must never crash, and what it
// accepts must format to text that parses back to the same document (a store written
// by us is always read back as written).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/registry_store.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  RegistryDocument doc;
  RegistryKey key;
  key.path = "HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay";
  key.WriteDword("DisableSEcho", 0);
  key.WriteDword("LoBit", 1);
  key.WriteString("TitleOutput", "%title% \"(%artist%)\" \\");
  key.WriteDword(nullptr, 666);
  doc.keys.push_back(key);
  RegistryKey other;
  other.path = "HKEY_CURRENT_USER\\Other";
  RegistryValue raw;
  raw.name = "Blob";
  raw.text = "hex:01,02,\\\n  03";
  other.values.push_back(raw);
  doc.keys.push_back(other);
  doc.preamble.push_back("; note");
  fuzzsupport::WriteSeed(dir, "seed_settings.reg", FormatRegistryText(doc));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegistryDocument doc;
  if (!ParseRegistryText(data, size, &doc)) return 0;
  std::string once = FormatRegistryText(doc);
  RegistryDocument again;
  if (!ParseRegistryText(reinterpret_cast<const uint8_t*>(once.data()), once.size(), &again))
    std::abort();
  if (FormatRegistryText(again) != once) std::abort();
  return 0;
}
