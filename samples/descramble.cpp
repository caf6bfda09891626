#include "samples/descramble.h"

// Only the key's low byte takes part, so a negative key adds its magnitude.
void DescrambleSubtract(uint8_t* data, uint32_t size, int32_t key) {
  const uint8_t k = static_cast<uint8_t>(key);
  for (uint32_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(data[i] - k);
}

void DescrambleXor(uint8_t* data, uint32_t size, int32_t key) {
  const uint8_t k = static_cast<uint8_t>(key);
  for (uint32_t i = 0; i < size; ++i) data[i] ^= k;
}
