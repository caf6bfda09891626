// IT sample compression (the 2.14 and 2.15 block forms), so tests have compressed
// samples of every width without anybody else's files. The stream is valid rather
// than small: widths follow a 16-value look-ahead.
#include <algorithm>

#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace detail {
namespace {

class BitWriter {
 public:
  // Least significant bit first, the order the decompressor reads.
  void Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (bit_ % 8 == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1u) << (bit_ % 8));
      ++bit_;
    }
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t bit_ = 0;
};

struct Widths {
  int full;    // 9 or 17: any value, escape by the top bit
  int margin;  // values reserved for width changes in the middle widths
  int changeBits;
};

// Whether V is written as a plain value in WIDTH bits (not read as a width change).
bool Fits(int v, int width, const Widths& w) {
  if (width >= w.full) return true;
  int half = 1 << (width - 1);
  if (width < 7) return v > -half && v < half;
  return v >= -half + w.margin && v <= half - w.margin - 1;
}

int MinWidth(int v, const Widths& w) {
  for (int width = 1; width < w.full; ++width)
    if (Fits(v, width, w)) return width;
  return w.full;
}

void ChangeWidth(BitWriter* out, int from, int to, const Widths& w) {
  if (from < 7) {
    out->Put(1u << (from - 1), from);
    out->Put(static_cast<uint32_t>(to < from ? to - 1 : to - 2), w.changeBits);
  } else if (from < w.full) {
    int border = (1 << (from - 1)) - 1 - w.margin;
    out->Put(static_cast<uint32_t>(border + (to < from ? to : to - 1)), from);
  } else {
    out->Put((1u << (w.full - 1)) | static_cast<uint32_t>(to - 1), w.full);
  }
}

std::vector<uint8_t> CompressBlock(const std::vector<int>& values, const Widths& w) {
  BitWriter out;
  int width = w.full;
  const size_t n = values.size();
  for (size_t i = 0; i < n; ++i) {
    int want = 1;
    for (size_t j = i; j < std::min(n, i + 16); ++j) want = std::max(want, MinWidth(values[j], w));
    if (!Fits(values[i], width, w) || want < width - 1) {
      if (want != width) ChangeWidth(&out, width, want, w);
      width = want;
    }
    uint32_t mask = width >= w.full ? (1u << (w.full - 1)) - 1 : (1u << width) - 1;
    out.Put(static_cast<uint32_t>(values[i]) & mask, width);
  }
  return std::move(out.bytes());
}

}  // namespace

std::vector<uint8_t> CompressItChannel(const uint8_t* pcm, uint32_t frames, uint8_t bits,
                                       bool it215) {
  const Widths w = bits == 16 ? Widths{17, 8, 4} : Widths{9, 4, 3};
  const uint32_t blockFrames = bits == 16 ? 0x4000 : 0x8000;
  std::vector<uint8_t> out;
  for (uint32_t start = 0; start < frames; start += blockFrames) {
    uint32_t count = std::min(blockFrames, frames - start);
    std::vector<int> values(count);
    int prev = 0, prevDelta = 0;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t f = start + i;
      int s = bits == 16 ? static_cast<int16_t>(pcm[2 * f] | pcm[2 * f + 1] << 8)
                         : static_cast<int8_t>(pcm[f]);
      int delta = bits == 16 ? static_cast<int16_t>(s - prev) : static_cast<int8_t>(s - prev);
      prev = s;
      int v = delta;
      if (it215) {
        v = bits == 16 ? static_cast<int16_t>(delta - prevDelta)
                       : static_cast<int8_t>(delta - prevDelta);
        prevDelta = delta;
      }
      values[i] = v;
    }
    std::vector<uint8_t> block = CompressBlock(values, w);
    out.push_back(static_cast<uint8_t>(block.size()));
    out.push_back(static_cast<uint8_t>(block.size() >> 8));
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

}  // namespace detail
}  // namespace zsfsynth
