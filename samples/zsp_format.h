// ZSP sample pack layout: magic, version gates and type bytes shared by the pack
// reader and writer.
#pragma once
#include <cstdint>

#include "container/format_version.h"

inline constexpr char kZspMagic[4] = {'Z', 'S', 'P', '1'};

// Version 1 gates; from version 2 on every one of them holds.
inline constexpr FormatVersion kZspScrambleFlagFrom{1, 23};   // header byte 6: scramble flag
inline constexpr FormatVersion kZspWidthAttributeFrom{1, 26};  // width and attribute per slot
inline constexpr FormatVersion kZspTypeByteFrom{1, 28};       // type byte, decoded length, name26
inline constexpr FormatVersion kZspEmptySlotFrom{1, 29};      // type 0x3E means an empty slot
inline constexpr FormatVersion kZspAux32From{1, 36};          // 32-bit value per slot
inline constexpr FormatVersion kZspTypedListFrom{2, 0};       // version-2 entry list
inline constexpr FormatVersion kZspXorFrom{2, 3};             // XOR descrambling instead of subtract
inline constexpr FormatVersion kZspHighest{2, 3};             // newest version accepted

// Version 0/1 type bytes (1.28 on).
inline constexpr uint8_t kZspV1TypePcm = 0x00;
inline constexpr uint8_t kZspV1TypeEmpty = 0x3E;  // ">", empty from 1.29; coded in 1.28
inline constexpr uint8_t kZspV1TypeCoded = 0x01;  // any other value is coded; writers use 1

// Version 2 type bytes; any other value is passed over.
inline constexpr uint8_t kZspTypePcmEntry = 0x01;
inline constexpr uint8_t kZspTypeCodedEntry = 0x02;
inline constexpr uint8_t kZspTypeEmptySlot = 0x03;
inline constexpr uint8_t kZspTypeEndOfList = 0xEC;

inline constexpr uint32_t kZspName30Length = 30;
inline constexpr uint32_t kZspName26Length = 26;

// A plain body cut short by the end of the pack keeps its bytes, and a missing tail
// of up to this many bytes reads as zero; more is no damaged download but a length
// no file justifies (a few bytes would ask for gigabytes), and the entry gets no data.
inline constexpr uint32_t kZspMaxMissingTail = 4u << 20;

constexpr bool ZspAccepted(uint8_t major, uint8_t minor) {
  return VersionAtMost(major, minor, kZspHighest);
}
constexpr bool ZspHasScrambleFlag(uint8_t major, uint8_t minor) {
  return VersionAtLeast(major, minor, kZspScrambleFlagFrom);
}
constexpr bool ZspUsesXor(uint8_t major, uint8_t minor) {
  return VersionAtLeast(major, minor, kZspXorFrom);
}
