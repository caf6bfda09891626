// The password hash: the key that descrambles protected sample packs comes from it.
#pragma once
#include <cstdint>

// Lowers the ASCII letters of TEXT in place, then adds its LENGTH bytes as signed
// 8-bit values into a wrapping 32-bit sum. The empty password gives 0.
uint32_t HashPassword(char* text, uint32_t length);
