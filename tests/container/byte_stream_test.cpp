// ByteStream on real files in a temporary folder and on memory buffers: sizes,
// clamped reads, borrowed/copied/growable buffers, append writes and seeking.
#include "container/byte_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/files.h"

namespace {

using zsftest::TempDir;

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
  return v;
}

TEST(ByteStreamFile, ReadsClampSkipSeekAndSeekEnd) {
  TempDir dir;
  std::string name = dir.file("data.bin");
  zsftest::WriteFile(name, Counting(100));
  ByteStream* s = StreamOpenFile(name.c_str());
  ASSERT_NE(s, nullptr);

  StreamSkip(4, s);
  uint8_t b = 0xEE;
  EXPECT_EQ(StreamRead(&b, 1, s), 1);
  EXPECT_EQ(b, 4);  // the fifth byte
  EXPECT_EQ(s->position, 5u);

  StreamSeekEnd(-2, s);
  EXPECT_EQ(s->position, 98u);
  uint8_t last[4] = {0, 0, 0, 0};
  EXPECT_EQ(StreamRead(last, 4, s), 2);
  EXPECT_EQ(last[0], 98);
  EXPECT_EQ(last[1], 99);
  EXPECT_EQ(StreamRead(last, 4, s), 0);

  StreamSeek(10, s);
  std::vector<uint8_t> rest(200, 0xAA);
  EXPECT_EQ(StreamRead(rest.data(), 200, s), 90);
  EXPECT_EQ(rest[0], 10);
  EXPECT_EQ(rest[89], 99);
  EXPECT_EQ(rest[90], 0xAA);  // nothing written past the delivered count

  StreamSeek(500, s);
  EXPECT_EQ(StreamRead(rest.data(), 1, s), 0);
  StreamClose(s);
}

TEST(ByteStreamMemory, GrowableStreamAppendsAndCanBeTakenOver) {
  ByteStream* s = StreamCreateMemory();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->writable, 1);
  EXPECT_EQ(s->ownsBuffer, 1);
  EXPECT_EQ(s->size, 0u);
  EXPECT_EQ(StreamWrite("abcde", 5, s), 5u);
  EXPECT_EQ(StreamWrite("zz", 0, s), 0u);
  EXPECT_EQ(StreamWrite("fghijkl", 7, s), 7u);
  EXPECT_EQ(s->size, 12u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s->base), s->size), "abcdefghijkl");
  EXPECT_EQ(s->cursor, s->base + 12);

  // Reading the result back from the start.
  StreamSeek(3, s);
  char out[4] = {};
  EXPECT_EQ(StreamRead(out, 3, s), 3);
  EXPECT_EQ(std::string(out, 3), "def");

  // A caller takes the buffer over and frees it itself.
  uint8_t* taken = s->base;
  uint32_t takenSize = s->size;
  s->base = nullptr;
  s->ownsBuffer = 0;
  StreamClose(s);
  EXPECT_EQ(takenSize, 12u);
  EXPECT_EQ(taken[11], 'l');
  std::free(taken);
}

TEST(ByteStreamMemory, WriteAfterSeekingBackStillGrowsByTheCountAndZeroesTheTail) {
  ByteStream* s = StreamCreateMemory();
  StreamWrite("0123456789", 10, s);
  StreamSeek(2, s);
  EXPECT_EQ(StreamWrite("ab", 2, s), 2u);
  EXPECT_EQ(s->size, 12u);  // an append stream: always grows by n
  EXPECT_EQ(s->position, 4u);
  const uint8_t want[12] = {'0', '1', 'a', 'b', '4', '5', '6', '7', '8', '9', 0, 0};
  EXPECT_EQ(std::memcmp(s->base, want, 12), 0);
  StreamClose(s);
}

// The stream must never reach memory outside its buffer, whatever a caller asks
// for: these run under AddressSanitizer in the sanitizer build.
TEST(ByteStreamMemory, PositionsOutsideTheBufferDeliverNothing) {
  auto* heap = static_cast<uint8_t*>(std::malloc(16));
  std::memset(heap, 7, 16);
  ByteStream* s = StreamOpenMemory(heap, 16, 0);
  uint8_t out[32];
  std::memset(out, 0xAB, sizeof out);

  StreamSeek(1000, s);
  EXPECT_EQ(StreamRead(out, 8, s), 0);
  EXPECT_EQ(out[0], 0xAB);  // nothing copied

  StreamSeek(16, s);
  EXPECT_EQ(StreamRead(out, 8, s), 0);

  StreamSeek(0, s);
  StreamSkip(40, s);
  EXPECT_EQ(StreamRead(out, 8, s), 0);

  StreamSeekEnd(8, s);  // beyond the end
  EXPECT_EQ(StreamRead(out, 8, s), 0);

  StreamSeekEnd(-100, s);  // before the start wraps to a huge position
  EXPECT_EQ(StreamRead(out, 8, s), 0);

  StreamSeek(0, s);
  StreamSkip(-1, s);
  EXPECT_EQ(StreamRead(out, 8, s), 0);

  StreamSeek(12, s);  // near the end: clamped
  EXPECT_EQ(StreamRead(out, 0xFFFFFFFFu, s), 4);
  StreamClose(s);
  std::free(heap);
}

}  // namespace
