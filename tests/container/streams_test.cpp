// ByteStream reads over files and memory (its writes are every writer's, in the round
// trips), and BlockDecompress over LZO1X blocks made here with liblzo2's own
// compressors: declared lengths, damage, and forged lengths that must not buy a huge
// allocation.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <sys/resource.h>

#include <cstring>

#include "container/block_decompress.h"
#include "container/byte_stream.h"
#include "support/files.h"

namespace {

std::vector<uint8_t> Read(ByteStream* s, uint32_t n, int32_t expect) {
  std::vector<uint8_t> out(n, 0xAA);
  EXPECT_EQ(expect, StreamRead(out.data(), n, s));
  return out;
}

TEST(ByteStream, FileAndBorrowedBufferReadsStayInside) {
  zsftest::TempDir dir;
  std::vector<uint8_t> counting(100);
  for (size_t i = 0; i < 100; ++i) counting[i] = static_cast<uint8_t>(i);
  zsftest::WriteFile(dir.file("data.bin"), counting);
  for (bool file : {true, false}) {
    SCOPED_TRACE(file ? "file" : "memory");
    ByteStream* s = file ? StreamOpenFile(dir.file("data.bin").c_str()) : StreamOpenMemory(counting.data(), 100, 0);
    ASSERT_NE(s, nullptr);
    StreamSkip(4, s);
    EXPECT_EQ(4, Read(s, 1, 1)[0]);
    EXPECT_EQ(5u, s->position);
    StreamSeekEnd(-2, s);
    EXPECT_EQ(98u, s->position);
    EXPECT_EQ((std::vector<uint8_t>{98, 99, 0xAA, 0xAA}), Read(s, 4, 2));
    Read(s, 4, 0);
    StreamSeek(10, s);
    std::vector<uint8_t> rest = Read(s, 200, 90);
    EXPECT_EQ(10, rest[0]);
    EXPECT_EQ(99, rest[89]);
    EXPECT_EQ(0xAA, rest[90]) << "nothing written past the delivered count";
    // Positions outside the data deliver nothing (the sanitizer build sees any read).
    for (auto move : {+[](ByteStream* t) { StreamSeek(1000, t); }, +[](ByteStream* t) { StreamSeek(100, t); },
                      +[](ByteStream* t) { StreamSeek(0, t); StreamSkip(140, t); },
                      +[](ByteStream* t) { StreamSeekEnd(8, t); }, +[](ByteStream* t) { StreamSeekEnd(-200, t); },
                      +[](ByteStream* t) { StreamSeek(0, t); StreamSkip(-1, t); }}) {
      move(s);
      EXPECT_EQ(0xAA, Read(s, 8, 0)[0]);
    }
    StreamSeek(96, s);
    EXPECT_EQ(4, StreamRead(rest.data(), 0xFFFFFFFFu, s)) << "clamped near the end";
    EXPECT_EQ(97u, s->delivered);
    StreamClose(s);
  }
  ByteStream* w = StreamCreateMemory();  // an append stream: a write after seeking back still grows by its count
  EXPECT_EQ(10u, StreamWrite("0123456789", 10, w));
  StreamSeek(2, w);
  EXPECT_EQ(2u, StreamWrite("ab", 2, w));
  EXPECT_EQ(0, std::memcmp(w->base, "01ab456789\0\0", 12));
  EXPECT_EQ(12u * 100 + 4, w->size * 100 + w->position);
  StreamClose(w);
}

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
  EXPECT_EQ(LZO_E_OK, lzo_init());
  std::vector<uint8_t> out(in.size() + in.size() / 16 + 64 + 3);
  std::vector<uint8_t> work(best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
  lzo_uint length = out.size();
  EXPECT_EQ(LZO_E_OK, best ? lzo1x_999_compress(in.data(), in.size(), out.data(), &length, work.data())
                           : lzo1x_1_compress(in.data(), in.size(), out.data(), &length, work.data()));
  out.resize(length);
  return out;
}

// Decodes BLOCK declaring EXPECTED; the result, or the untouched marker on failure.
struct Decoded {
  uint32_t rc;
  std::vector<uint8_t> bytes;
};
Decoded Decode(const std::vector<uint8_t>& block, uint32_t expected) {
  uint8_t* out = reinterpret_cast<uint8_t*>(0x5A5A);
  uint32_t length = 0xA5A5A5A5u;
  Decoded d{BlockDecompress(block.data(), static_cast<uint32_t>(block.size()), expected, &out, &length), {}};
  if (d.rc == kBlockOk) {
    d.bytes.assign(out, out + length);
    std::free(out);
  } else {
    EXPECT_EQ(reinterpret_cast<uint8_t*>(0x5A5A), out) << "touched on failure";
    EXPECT_EQ(0xA5A5A5A5u, length);
  }
  return d;
}

TEST(BlockDecompress, DeclaredLengthsWithBothCompressors) {
  for (bool best : {false, true}) {
    SCOPED_TRACE(best ? "lzo1x_999" : "lzo1x_1");
    for (size_t n : {size_t{0}, size_t{17}, size_t{100000}}) {
      std::vector<uint8_t> plain = MusicLike(n, static_cast<uint32_t>(n));
      Decoded d = Decode(Compress(plain, best), static_cast<uint32_t>(n));
      EXPECT_EQ(kBlockOk, d.rc);
      EXPECT_TRUE(d.bytes == plain) << n;
    }
    std::vector<uint8_t> plain = MusicLike(5000), block = Compress(plain, best);
    EXPECT_TRUE(Decode(block, 8000).bytes == plain) << "a longer declared length gives the shorter output";
    uint8_t* out = nullptr;
    ASSERT_EQ(kBlockOk, BlockDecompress(block.data(), static_cast<uint32_t>(block.size()), 5000, &out, nullptr));
    EXPECT_EQ(0, std::memcmp(out, plain.data(), 5000));
    std::free(out);
    EXPECT_EQ(kBlockOk, BlockDecompress(block.data(), static_cast<uint32_t>(block.size()), 5000, nullptr, nullptr));
    EXPECT_EQ(kBlockCorrupt, Decode(block, 4999).rc);
    EXPECT_EQ(kBlockCorrupt, Decode(block, 0).rc);
    block.push_back(0);
    EXPECT_EQ(kBlockCorrupt, Decode(block, 5000).rc) << "a trailing byte";
    // All zeros stretches a byte furthest; the honest length must fit the cap against forged ones.
    std::vector<uint8_t> zeros(4u << 20, 0), zblock = Compress(zeros, best);
    EXPECT_LE(zeros.size(), BlockDecodedLengthLimit(static_cast<uint32_t>(zblock.size())));
    EXPECT_EQ(zeros.size(), Decode(zblock, static_cast<uint32_t>(zeros.size())).bytes.size());
  }
  EXPECT_EQ(0u, Decode({0x11, 0x00, 0x00}, 100).bytes.size()) << "the end marker alone";
}

TEST(BlockDecompress, DamagedStreamsFail) {
  std::vector<uint8_t> block = Compress(MusicLike(20000), false);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{3}, block.size() / 2, block.size() - 1})
    EXPECT_EQ(kBlockCorrupt, Decode(std::vector<uint8_t>(block.begin(), block.begin() + cut), 20000).rc) << cut;
  for (size_t at = 0; at < block.size(); at += 97) {  // fail, or decode to at most the declared length
    std::vector<uint8_t> bad = block;
    bad[at] ^= 0xFF;
    Decoded d = Decode(bad, 20000);
    EXPECT_LE(d.bytes.size(), 20000u);
  }
  uint8_t* out = nullptr;
  EXPECT_EQ(kBlockCorrupt, BlockDecompress(nullptr, 0, 10, &out, nullptr));
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
  uint32_t length = 0;
  uint32_t rc = BlockDecompress(block.data(), static_cast<uint32_t>(block.size()), 0xFFFFFFFFu, &out, &length);
  bool good = rc == kBlockOk && length == plain.size() && std::memcmp(out, plain.data(), plain.size()) == 0;
  std::free(out);
  std::_Exit(good ? 0 : 1);
}

TEST(BlockDecompress, ForgedHugeExpectedLengthDoesNotAllocateIt) {
  std::vector<uint8_t> plain = MusicLike(64 * 1024), block = Compress(plain, true);
  EXPECT_LT(BlockDecodedLengthLimit(static_cast<uint32_t>(block.size())), uint64_t{1} << 30);
  EXPECT_EXIT(DecodeForgedLengthUnderCap(block, plain), ::testing::ExitedWithCode(0), "");
}

}  // namespace
