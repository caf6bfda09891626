#include "ui/password.h"

#include "container/ascii_case.h"

uint32_t HashPassword(char* text, uint32_t length) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) {
    text[i] = LowerAscii(text[i]);
    // Bytes 0x80..0xFF count as -128..-1; unsigned arithmetic wraps as the sum must.
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(text[i])));
  }
  return sum;
}
