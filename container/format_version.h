// A format version, as songs and packs store it: (major, minor) compared as
// major.minor with the minor in whole units, so 1.9 is below 1.11. Fields appear and
// change at version gates named in each format's header.
#pragma once
#include <cstdint>
#include <string>

struct FormatVersion {
  uint8_t major;
  uint8_t minor;
};

// Whether MAJOR.MINOR is GATE or newer.
constexpr bool VersionAtLeast(uint8_t major, uint8_t minor, FormatVersion gate) {
  return major > gate.major || (major == gate.major && minor >= gate.minor);
}
// Whether MAJOR.MINOR is HIGHEST or older.
constexpr bool VersionAtMost(uint8_t major, uint8_t minor, FormatVersion highest) {
  return major < highest.major || (major == highest.major && minor <= highest.minor);
}

// "2.2", as messages name a version.
inline std::string VersionText(uint8_t major, uint8_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}
inline std::string VersionText(FormatVersion version) { return VersionText(version.major, version.minor); }
