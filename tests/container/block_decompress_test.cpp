// BlockDecompress on LZO1X blocks made here with liblzo2's own compressors: exact,
// short and over-long declared lengths, trailing bytes, damaged streams, and forged
// lengths that must not buy a huge allocation.
#include "container/block_decompress.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Like tracker sample data: a saw, silence and quiet noise, so both compressors find matches.
std::vector<uint8_t> MusicLike(size_t n, uint32_t seed = 1) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    size_t phase = i % 4096;
    v[i] = phase < 1500 ? static_cast<uint8_t>((i * 3) & 0x7F) : phase < 2500 ? 0 : static_cast<uint8_t>((x >> 24) & 0x1F);
  }
  return v;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& in, bool best) {
  EXPECT_EQ(lzo_init(), LZO_E_OK);
  std::vector<uint8_t> out(in.size() + in.size() / 16 + 64 + 3);
  std::vector<uint8_t> work(best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
  lzo_uint outLen = out.size();
  int rc = best ? lzo1x_999_compress(in.data(), in.size(), out.data(), &outLen, work.data())
                : lzo1x_1_compress(in.data(), in.size(), out.data(), &outLen, work.data());
  EXPECT_EQ(rc, LZO_E_OK);
  out.resize(outLen);
  return out;
}

uint8_t* const kUntouched = reinterpret_cast<uint8_t*>(0x5A5A);
constexpr uint32_t kUntouchedLength = 0xA5A5A5A5u;

TEST(BlockDecompress, DeclaredLengthsWithBothCompressors) {
  for (bool best : {false, true}) {
    SCOPED_TRACE(best ? "lzo1x_999" : "lzo1x_1");
    for (size_t n : {size_t{0}, size_t{17}, size_t{100000}}) {
      std::vector<uint8_t> plain = MusicLike(n, static_cast<uint32_t>(n));
      std::vector<uint8_t> block = Compress(plain, best);
      uint8_t* out = nullptr;
      uint32_t outLen = 0;
      ASSERT_EQ(BlockDecompress(block.data(), block.size(), n, &out, &outLen), kBlockOk) << n;
      ASSERT_EQ(outLen, n);
      if (n) {
        EXPECT_EQ(std::memcmp(out, plain.data(), n), 0);
      }
      std::free(out);
    }
    std::vector<uint8_t> plain = MusicLike(5000);
    std::vector<uint8_t> block = Compress(plain, best);
    // A longer declared length gives the shorter output.
    uint8_t* out = nullptr;
    uint32_t outLen = 0;
    ASSERT_EQ(BlockDecompress(block.data(), block.size(), 8000, &out, &outLen), kBlockOk);
    EXPECT_EQ(outLen, 5000u);
    std::free(out);
    // Without an out length the buffer still comes; without either only the verdict.
    out = nullptr;
    ASSERT_EQ(BlockDecompress(block.data(), block.size(), 5000, &out, nullptr), kBlockOk);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::memcmp(out, plain.data(), 5000), 0);
    std::free(out);
    EXPECT_EQ(BlockDecompress(block.data(), block.size(), 5000, nullptr, nullptr), kBlockOk);
    // A shorter one, or a trailing byte, fails and touches nothing (a leak would show
    // in the sanitizer build).
    out = kUntouched;
    outLen = kUntouchedLength;
    EXPECT_EQ(BlockDecompress(block.data(), block.size(), 4999, &out, &outLen), kBlockCorrupt);
    EXPECT_EQ(BlockDecompress(block.data(), block.size(), 0, &out, &outLen), kBlockCorrupt);
    block.push_back(0x00);
    EXPECT_EQ(BlockDecompress(block.data(), block.size(), 5000, &out, &outLen), kBlockCorrupt);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(outLen, kUntouchedLength);
    // All zeros stretches a byte furthest; the honest length must fit the cap against forged ones.
    std::vector<uint8_t> zeros(4u << 20, 0);
    std::vector<uint8_t> zblock = Compress(zeros, best);
    EXPECT_LE(zeros.size(), BlockDecodedLengthLimit(zblock.size()));
    out = nullptr;
    ASSERT_EQ(BlockDecompress(zblock.data(), zblock.size(), zeros.size(), &out, &outLen), kBlockOk);
    EXPECT_EQ(outLen, zeros.size());
    std::free(out);
  }
  const uint8_t endOnly[3] = {0x11, 0x00, 0x00};  // the end marker alone
  uint8_t* out = nullptr;
  uint32_t outLen = 99;
  ASSERT_EQ(BlockDecompress(endOnly, 3, 100, &out, &outLen), kBlockOk);
  EXPECT_EQ(outLen, 0u);
  std::free(out);
}

TEST(BlockDecompress, DamagedStreamsFail) {
  std::vector<uint8_t> plain = MusicLike(20000);
  std::vector<uint8_t> block = Compress(plain, false);
  uint8_t* out = kUntouched;
  uint32_t outLen = kUntouchedLength;
  // Cut short anywhere: the decoder must not read past the given length.
  for (size_t cut : {size_t{0}, size_t{1}, size_t{3}, block.size() / 2, block.size() - 1}) {
    std::vector<uint8_t> part(block.begin(), block.begin() + cut);
    EXPECT_EQ(BlockDecompress(part.data(), part.size(), 20000, &out, &outLen), kBlockCorrupt) << cut;
  }
  // Flipped bytes either fail or decode to at most the declared length.
  for (size_t at = 0; at < block.size(); at += 97) {
    std::vector<uint8_t> bad = block;
    bad[at] ^= 0xFF;
    uint8_t* got = nullptr;
    uint32_t gotLen = 0;
    uint32_t rc = BlockDecompress(bad.data(), bad.size(), 20000, &got, &gotLen);
    if (rc == kBlockOk) {
      EXPECT_LE(gotLen, 20000u);
      std::free(got);
    } else {
      EXPECT_EQ(rc, kBlockCorrupt);
    }
  }
  EXPECT_EQ(BlockDecompress(nullptr, 0, 10, &out, &outLen), kBlockCorrupt);
  EXPECT_EQ(out, kUntouched);
  EXPECT_EQ(outLen, kUntouchedLength);
}

#if defined(__SANITIZE_ADDRESS__)
#define ZSF_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZSF_UNDER_ASAN 1
#endif
#endif

// In a child whose address space is capped at 1 GiB a 4 GiB allocation would fail, so
// success proves the allocation was capped. AddressSanitizer reserves terabytes of
// shadow, so there the cap is not set and only the result is checked.
[[noreturn]] void DecodeForgedLengthUnderCap(const std::vector<uint8_t>& block, const std::vector<uint8_t>& plain) {
#if !defined(ZSF_UNDER_ASAN)
  rlimit cap{};
  cap.rlim_cur = cap.rlim_max = rlim_t{1} << 30;
  if (setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(2);
#endif
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  uint32_t rc = BlockDecompress(block.data(), block.size(), 0xFFFFFFFFu, &out, &outLen);
  bool good = rc == kBlockOk && outLen == plain.size() && std::memcmp(out, plain.data(), plain.size()) == 0;
  std::free(out);
  std::_Exit(good ? 0 : 1);
}

TEST(BlockDecompress, ForgedHugeExpectedLengthDoesNotAllocateIt) {
  std::vector<uint8_t> plain = MusicLike(64 * 1024);
  std::vector<uint8_t> block = Compress(plain, true);
  EXPECT_LT(BlockDecodedLengthLimit(block.size()), uint64_t{1} << 30);
  EXPECT_EXIT(DecodeForgedLengthUnderCap(block, plain), ::testing::ExitedWithCode(0), "");
}

}  // namespace
