// Which kind of module a file holds, told from its content rather than its name:
// IT, XM and S3M by their signatures, MOD by the channel tag at 1080. The old
// 15-sample MOD carries no signature at all, so it is taken only as the last resort
// and only when its header is sane and its patterns and samples fit the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zsfmod {

// The bytes from the start of a file that recognition looks at (the MOD tag ends
// here); a shorter head is enough when the file itself is shorter.
constexpr size_t kModuleKindHeadBytes = 1084;

// Recognises the module kind (kKindIt .. kKindMod) from the first bytes HEAD of a
// file of FILE_SIZE bytes. False when the content is no module we play, with WHY
// saying what was looked for ("no IT, XM, S3M or MOD signature ...").
bool RecogniseModuleKind(const uint8_t* head, size_t headSize, uint64_t fileSize, uint32_t* kind,
                         std::string* why);

// "IT", "XM", "S3M" or "MOD" (or "?" for anything else).
const char* ModuleKindName(uint32_t kind);

}  // namespace zsfmod
