// IT 2.14/2.15 sample decompression, bit for bit as the engine decodes it (also
// its reading of zeros past the end of a short block), so a decompressed sample
// sounds exactly as the compressed one did.
#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {
namespace {

// The engine's bit reader over one block: least significant bit first; past the
// end it yields what it has gathered (zeros).
class BlockBits {
 public:
  BlockBits(const uint8_t* data, size_t size) : block_(data, data + size) {}
  uint32_t Read(int width) {
    uint32_t val = 0;
    int b = 0;
    if (pos_ >= block_.size()) return val;
    while (width > rem_) {
      val |= static_cast<uint32_t>(block_[pos_++]) << b;
      if (pos_ >= block_.size()) return val;
      b += rem_;
      width -= rem_;
      rem_ = 8;
    }
    val |= (block_[pos_] & ((1u << width) - 1)) << b;
    block_[pos_] = static_cast<uint8_t>(block_[pos_] >> width);
    rem_ -= width;
    return val;
  }

 private:
  std::vector<uint8_t> block_;
  size_t pos_ = 0;
  int rem_ = 8;
};

// Decodes COUNT points of one block into OUT (8 or 16-bit, little-endian).
bool DecodeBlock(BlockBits* bits, uint32_t count, bool sixteen, bool it215, uint8_t* out) {
  const int full = sixteen ? 17 : 9;
  int width = full;
  int32_t d1 = 0, d2 = 0;
  uint32_t done = 0;
  while (done < count) {
    uint32_t val = bits->Read(width);
    if (width < 7) {
      if (val == (1u << (width - 1))) {
        val = bits->Read(sixteen ? 4 : 3) + 1;
        width = static_cast<int>(val < static_cast<uint32_t>(width) ? val : val + 1);
        continue;
      }
    } else if (width < full) {
      uint32_t border = sixteen ? (0xFFFFu >> (17 - width)) - 8 : (0xFFu >> (9 - width)) - 4;
      uint32_t span = sixteen ? 16 : 8;
      if (val > border && val <= border + span) {
        val -= border;
        width = static_cast<int>(val < static_cast<uint32_t>(width) ? val : val + 1);
        continue;
      }
    } else if (width == full) {
      if (val & (1u << (full - 1))) {
        width = static_cast<int>((val + 1) & 0xFF);
        // A width of 0 or above the sample width cannot be read.
        if (width < 1 || width > full) return false;
        continue;
      }
    } else {
      return false;
    }
    int32_t v;
    const int bitsOf = sixteen ? 16 : 8;
    if (width < bitsOf) {
      int shift = 32 - width;
      v = static_cast<int32_t>(val << shift) >> shift;
    } else {
      v = sixteen ? static_cast<int16_t>(val) : static_cast<int8_t>(val);
    }
    if (sixteen) {
      d1 = static_cast<int16_t>(d1 + v);
      d2 = static_cast<int16_t>(d2 + d1);
      auto w = static_cast<uint16_t>(it215 ? d2 : d1);
      out[2 * done] = static_cast<uint8_t>(w);
      out[2 * done + 1] = static_cast<uint8_t>(w >> 8);
    } else {
      d1 = static_cast<int8_t>(d1 + v);
      d2 = static_cast<int8_t>(d2 + d1);
      out[done] = static_cast<uint8_t>(it215 ? d2 : d1);
    }
    ++done;
  }
  return true;
}

}  // namespace

bool ItCompressedExtent(const std::vector<uint8_t>& file, uint32_t offset, uint32_t frames,
                        uint8_t bits, uint8_t channels, uint32_t* bytes, std::string* error) {
  // Compressed data need at least one bit per point (the engine's own bound).
  const uint64_t points = static_cast<uint64_t>(frames) * channels;
  if (offset > file.size() || points / 8 > file.size() - offset)
    return Fail(error, "compressed data of " + std::to_string(points) +
                           " points cannot fit in the rest of the file");
  const uint32_t blockFrames = bits == 16 ? kItBlockFrames16 : kItBlockFrames8;
  ByteCursor c(file.data(), file.size());
  c.seek(offset);
  uint32_t block = 0;
  for (uint8_t ch = 0; ch < channels; ++ch) {
    for (uint32_t left = frames; left > 0; ++block) {
      uint16_t size = c.u16();
      c.skip(size);
      if (!c.ok())
        return Fail(error, "compressed block " + std::to_string(block + 1) +
                               " extends past the end of the file");
      left -= left < blockFrames ? left : blockFrames;
    }
  }
  *bytes = static_cast<uint32_t>(c.position() - offset);
  return true;
}

bool ItDecompress(const std::vector<uint8_t>& file, const SampleLayout& s,
                  std::vector<uint8_t>* pcm, std::string* error) {
  const bool sixteen = s.bits == 16;
  const bool it215 = s.encoding == SampleLayout::kItCompressed215;
  const uint32_t blockFrames = sixteen ? kItBlockFrames16 : kItBlockFrames8;
  const std::string where = "IT sample " + std::to_string(s.index + 1) + ": ";
  uint32_t bytes = 0;
  if (!ItCompressedExtent(file, s.offset, s.frames, s.bits, s.channels, &bytes, error)) {
    *error = where + *error;
    return false;
  }
  pcm->assign(s.pcmBytes(), 0);
  ByteCursor c(file.data() + s.offset, bytes);
  size_t written = 0;
  uint32_t block = 0;
  for (uint8_t ch = 0; ch < s.channels; ++ch) {
    for (uint32_t left = s.frames; left > 0; ++block) {
      uint32_t count = left < blockFrames ? left : blockFrames;
      uint16_t size = c.u16();
      const uint8_t* data = c.span(size);
      if (!c.ok()) return Fail(error, where + "compressed block " + std::to_string(block + 1) + " is cut short");
      BlockBits reader(data, size);
      if (!DecodeBlock(&reader, count, sixteen, it215, pcm->data() + written))
        return Fail(error, where + "compressed block " + std::to_string(block + 1) +
                               " sets an impossible bit width");
      written += static_cast<size_t>(count) * (s.bits / 8u);
      left -= count;
    }
  }
  return true;
}

}  // namespace detail
}  // namespace zsfmod
