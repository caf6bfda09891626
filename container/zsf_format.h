// ZSF/ZTF song file layout: magic, version gates and field sizes shared by the
// reader (zsf_reader.cpp) and the writer (zsf_writer.cpp).
#pragma once
#include <cstdint>

#include "container/format_version.h"

inline constexpr char kZsfMagic[4] = {'Z', 'S', 'F', '1'};

// The header carries the module extension (before it every song is Impulse Tracker).
inline constexpr FormatVersion kZsfModuleExtensionFrom{1, 11};
// Version 1 sample entries carry the sample's offset in the rebuilt image.
inline constexpr FormatVersion kZsfSampleOffsetFrom{1, 12};
// Version 1 sample entries carry derivation code, parameter and volume.
inline constexpr FormatVersion kZsfDerivationFieldsFrom{1, 15};
// The version 1 body lists extra pack entries before the spare value.
inline constexpr FormatVersion kZsfExtraEntriesFrom{1, 19};
// The version 2 body: source entries plus per-sample source indices.
inline constexpr FormatVersion kZsfV2BodyFrom{2, 0};
// Newest version read; anything above (and every major above 2) is refused.
inline constexpr FormatVersion kZsfHighestAccepted{2, 2};

constexpr bool ZsfVersionAccepted(uint8_t major, uint8_t minor) {
  return VersionAtMost(major, minor, kZsfHighestAccepted);
}

inline constexpr uint32_t kZsfPackNameLength = 26;
inline constexpr uint32_t kZsfExtensionLength = 5;
inline constexpr uint32_t kZsfHeaderSizeWithExtension = 37;

inline constexpr uint32_t kZsfV2SourceEntrySize = 17;  // entry, code, a, b, gain
inline constexpr uint32_t kZsfV2SampleEntrySize = 12;  // source, size, offset
inline constexpr uint8_t kZsfDefaultVolume = 100;      // v1 entries without derivation fields

// Size of one version 1 sample entry for a version.
constexpr uint32_t ZsfV1SampleEntrySize(uint8_t major, uint8_t minor) {
  return 8 + (VersionAtLeast(major, minor, kZsfSampleOffsetFrom) ? 4 : 0) +
         (VersionAtLeast(major, minor, kZsfDerivationFieldsFrom) ? 6 : 0);
}

// Longest source path and composed pack path, in characters.
inline constexpr uint32_t kZsfMaxPathLength = 199;
