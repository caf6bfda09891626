// Packs that lie: counts, lengths and blocks that the stream cannot justify.
#include <gtest/gtest.h>

#include "support/pack_maker.h"

using namespace zsftest;

namespace {

std::vector<uint8_t> V2Header(uint32_t count, uint8_t compressed) {
  std::vector<uint8_t> out = {'Z', 'S', 'P', '1', 2, 3, 0, compressed};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(count >> (8 * i)));
  return out;
}

void U32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void V2Head(std::vector<uint8_t>* out, uint8_t type) {
  out->push_back(type);
  out->push_back(16);
  out->push_back(0);
  U32(out, 0);
  out->insert(out->end(), 26, 0);
}

}  // namespace

TEST(ZspHostile, ListsThatEndBeforeTheirCountLeaveTheRestEmpty) {
  // The table grows as slots are read: a forged count costs nothing, and a list that
  // ends early is valid, its remaining slots empty.
  for (uint32_t count : {1500u, 10u << 20, 0xFFFFFFFFu}) {
    auto pack = V2Header(count, 0);
    V2Head(&pack, 0x01);
    U32(&pack, 3);
    pack.insert(pack.end(), {1, 2, 3, 0xEC});
    uint32_t rc = 1;
    auto store = LoadPack(pack, nullptr, 0, &rc);
    ASSERT_EQ(rc, 0u) << count;
    EXPECT_EQ(store->entryCount, count);
    EXPECT_EQ(Bytes(SampleStoreSlot(store.get(), 0)), (std::vector<uint8_t>{1, 2, 3}));
    const SampleRecord& last = SampleStoreSlot(store.get(), count - 1);
    EXPECT_EQ(last.size, 0u);
    EXPECT_EQ(last.data, nullptr);
  }
}

TEST(ZspHostile, BodiesCutShortKeepWhatArrived) {
  // A damaged download loses a tail: the bytes that arrived stay, the rest reads as zero.
  auto pack = V2Header(2, 0);
  V2Head(&pack, 0x01);
  U32(&pack, 1000);
  const std::vector<uint8_t> arrived = Ramp(300);
  pack.insert(pack.end(), arrived.begin(), arrived.end());
  uint32_t rc = 1;
  auto store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  std::vector<uint8_t> expected = arrived;
  expected.resize(1000, 0);
  EXPECT_EQ(Bytes(store->entries[0]), expected);
  EXPECT_EQ(SampleStoreSlot(store.get(), 1).data, nullptr);

  // Zeros padding a cut coded body are no coded data: they justify no PCM padding.
  pack = V2Header(1, 0);
  V2Head(&pack, 0x02);
  U32(&pack, 256u << 20);  // decoded length
  U32(&pack, 300000);      // coded bytes, of which 100 arrived
  pack.insert(pack.end(), 100, 0x42);
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(store->entries[0].data, nullptr);

  // A 4 GiB entry announced by a small file is no damaged download: no allocation, no data.
  pack = V2Header(2, 0);
  V2Head(&pack, 0x01);
  U32(&pack, 0xFFFFFFF0u);
  pack.insert(pack.end(), {1, 2, 3});
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(store->entries[0].data, nullptr);
  EXPECT_EQ(store->entries[0].size, 0xFFFFFFF0u);  // derivations from it fail

  // A compressed body beyond the end: its unpacked length is not there to read.
  pack = V2Header(1, 1);
  V2Head(&pack, 0x01);
  U32(&pack, 0x7FFFFFFFu);
  pack.insert(pack.end(), 10, 0x11);
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(store->entries[0].data, nullptr);
  EXPECT_EQ(store->entries[0].storedSize, 0x7FFFFFFFu);
}

TEST(ZspHostile, BlockOfAnotherLengthThanDeclaredHasNoData) {
  ZspWriteOptions o;
  o.compress = true;
  auto pack = MakePack({Pcm(Ramp(1000)), Pcm(Ramp(50))}, o);
  // Find the first entry's unpacked length (after its block) and make it larger.
  // Layout: header 12, type 1, head 32, P 4, block P, U 4.
  const size_t pAt = 12 + 1 + 32;
  const uint32_t p = pack[pAt] | pack[pAt + 1] << 8 | pack[pAt + 2] << 16 | pack[pAt + 3] << 24;
  const size_t uAt = pAt + 4 + p;
  ASSERT_EQ(pack[uAt] | pack[uAt + 1] << 8, 1000);
  for (uint32_t declared : {999u, 1001u, 0xFFFFFFFFu}) {
    auto bad = pack;
    for (int i = 0; i < 4; ++i) bad[uAt + i] = static_cast<uint8_t>(declared >> (8 * i));
    uint32_t rc = 1;
    auto store = LoadPack(bad, nullptr, 0, &rc);
    ASSERT_EQ(rc, 0u);
    EXPECT_EQ(store->entries[0].data, nullptr) << declared;
    EXPECT_EQ(store->entries[0].size, declared);
    EXPECT_EQ(Bytes(store->entries[1]), Ramp(50));  // the list reads on
  }
  // A damaged block.
  auto bad = pack;
  bad[pAt + 4] ^= 0xFF;
  bad[pAt + 5] ^= 0xFF;
  auto store = LoadPack(bad);
  EXPECT_EQ(store->entries[0].data, nullptr);
}

TEST(ZspHostile, CodedLengthNoDataCanJustifyIsRefused) {
  // 20 coded bytes cannot stand for 4 GiB of PCM: no data instead of padding.
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.ogg = std::vector<uint8_t>(20, 0x42);
  coded.decodedLength = 0xF0000000u;
  auto store = LoadPack(MakePack({coded}, ZspWriteOptions{}));
  EXPECT_EQ(store->entries[0].data, nullptr);
  EXPECT_EQ(store->entries[0].size, 0xF0000000u);
}

TEST(ZspHostile, TruncatedPacksLoadWhatIsThere) {
  std::vector<ZspEntry> entries = {Pcm(Ramp(300)), Pcm(Ramp(300, 5)), Pcm(Ramp(300, 9))};
  for (auto version : {std::pair<uint8_t, uint8_t>{0, 0}, {1, 36}, {2, 3}}) {
    for (bool compress : {false, true}) {
      ZspWriteOptions o;
      o.major = version.first;
      o.minor = version.second;
      o.compress = compress;
      const auto pack = MakePack(entries, o);
      for (size_t cut = 0; cut < pack.size(); cut += 7) {
        std::vector<uint8_t> part(pack.begin(), pack.begin() + cut);
        uint32_t rc = 0;
        auto store = LoadPack(part, nullptr, 0, &rc);
        if (rc == 0) {
          for (uint32_t i = 0; i < store->heldCount; ++i) {
            const SampleRecord& r = store->entries[i];
            // Bytes that arrived are kept; a length cut inside its own field reads
            // as the bytes of it that arrived (300's low byte).
            if (r.data) {
              EXPECT_TRUE(r.size == 300u || r.size == 300u % 256) << r.size;
            }
          }
        }
      }
    }
  }
}
