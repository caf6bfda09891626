// FileKind: which reader a file goes to, chosen from its name's extension.
#pragma once
#include <cstdint>

// The numbers 0..3 double as ModuleKind (the engine reader of a plain module).
enum FileKind : uint32_t {
  kFileKindIt = 0,
  kFileKindXm = 1,
  kFileKindS3m = 2,
  kFileKindMod = 3,
  kFileKindZsf = 4,
  kFileKindZtf = 5,  // never returned by the lookup; consumers fold it into 4
  kFileKindUnknown = 7,
};

struct FileKindName {
  const char* extension;
  const char* description;
};

// Extensions and descriptions of kinds 0..5, in lookup order.
inline constexpr uint32_t kFileKindNameCount = 6;
extern const FileKindName kFileKindNames[kFileKindNameCount];

// Kind of NAME from the text after its last "." (ASCII case folded): 0..4, or 7
// when there is no dot or the extension is not one of ours. ".ZTF" gives 4.
uint32_t FileKindFromName(const char* name);
