// ByteCursor: the one bounded reader over bytes already in memory. Every format
// reader takes its fields through it: reads past the end deliver zeros and set a
// sticky failure flag that the reader checks once per group of fields, so "a field
// is read only when it lies wholly inside the image" holds by construction.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t size() const { return size_; }
  size_t remaining() const { return size_ - pos_; }
  bool canRead(size_t n) const { return n <= size_ - pos_; }
  const uint8_t* data() const { return data_; }

  uint8_t u8() { uint8_t v = 0; take(&v, 1); return v; }
  uint16_t u16() {
    uint8_t b[2] = {0, 0};
    take(b, 2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
  }
  uint32_t u32() {
    uint8_t b[4] = {0, 0, 0, 0};
    take(b, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  }
  float f32() {
    uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  // All or nothing: copies N bytes or, when fewer are left, zero-fills DST and fails.
  bool bytes(void* dst, size_t n) { return take(dst, n); }
  // A pointer to the next N bytes inside the buffer, or null (and failure).
  const uint8_t* span(size_t n) {
    if (!ok_ || !canRead(n)) return fail();
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  // Like every read, skip and seek keep a failure sticky: they report ok() afterwards.
  bool skip(size_t n) {
    span(n);
    return ok_;
  }
  bool seek(size_t pos) {
    if (pos > size_) { fail(); return false; }
    if (ok_) pos_ = pos;
    return ok_;
  }
  // A child cursor over the next N bytes; the parent moves past them. A failed
  // parent (or one with fewer than N bytes left) yields a failed child.
  ByteCursor sub(size_t n) {
    const uint8_t* p = span(n);
    return ok_ ? ByteCursor(p, n) : ByteCursor::Failed();
  }

 private:
  static ByteCursor Failed() { ByteCursor c; c.ok_ = false; return c; }
  std::nullptr_t fail() { ok_ = false; pos_ = size_; return nullptr; }
  bool take(void* dst, size_t n) {
    if (!ok_ || !canRead(n)) {
      if (n) std::memset(dst, 0, n);
      fail();
      return false;
    }
    if (n) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return true;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool ok_ = true;
};
