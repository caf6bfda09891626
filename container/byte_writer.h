// ByteWriter: little-endian field writer that the format writers share, so a
// writer reads like its reader beside it.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ByteWriter {
 public:
  void u8(uint8_t v) { out_.push_back(v); }
  void u16(uint16_t v) { u8(static_cast<uint8_t>(v)); u8(static_cast<uint8_t>(v >> 8)); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void f32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    u32(bits);
  }
  void bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void bytes(const std::vector<uint8_t>& v) { out_.insert(out_.end(), v.begin(), v.end()); }
  // A fixed-width text field, NUL-padded; a text of WIDTH bytes has no terminator.
  void text(const std::string& s, size_t width) {
    size_t n = s.size() < width ? s.size() : width;
    bytes(s.data(), n);
    out_.insert(out_.end(), width - n, 0);
  }
  size_t size() const { return out_.size(); }
  std::vector<uint8_t>& data() { return out_; }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};
