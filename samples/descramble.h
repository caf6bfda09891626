// Descrambling of protected pack entries, applied to the stored (decompressed) bytes.
#pragma once
#include <cstdint>

// Each byte becomes (byte - key) modulo 256: packs of version 0, 1 and 2.0 to 2.2.
void DescrambleSubtract(uint8_t* data, uint32_t size, int32_t key);
// Each byte becomes byte XOR (key modulo 256): version 2.3.
void DescrambleXor(uint8_t* data, uint32_t size, int32_t key);
