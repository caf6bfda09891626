// The plug-in's version, as the player's plug-in list and the About box show it.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 666;
inline constexpr int kBuildNumber = 1073;

// "Quorvath ZSF Player v1.666 (b 1073)" into TEXT (SIZE bytes, cut to fit).
inline void FormatProductLine(char* text, size_t size) {
  std::snprintf(text, size, "Quorvath ZSF Player v%d.%.2d (b %d)", kVersionMajor, kVersionMinor, kBuildNumber);
}

// "1.666": the version the programs' --version and the packages carry.
inline std::string ProductVersion() { return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor); }
