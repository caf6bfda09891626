// Single fields of module files (little-endian), for tests that break one of them,
// and where an IT file keeps its instrument, sample and pattern headers.
#pragma once
#include <cstdint>
#include <vector>

namespace zsftest {

inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}
inline void Put16(std::vector<uint8_t>* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

constexpr size_t kItOrderCount = 0x20;
constexpr size_t kItInstrumentCount = 0x22;
constexpr size_t kItSampleCount = 0x24;
constexpr size_t kItPatternCount = 0x26;
constexpr size_t kItSpeed = 0x32;
constexpr size_t kItTempo = 0x33;
constexpr size_t kItOrders = 0xC0;
constexpr size_t kItSampleLength = 0x30;      // in a sample header
constexpr size_t kItSampleC5Speed = 0x3C;     // in a sample header
constexpr size_t kItVolumeEnvelope = 0x130;   // in an instrument header
constexpr size_t kItPatternRows = 2;          // in a pattern header

// Offsets of the instrument, sample and pattern headers, from the header's tables.
inline std::vector<uint32_t> ItTable(const std::vector<uint8_t>& b, int which) {
  size_t orders = Get16(b, kItOrderCount), instruments = Get16(b, kItInstrumentCount);
  size_t samples = Get16(b, kItSampleCount), patterns = Get16(b, kItPatternCount);
  size_t at = kItOrders + orders;
  size_t count = instruments;
  if (which >= 1) { at += 4 * instruments; count = samples; }
  if (which >= 2) { at += 4 * samples; count = patterns; }
  std::vector<uint32_t> out;
  for (size_t i = 0; i < count; ++i) out.push_back(Get32(b, at + 4 * i));
  return out;
}
inline std::vector<uint32_t> ItInstruments(const std::vector<uint8_t>& b) { return ItTable(b, 0); }
inline std::vector<uint32_t> ItSamples(const std::vector<uint8_t>& b) { return ItTable(b, 1); }
inline std::vector<uint32_t> ItPatterns(const std::vector<uint8_t>& b) { return ItTable(b, 2); }

}  // namespace zsftest
