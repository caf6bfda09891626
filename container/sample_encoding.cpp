// The stored sample forms of S3M (unsigned) and XM (delta-coded) modules, made
// from the signed PCM that songs keep.
#include <cstdint>

#include "container/module_format.h"

void FlipSampleSign(uint8_t* data, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) {
    for (uint32_t i = 0; i < size; ++i) data[i] ^= 0x80;
    return;
  }
  // Little-endian words: the sign is in the high byte.
  for (uint32_t i = 0; i + 1 < size; i += 2) data[i + 1] ^= 0x80;
}

void DeltaEncodeSample(uint8_t* data, uint32_t size, bool sixteenBit) {
  if (!sixteenBit) {
    uint8_t previous = 0;
    for (uint32_t i = 0; i < size; ++i) {
      uint8_t current = data[i];
      data[i] = static_cast<uint8_t>(current - previous);
      previous = current;
    }
    return;
  }
  uint16_t previous = 0;
  for (uint32_t i = 0; i + 1 < size; i += 2) {
    uint16_t current = static_cast<uint16_t>(data[i] | data[i + 1] << 8);
    uint16_t delta = static_cast<uint16_t>(current - previous);
    data[i] = static_cast<uint8_t>(delta);
    data[i + 1] = static_cast<uint8_t>(delta >> 8);
    previous = current;
  }
}
