// RecogniseModuleKind: signatures first, the signature-less 15-sample MOD last.
#include "tools/modules/module_kind.h"

#include <cstring>

#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace {

constexpr char kItSignature[] = "IMPM";
constexpr char kXmSignature[] = "Extended Module: ";
constexpr char kS3mSignature[] = "SCRM";
constexpr size_t kS3mSignatureAt = 0x2C;

// Title, 15 sample headers, song length, restart byte and the order table.
constexpr size_t kMod15HeaderSize = kModTitleSize + kModOldSampleSlots * kModSampleHeaderSize + 2 + 128;
constexpr size_t kModPatternBytes4 = 64 * 4 * 4;
constexpr uint8_t kModMostVolume = 64, kModMostFinetune = 15;

bool At(const uint8_t* head, size_t headSize, size_t at, const char* signature) {
  const size_t n = std::strlen(signature);
  return headSize >= at + n && std::memcmp(head + at, signature, n) == 0;
}

// The old 15-sample MOD: sane sample headers and song length, and the patterns the
// order table names plus every sample's data fit in the file. Empty when it fits,
// else why not.
std::string Mod15Misfit(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  if (headSize < kMod15HeaderSize) return "too short for the old 15-sample MOD's header";
  uint64_t sampleBytes = 0;
  for (uint32_t i = 0; i < kModOldSampleSlots; ++i) {
    const uint8_t* h = head + kModTitleSize + i * kModSampleHeaderSize;
    if (h[24] > kModMostFinetune || h[25] > kModMostVolume)
      return "no sane old 15-sample MOD header either (sample " + std::to_string(i + 1) + ")";
    sampleBytes += static_cast<uint32_t>(h[22] << 8 | h[23]) * 2u;
  }
  const uint8_t* song = head + kModTitleSize + kModOldSampleSlots * kModSampleHeaderSize;
  if (song[0] == 0 || song[0] > 128) return "no sane old 15-sample MOD header either (song length)";
  int highest = 0;
  for (int i = 0; i < 128; ++i)
    if (song[2 + i] > highest) highest = song[2 + i];
  const uint64_t needed = kMod15HeaderSize + static_cast<uint64_t>(highest + 1) * kModPatternBytes4 + sampleBytes;
  if (needed > fileSize)
    return "as an old 15-sample MOD its " + std::to_string(highest + 1) + " patterns and samples would need " +
           std::to_string(needed) + " bytes, and the file has " + std::to_string(fileSize);
  return std::string();
}

}  // namespace

bool RecogniseModuleKind(const uint8_t* head, size_t headSize, uint64_t fileSize, uint32_t* kind,
                         std::string* why) {
  if (headSize > fileSize) headSize = static_cast<size_t>(fileSize);
  if (At(head, headSize, 0, kItSignature)) {
    *kind = kKindIt;
  } else if (At(head, headSize, 0, kXmSignature)) {
    *kind = kKindXm;
  } else if (At(head, headSize, kS3mSignatureAt, kS3mSignature)) {
    *kind = kKindS3m;
  } else if (headSize >= kModTagAt + 4 && detail::ModChannelsOfTag(head + kModTagAt) != 0) {
    *kind = kKindMod;
  } else {
    const std::string misfit = Mod15Misfit(head, headSize, fileSize);
    if (!misfit.empty()) {
      if (why) *why = "not a module: no IT, XM, S3M or MOD signature, and " + misfit;
      return false;
    }
    *kind = kKindMod;
  }
  return true;
}

const char* ModuleKindName(uint32_t kind) {
  static const char* const kNames[] = {"IT", "XM", "S3M", "MOD"};
  return kind <= kKindMod ? kNames[kind] : "?";
}

}  // namespace zsfmod
