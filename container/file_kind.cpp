#include "container/file_kind.h"

#include <cstring>

const FileKindName kFileKindNames[kFileKindNameCount] = {
    {".IT", "Impulse Tracker Module"}, {".XM", "Fast Tracker Module"},
    {".S3M", "Scream Tracker Module"}, {".MOD", "MOD Module"},
    {".ZSF", "Zorbel Sound Format"},   {".ZTF", "Zorbel Tune File"},
};

static char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

static bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  }
  return *a == *b;
}

uint32_t FileKindFromName(const char* name) {
  if (!name) return kFileKindUnknown;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return kFileKindUnknown;
  for (uint32_t kind = 0; kind < kFileKindNameCount; ++kind) {
    if (EqualsIgnoringAsciiCase(dot, kFileKindNames[kind].extension)) {
      return kind == kFileKindZtf ? kFileKindZsf : kind;
    }
  }
  return kFileKindUnknown;
}
