// Song-like files for tests of the tag trailer: a body of known bytes followed by
// the tag text and its 16-bit length.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zsftest {

// A body that looks nothing like tag text (all byte values, no pattern of lines).
inline std::vector<uint8_t> NoiseBody(size_t size, uint32_t seed = 1) {
  std::vector<uint8_t> body(size);
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : body) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return body;
}

inline std::vector<uint8_t> WithTags(std::vector<uint8_t> body, const std::string& text) {
  body.insert(body.end(), text.begin(), text.end());
  body.push_back(static_cast<uint8_t>(text.size()));
  body.push_back(static_cast<uint8_t>(text.size() >> 8));
  return body;
}

}  // namespace zsftest
