// The stored sample forms of S3M (unsigned) and XM (delta-coded) modules, made
// from the signed PCM that songs keep.
#include <cstdint>

#include "container/module_format.h"

// FROM and TO never overlap: the restrict-qualified helpers let the loops vectorise.
namespace {

void Flip8(const uint8_t* __restrict in, uint8_t* __restrict out, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) out[i] = in[i] ^ 0x80;
}

// Little-endian words: the sign is in the high byte.
void Flip16(const uint8_t* __restrict in, uint8_t* __restrict out, uint32_t words) {
  for (uint32_t w = 0; w < words; ++w) {
    out[2 * w] = in[2 * w];
    out[2 * w + 1] = in[2 * w + 1] ^ 0x80;
  }
}

void Delta8(const uint8_t* __restrict in, uint8_t* __restrict out, uint32_t size) {
  for (uint32_t i = 1; i < size; ++i) out[i] = static_cast<uint8_t>(in[i] - in[i - 1]);
}

void Delta16(const uint8_t* __restrict in, uint8_t* __restrict out, uint32_t words) {
  for (uint32_t w = 1; w < words; ++w) {
    uint16_t current = static_cast<uint16_t>(in[2 * w] | in[2 * w + 1] << 8);
    uint16_t previous = static_cast<uint16_t>(in[2 * w - 2] | in[2 * w - 1] << 8);
    uint16_t delta = static_cast<uint16_t>(current - previous);
    out[2 * w] = static_cast<uint8_t>(delta);
    out[2 * w + 1] = static_cast<uint8_t>(delta >> 8);
  }
}

}  // namespace

// A 16-bit sample's odd last byte belongs to no word and is copied as it is.
void FlipSampleSign(const uint8_t* from, uint8_t* to, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) return Flip8(from, to, size);
  Flip16(from, to, size / 2);
  if (size % 2) to[size - 1] = from[size - 1];
}

// The point before the first counts as 0, so the first point is stored as it is.
void DeltaEncodeSample(const uint8_t* from, uint8_t* to, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) {
    if (size) to[0] = from[0];
    return Delta8(from, to, size);
  }
  if (size >= 2) {
    to[0] = from[0];
    to[1] = from[1];
  }
  Delta16(from, to, size / 2);
  if (size % 2) to[size - 1] = from[size - 1];
}

void FlipSampleSignInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) {
    for (uint32_t i = 0; i < size; ++i) sample[i] ^= 0x80;
    return;
  }
  for (uint32_t w = 0; w < size / 2; ++w) sample[2 * w + 1] ^= 0x80;
}

// From the end backward, so each difference is taken before its predecessor changes.
void DeltaEncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) {
    for (uint32_t i = size; i-- > 1;) sample[i] = static_cast<uint8_t>(sample[i] - sample[i - 1]);
    return;
  }
  for (uint32_t w = size / 2; w-- > 1;) {
    const uint16_t current = static_cast<uint16_t>(sample[2 * w] | sample[2 * w + 1] << 8);
    const uint16_t previous = static_cast<uint16_t>(sample[2 * w - 2] | sample[2 * w - 1] << 8);
    const uint16_t delta = static_cast<uint16_t>(current - previous);
    sample[2 * w] = static_cast<uint8_t>(delta);
    sample[2 * w + 1] = static_cast<uint8_t>(delta >> 8);
  }
}
