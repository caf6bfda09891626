// Song-like files for the tag tests: a body of known bytes followed by a TagBlock.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tagtest {

// A body that looks nothing like tag text (all byte values, no pattern of lines).
inline std::vector<uint8_t> Body(size_t size, uint32_t seed = 1) {
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

inline std::vector<uint8_t> Trailer(const std::string& text) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(static_cast<uint8_t>(text.size()));
  out.push_back(static_cast<uint8_t>(text.size() >> 8));
  return out;
}

inline std::vector<uint8_t> SongBytes(const std::vector<uint8_t>& body, const std::string& text) {
  std::vector<uint8_t> out = body;
  std::vector<uint8_t> trailer = Trailer(text);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

}  // namespace tagtest
