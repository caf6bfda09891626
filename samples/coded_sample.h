// DecodeCodedSample: Ogg Vorbis pack entries to interleaved signed PCM.
#pragma once
#include <cstdint>

struct ByteStream;

inline constexpr uint32_t kCodedOk = 0;
inline constexpr uint32_t kCodedError = 1;

// Appends the decoded PCM (8 or 16 bit, channels interleaved) to OUTPUT, a growable
// memory stream. 0 when the data was decoded to its end, 1 when decoding stopped on
// an error (OUTPUT keeps what was decoded before). Widths other than 8 and 16 are
// refused with 1 and nothing written. Safe to call from several threads at once.
uint32_t DecodeCodedSample(uint32_t codedSize, const uint8_t* coded, int32_t width,
                           ByteStream* output);

// Decodes into OUT until its CAPACITY bytes are filled (a value the end cuts keeps
// its first bytes), then stops: what a pack entry of a declared length needs, with
// no growing buffer. PRODUCED gets the bytes written; the result is as above, and
// 0 once OUT is full.
uint32_t DecodeCodedSampleInto(uint32_t codedSize, const uint8_t* coded, int32_t width, uint8_t* out,
                               uint32_t capacity, uint32_t* produced);
