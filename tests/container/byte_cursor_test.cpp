// ByteCursor: little-endian reads inside the bounds, zeros and a sticky failure
// past them, and child cursors that cannot reach their neighbours.
#include "container/byte_cursor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::vector<uint8_t> kBytes = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12,
                                     0x00, 0x00, 0x80, 0x3F, 0xAA, 0xBB};

TEST(ByteCursor, ReadsLittleEndianFieldsInOrder) {
  ByteCursor c(kBytes.data(), kBytes.size());
  EXPECT_EQ(c.u8(), 0x01);
  EXPECT_EQ(c.u16(), 0x1234);
  EXPECT_EQ(c.u32(), 0x12345678u);
  EXPECT_EQ(c.f32(), 1.0f);
  EXPECT_EQ(c.position(), 11u);
  EXPECT_EQ(c.remaining(), 2u);
  EXPECT_TRUE(c.canRead(2));
  EXPECT_FALSE(c.canRead(3));
  uint8_t two[2];
  EXPECT_TRUE(c.bytes(two, 2));
  EXPECT_EQ(two[1], 0xBB);
  EXPECT_TRUE(c.ok());
  EXPECT_EQ(c.remaining(), 0u);
}

TEST(ByteCursor, ReadPastTheEndGivesZerosAndStaysFailed) {
  ByteCursor c(kBytes.data(), 3);
  EXPECT_EQ(c.u16(), 0x3401);
  EXPECT_EQ(c.u32(), 0u);  // only one byte left: all or nothing
  EXPECT_FALSE(c.ok());
  // Sticky: even reads that would fit the original bounds now fail.
  EXPECT_EQ(c.u8(), 0u);
  EXPECT_EQ(c.span(0), nullptr);
  EXPECT_FALSE(c.skip(0));
  EXPECT_FALSE(c.seek(0));
  EXPECT_FALSE(c.ok());
  uint8_t dst[4] = {9, 9, 9, 9};
  EXPECT_FALSE(c.bytes(dst, 4));
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[3], 0);
}

TEST(ByteCursor, SpanSkipAndSeekRespectTheBounds) {
  ByteCursor c(kBytes.data(), kBytes.size());
  const uint8_t* p = c.span(3);
  ASSERT_EQ(p, kBytes.data());
  EXPECT_TRUE(c.skip(4));
  EXPECT_EQ(c.position(), 7u);
  EXPECT_TRUE(c.seek(kBytes.size()));  // the end itself is a valid position
  EXPECT_EQ(c.remaining(), 0u);
  EXPECT_TRUE(c.seek(1));
  EXPECT_EQ(c.u8(), 0x34);
  EXPECT_FALSE(c.seek(kBytes.size() + 1));
  EXPECT_FALSE(c.ok());

  ByteCursor d(kBytes.data(), kBytes.size());
  EXPECT_FALSE(d.skip(kBytes.size() + 1));
  EXPECT_FALSE(d.ok());

  ByteCursor e(kBytes.data(), kBytes.size());
  EXPECT_EQ(e.span(SIZE_MAX), nullptr);  // no overflow in the bounds check
  EXPECT_FALSE(e.ok());
}

TEST(ByteCursor, SubCursorIsConfinedToItsRange) {
  ByteCursor parent(kBytes.data(), kBytes.size());
  parent.u8();
  ByteCursor child = parent.sub(2);
  EXPECT_TRUE(parent.ok());
  EXPECT_EQ(parent.position(), 3u);  // the parent moved past the child's bytes
  EXPECT_EQ(child.size(), 2u);
  EXPECT_EQ(child.u16(), 0x1234);
  EXPECT_EQ(child.u8(), 0u);  // its neighbour is out of reach
  EXPECT_FALSE(child.ok());
  EXPECT_TRUE(parent.ok());  // a child's failure is its own
  EXPECT_EQ(parent.u32(), 0x12345678u);

  ByteCursor tooBig = parent.sub(100);
  EXPECT_FALSE(tooBig.ok());
  EXPECT_FALSE(parent.ok());
  EXPECT_FALSE(parent.sub(0).ok());  // a failed parent yields failed children
}

}  // namespace
