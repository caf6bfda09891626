// BlockDecompress: decodes one bare LZO1X block whose decoded length the
// surrounding format declares (song structure images, pack entry bodies).
#pragma once
#include <cstdint>

inline constexpr uint32_t kBlockOk = 0;
inline constexpr uint32_t kBlockCorrupt = 1;
inline constexpr uint32_t kBlockLibraryUnavailable = 3;

// Safe-decoder contract: never reads past SOURCE + SOURCE_LENGTH, never writes past
// EXPECTED_LENGTH bytes. A block that would decode past EXPECTED_LENGTH, or that does
// not end exactly at SOURCE_LENGTH, fails. On success *OUT_DATA (malloc'd, the
// caller frees it) and *OUT_LENGTH receive the decoded bytes, possibly fewer than
// expected; either pointer may be null. On failure nothing is allocated and the
// out values are left untouched.
uint32_t BlockDecompress(const uint8_t* source, uint32_t sourceLength, uint32_t expectedLength,
                         uint8_t** outData, uint32_t* outLength);

// The most bytes an LZO1X block of SOURCE_LENGTH bytes can decode to; a declared
// length above this cannot be honest, so nothing larger is ever allocated for it.
uint64_t BlockDecodedLengthLimit(uint32_t sourceLength);
