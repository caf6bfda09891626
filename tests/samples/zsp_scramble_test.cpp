// Descrambling: the subtracting form up to 2.2, XOR from 2.3, keys from passwords.
#include <gtest/gtest.h>

#include <cstring>

#include "support/pack_maker.h"
#include "samples/descramble.h"
#include "ui/password.h"

using namespace zsftest;

namespace {

// A pack whose single entry holds STORED exactly as given, with the flag set.
std::vector<uint8_t> FlaggedPack(uint8_t major, uint8_t minor, std::vector<uint8_t> stored) {
  ZspWriteOptions o;
  o.major = major;
  o.minor = minor;
  o.scrambledFlag = true;
  return MakePack({Pcm(std::move(stored), 8)}, o);
}

uint32_t PasswordKeyFor(int32_t signedValue) { return static_cast<uint32_t>(signedValue); }

}  // namespace

TEST(ZspScramble, DescribedExamples) {
  // Key 7: 0x10 becomes 0x09 in 2.2 (subtract) and 0x17 in 2.3 (XOR).
  auto store = LoadPack(FlaggedPack(2, 2, {0x10}), nullptr, 7);
  EXPECT_EQ(store->scrambled, 1);
  EXPECT_EQ(store->key, 7);
  EXPECT_EQ(store->entries[0].data[0], 0x09);
  store = LoadPack(FlaggedPack(2, 3, {0x10}), nullptr, 7);
  EXPECT_EQ(store->entries[0].data[0], 0x17);
  // Key 0 changes nothing.
  store = LoadPack(FlaggedPack(2, 3, {0x10}), nullptr, 0);
  EXPECT_EQ(store->entries[0].data[0], 0x10);
  // PasswordKey -103 gives key -3: subtracting adds 3, XOR uses the byte 0xFD.
  store = LoadPack(FlaggedPack(1, 30, {0x10}), nullptr, PasswordKeyFor(-103));
  EXPECT_EQ(store->key, -3);
  EXPECT_EQ(store->entries[0].data[0], 0x13);
  store = LoadPack(FlaggedPack(2, 3, {0x10}), nullptr, PasswordKeyFor(-103));
  EXPECT_EQ(store->entries[0].data[0], 0xED);
  // A multiple of 50 gives key 0: read as stored.
  store = LoadPack(FlaggedPack(2, 1, {0x10}), nullptr, 150);
  EXPECT_EQ(store->key, 0);
  EXPECT_EQ(store->entries[0].data[0], 0x10);
  // Without the flag nothing is descrambled, whatever the key.
  ZspWriteOptions plain;
  store = LoadPack(MakePack({Pcm({0x10}, 8)}, plain), nullptr, 7);
  EXPECT_EQ(store->scrambled, 0);
  EXPECT_EQ(store->entries[0].data[0], 0x10);
}

TEST(ZspScramble, WriterAndReaderAreInverseForEveryForm) {
  const auto data = Ramp(4096);
  for (int32_t key : {7, -3, -49}) {
    for (auto v : {std::pair<uint8_t, uint8_t>{1, 23}, {2, 2}, {2, 3}}) {
      for (bool compress : {false, true}) {
        SCOPED_TRACE(testing::Message() << "key " << key << " v" << int(v.first) << "."
                                        << int(v.second) << (compress ? " lzo" : ""));
        ZspWriteOptions o;
        o.major = v.first;
        o.minor = v.second;
        o.compress = compress;
        o.scrambleKey = key;
        const auto pack = MakePack({Pcm(data, 16), Empty()}, o);
        auto store = LoadPack(pack, nullptr, PasswordKeyFor(key));
        EXPECT_EQ(store->scrambled, 1);
        EXPECT_EQ(Bytes(store->entries[0]), data);
        // A wrong key gives other bytes, it is never refused.
        auto wrong = LoadPack(pack, nullptr, PasswordKeyFor(key + 1 == 0 ? 2 : key + 1));
        EXPECT_NE(Bytes(wrong->entries[0]), data);
      }
    }
  }
}

TEST(ZspScramble, CodedEntriesAreScrambledBeforeDecoding) {
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.pcm = SinePcm(5000, 16, 2);
  coded.channels = 2;
  ZspWriteOptions o;
  o.scrambleKey = ZspKeyFromPassword("Secret");
  ASSERT_NE(o.scrambleKey, 0);
  const auto pack = MakePack({coded}, o);
  std::string password = "sEcReT";
  auto store = LoadPack(pack, nullptr, HashPassword(password.data(), 6));
  ASSERT_EQ(store->entries[0].size, coded.pcm.size());
  // Decoded audio is close to the input, not zeros.
  int nonZero = 0;
  for (uint32_t i = 0; i < store->entries[0].size; ++i) nonZero += store->entries[0].data[i] != 0;
  EXPECT_GT(nonZero, 1000);
}

TEST(ZspScramble, PasswordHash) {
  char empty[1] = {0};
  EXPECT_EQ(HashPassword(empty, 0), 0u);
  char upper[] = "ABC";
  char lower[] = "cab";
  EXPECT_EQ(HashPassword(upper, 3), HashPassword(lower, 3));
  EXPECT_STREQ(upper, "abc");  // lowered in place
  EXPECT_EQ(HashPassword(lower, 3), 'a' + 'b' + 'c' + 0u);
  // Bytes from 0x80 count negative; the sum wraps.
  char high[] = {'\xFF', '\x80', 0};
  EXPECT_EQ(HashPassword(high, 2), static_cast<uint32_t>(-1 - 128));
  // A negative hash gives a negative key whose low byte lies in 0xCF..0xFF.
  const int32_t key = SampleStoreKeyFromPasswordKey(HashPassword(high, 2));
  EXPECT_EQ(key, -129 % 50);
  EXPECT_GE(static_cast<uint8_t>(key), 0xCF);
}
