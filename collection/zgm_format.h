// ZGM collection layout shared by the reader and the writer: a 110-byte header
// (magic, two version bytes, 100-byte info text, entry count) followed by entries
// of kind, 8-byte name, data size and data, back to back.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zgm {

inline constexpr char kMagic[4] = {'Z', 'G', 'M', '1'};
inline constexpr size_t kMagicSize = 4;
// The two bytes after the magic: written as 1 and 0, never checked on reading.
inline constexpr uint8_t kVersionByte = 1;
inline constexpr uint8_t kReservedByte = 0;
inline constexpr size_t kInfoSize = 100;
inline constexpr size_t kHeaderSize = kMagicSize + 2 + kInfoSize + 4;  // 110
inline constexpr size_t kNameSize = 8;
inline constexpr size_t kEntryHeaderSize = 1 + kNameSize + 4;  // 13
// Lookups answer 666 for "not found", so no collection may hold a position 666.
inline constexpr uint32_t kMaxEntries = 666;

}  // namespace zgm

// What an entry holds. Any value other than tune and sample pack is a text.
enum EntryKind : uint8_t {
  kEntryTune = 1,        // a ZTF tune, played as a track
  kEntrySamplePack = 2,  // a ZSP pack; the first one serves every tune
  kEntryText = 3,        // the kind the writer gives texts; carried, never interpreted
};

// The position collection lookups return when nothing matches.
inline constexpr uint32_t NotFound666 = 666;
