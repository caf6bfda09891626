// Pack layouts: writer -> reader round trips across every version gate, and the
// hand-made byte sequences the layout describes.
#include <gtest/gtest.h>

#include <cstring>

#include "support/pack_maker.h"
#include "samples/zsp_format.h"

using namespace zsftest;

namespace {

struct Version {
  uint8_t major, minor;
};

const Version kVersions[] = {{0, 0},  {0, 9},  {1, 0},  {1, 22}, {1, 23}, {1, 25}, {1, 26},
                             {1, 27}, {1, 28}, {1, 29}, {1, 35}, {1, 36}, {1, 99}, {2, 0},
                             {2, 1},  {2, 2},  {2, 3}};

bool AtLeast(Version v, ZspVersion gate) { return ZspAtLeast(v.major, v.minor, gate); }

std::vector<uint8_t> Header(uint8_t major, uint8_t minor, bool flag, uint8_t scrambled,
                            uint8_t compressed, uint32_t count) {
  std::vector<uint8_t> out = {'Z', 'S', 'P', '1', major, minor};
  if (flag) out.push_back(scrambled);
  out.push_back(compressed);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(count >> (8 * i)));
  return out;
}

void AppendV2PcmSlot(std::vector<uint8_t>* out, uint8_t type, const std::vector<uint8_t>& data) {
  out->push_back(type);
  out->push_back(16);  // width
  out->push_back(0);   // attribute
  out->insert(out->end(), 4, 0);   // value
  out->insert(out->end(), 26, 0);  // name
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(data.size() >> (8 * i)));
  out->insert(out->end(), data.begin(), data.end());
}

}  // namespace

TEST(ZspVersions, RoundTripAcrossEveryGate) {
  for (const Version v : kVersions) {
    for (bool compress : {false, true}) {
      SCOPED_TRACE(testing::Message() << int(v.major) << "." << int(v.minor)
                                      << (compress ? " compressed" : ""));
      const bool typed = AtLeast(v, kZspTypeByteFrom);
      std::vector<ZspEntry> entries = {Pcm(Ramp(100), 16, "first entry", 0x41, 0xDEADBEEF), Empty(),
                                       Pcm(Ramp(33, 9), 8, "second", 7, 12345)};
      if (typed) {
        ZspEntry coded;
        coded.kind = ZspEntry::Kind::Coded;
        coded.pcm = SinePcm(3000, 16, 1);
        coded.bits = 16;
        coded.name = "coded";
        entries.push_back(coded);
      }
      ZspWriteOptions o;
      o.major = v.major;
      o.minor = v.minor;
      o.compress = compress;
      o.smallest = false;
      const auto pack = MakePack(entries, o);
      uint32_t rc = 9;
      auto store = LoadPack(pack, nullptr, 0, &rc);
      ASSERT_EQ(rc, 0u);
      ASSERT_EQ(store->entryCount, entries.size());
      EXPECT_EQ(store->major, v.major);
      EXPECT_EQ(store->minor, v.minor);
      EXPECT_EQ(store->loaded, 1u);
      EXPECT_EQ(store->scrambled, 0);

      const SampleRecord& first = store->entries[0];
      EXPECT_EQ(Bytes(first), Ramp(100));
      EXPECT_EQ(first.fullSize, 100u);
      EXPECT_EQ(first.coded, 0);
      const bool widths = AtLeast(v, kZspWidthAttributeFrom);
      EXPECT_EQ(first.bits, widths ? 16 : 0);
      EXPECT_EQ(first.aux8, widths ? 0x41 : 0);
      EXPECT_EQ(first.aux32, AtLeast(v, kZspAux32From) ? 0xDEADBEEFu : 0u);
      if (v.major < 2) {
        EXPECT_STREQ(first.name30, "first entry");
      } else {
        EXPECT_STREQ(first.name30, "");
      }
      EXPECT_STREQ(first.name26, typed ? "first entry" : "");

      // An empty slot: before 1.29 it is written as an entry without bytes.
      EXPECT_EQ(store->entries[1].size, 0u);
      EXPECT_EQ(store->entries[1].data, nullptr);

      EXPECT_EQ(Bytes(store->entries[2]), Ramp(33, 9));
      EXPECT_EQ(store->entries[2].bits, widths ? 8 : 0);

      if (typed) {
        const SampleRecord& coded = store->entries[3];
        EXPECT_NE(coded.coded, 0);
        EXPECT_EQ(coded.size, 6000u);
        ASSERT_NE(coded.data, nullptr);
      }
    }
  }
}

TEST(ZspVersions, WriterMatchesTheDescribedByteSequence) {
  const std::vector<uint8_t> data = {1, 2, 3, 4};
  std::vector<uint8_t> expected = Header(2, 3, true, 0, 0, 2);
  AppendV2PcmSlot(&expected, 0x01, data);
  expected.push_back(0x03);
  expected.push_back(0xEC);
  EXPECT_EQ(MakePack({Pcm(data, 16), Empty()}, ZspWriteOptions{}), expected);
}

TEST(ZspVersions, RefusesUnknownVersionsAndMagic) {
  for (const Version v : {Version{2, 4}, Version{3, 0}, Version{255, 255}}) {
    auto pack = Header(v.major, v.minor, true, 0, 0, 0);
    uint32_t rc = 0;
    auto store = LoadPack(pack, nullptr, 0, &rc);
    EXPECT_EQ(rc, 1u);
    EXPECT_EQ(store->loaded, 0u);
    EXPECT_EQ(store->major, v.major);  // the version fields are already updated
  }
  for (const Version v : {Version{1, 99}, Version{0, 0}}) {
    uint32_t rc = 1;
    LoadPack(Header(v.major, v.minor, v.major == 1, 0, 0, 0), nullptr, 0, &rc);
    EXPECT_EQ(rc, 0u);
  }
  // Not a pack: refused, and the stream is still the caller's to use and close.
  std::vector<uint8_t> notPack = {'Z', 'S', 'F', '1', 2, 3, 0, 0, 0, 0, 0, 0};
  StorePtr store(SampleStoreCreate());
  StreamPtr stream(StreamOpenMemory(notPack.data(), static_cast<uint32_t>(notPack.size()), 0));
  EXPECT_EQ(SampleStoreLoad(store.get(), stream.get(), nullptr, 0), 1u);
  StreamSeek(0, stream.get());
  uint8_t first = 0;
  EXPECT_EQ(StreamRead(&first, 1, stream.get()), 1);
  EXPECT_EQ(first, 'Z');
}

TEST(ZspVersions, Version2TypeBytes) {
  // 03 EC with four slots: one empty slot, three untouched.
  auto pack = Header(2, 0, true, 0, 0, 4);
  pack.push_back(0x03);
  pack.push_back(0xEC);
  pack.push_back(0x01);  // after the end marker: never read
  uint32_t rc = 1;
  auto store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  ASSERT_EQ(store->entryCount, 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(SampleStoreSlot(store.get(), i).data, nullptr);

  // An unknown type byte is passed over: the 0x01 after it fills the same slot.
  pack = Header(2, 3, true, 0, 0, 2);
  pack.push_back(0x07);
  AppendV2PcmSlot(&pack, 0x01, {9, 8});
  AppendV2PcmSlot(&pack, 0x01, {7, 6});
  pack.push_back(0x55);  // consumed after the last slot, whatever it is
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(Bytes(store->entries[0]), (std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(Bytes(store->entries[1]), (std::vector<uint8_t>{7, 6}));

  // The end of the data ends the list like the marker.
  pack = Header(2, 3, true, 0, 0, 3);
  AppendV2PcmSlot(&pack, 0x01, {1, 2});
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(Bytes(store->entries[0]), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(SampleStoreSlot(store.get(), 1).data, nullptr);
}

TEST(ZspVersions, EmptySlotByteCountsFrom129) {
  // 1.29: 0x3E is an empty slot of one byte, then a PCM slot follows.
  auto pack = Header(1, 29, true, 0, 0, 2);
  pack.push_back(0x3E);
  std::vector<ZspEntry> one = {Pcm({5, 6, 7, 8}, 16, "x")};
  ZspWriteOptions o;
  o.major = 1;
  o.minor = 29;
  ByteWriter slot;
  std::string error;
  ASSERT_TRUE(ZspWriteSlot(one[0], o, &slot, &error));
  pack.insert(pack.end(), slot.data().begin(), slot.data().end());
  uint32_t rc = 1;
  auto store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(store->entries[0].data, nullptr);
  EXPECT_EQ(Bytes(store->entries[1]), (std::vector<uint8_t>{5, 6, 7, 8}));

  // 1.28: the same byte starts a coded entry (whose bytes here are no Ogg data).
  pack = Header(1, 28, true, 0, 0, 1);
  pack.push_back(0x3E);
  const std::vector<uint8_t> rest = {
      10, 0, 0, 0,  // decoded length
  };
  pack.insert(pack.end(), rest.begin(), rest.end());
  pack.insert(pack.end(), 30, 'n');                 // name30
  pack.insert(pack.end(), {3, 0, 0, 0, 1, 2, 3});   // body
  pack.insert(pack.end(), {16, 0});                 // width, attribute
  pack.insert(pack.end(), 26, 'm');                 // name26
  store = LoadPack(pack, nullptr, 0, &rc);
  ASSERT_EQ(rc, 0u);
  EXPECT_EQ(store->entries[0].coded, 0x3E);
  EXPECT_EQ(store->entries[0].size, 10u);  // nothing decoded, padded with zeros
  EXPECT_EQ(Bytes(store->entries[0]), std::vector<uint8_t>(10, 0));
  EXPECT_EQ(std::string(store->entries[0].name26), std::string(26, 'm'));
}

TEST(ZspVersions, WriterRefusesWhatTheVersionCannotHold) {
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.pcm = SinePcm(100, 16, 1);
  ZspWriteOptions o;
  o.major = 1;
  o.minor = 27;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(WriteZsp({coded}, o, &out, &error));
  o.minor = 22;
  o.scrambleKey = 5;
  EXPECT_FALSE(WriteZsp({Pcm({1})}, o, &out, &error));
  o.major = 2;
  o.minor = 4;
  o.scrambleKey = 0;
  EXPECT_FALSE(WriteZsp({Pcm({1})}, o, &out, &error));
}
