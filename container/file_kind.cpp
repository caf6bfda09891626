#include "container/file_kind.h"

#include <cstring>

#include "container/ascii_case.h"

const FileKindName kFileKindNames[kFileKindNameCount] = {
    {".IT", "Impulse Tracker Module"}, {".XM", "Fast Tracker Module"},
    {".S3M", "Scream Tracker Module"}, {".MOD", "MOD Module"},
    {".ZSF", "Zorbel Sound Format"},   {".ZTF", "Zorbel Tune File"},
};

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
