#include "pack_helpers.h"

#include <cmath>

namespace zsftest {

std::vector<uint8_t> SinePcm(size_t frames, uint8_t bits, uint8_t channels, double amplitude) {
  std::vector<uint8_t> out;
  for (size_t j = 0; j < frames; ++j) {
    for (uint8_t c = 0; c < channels; ++c) {
      const double s = amplitude * std::sin(2.0 * M_PI * (440.0 + 220.0 * c) * j / 44100.0);
      if (bits == 8) {
        out.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::lround(s * 127))));
      } else {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767)));
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
  }
  return out;
}

}  // namespace zsftest
