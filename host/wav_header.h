// The canonical 44-byte header of a PCM WAV file, shared by every program of ours
// that writes one, so that their files compare byte for byte.
#pragma once
#include <cstdint>

#include "host/output_device.h"

namespace wav {
inline constexpr int kHeaderBytes = 44;
inline constexpr uint16_t kFormatPcm = 1;
inline constexpr int kFmtChunkBytes = 16;
// The RIFF size field is 32-bit and counts everything after itself.
inline constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8) - 1;
}  // namespace wav

// Builds the header for DATA_BYTES of PCM in FORMAT.
void BuildWavHeader(const PcmFormat& format, uint32_t dataBytes, uint8_t out[wav::kHeaderBytes]);
