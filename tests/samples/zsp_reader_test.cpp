// The ZSP reader: writer -> reader round trips across every version gate, the byte
// sequences the layout describes, descrambling, the wanted list, and packs that lie
// about counts, lengths and blocks.
#include <gtest/gtest.h>

#include <tuple>

#include "container/failure.h"
#include "container/zsf_format.h"
#include "samples/zsp_format.h"
#include "samples/zsp_reader.h"
#include "support/song_parts.h"
#include "ui/password.h"

using namespace zsftest;

namespace {

std::vector<uint8_t> Header(uint8_t major, uint8_t minor, bool flag, uint8_t compressed, uint32_t count) {
  std::vector<uint8_t> out(kZspMagic, kZspMagic + sizeof kZspMagic);
  out.insert(out.end(), {major, minor});
  if (flag) out.push_back(0);
  out.push_back(compressed);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(count >> (8 * i)));
  return out;
}

void U32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A version 2 slot of TYPE: 16-bit, no attribute, value or name, then LENGTH and DATA.
void Slot(std::vector<uint8_t>* out, uint8_t type, uint32_t length, const std::vector<uint8_t>& data) {
  out->insert(out->end(), {type, 16, 0});
  out->insert(out->end(), 30, 0);
  U32(out, length);
  out->insert(out->end(), data.begin(), data.end());
}

uint32_t Rc(const std::vector<uint8_t>& pack, SampleStoreOwner* store = nullptr, uint32_t key = 0) {
  uint32_t rc = 9;
  SampleStoreOwner s = LoadPack(pack, nullptr, key, &rc);
  if (store) *store = std::move(s);
  return rc;
}

ZspWriteOptions Options(uint8_t major, uint8_t minor, bool compress = false, int32_t key = 0) {
  ZspWriteOptions o;
  o.major = major;
  o.minor = minor;
  o.compress = compress;
  o.scrambleKey = key;
  return o;
}

}  // namespace

TEST(ZspReader, RoundTripAcrossEveryGate) {
  for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{
           {0, 0}, {0, 9}, {1, 0}, {1, 22}, {1, 23}, {1, 25}, {1, 26}, {1, 27}, {1, 28}, {1, 29}, {1, 35},
           {1, 36}, {1, 99}, {2, 0}, {2, 1}, {2, 2}, {2, 3}}) {
    for (bool compress : {false, true}) {
      SCOPED_TRACE(testing::Message() << int(major) << "." << int(minor) << (compress ? " lzo" : ""));
      const bool typed = VersionAtLeast(major, minor, kZspTypeByteFrom);
      const bool widths = VersionAtLeast(major, minor, kZspWidthAttributeFrom);
      std::vector<ZspEntry> entries = {Pcm(Ramp(100), 16, "first entry", 0x41, 0xDEADBEEF), Empty(),
                                       Pcm(Ramp(33, 9), 8, "second", 7, 12345)};
      if (typed) {
        entries.emplace_back();
        entries.back().kind = ZspEntry::Kind::Coded;
        entries.back().pcm = SinePcm(3000, 16, 1);
      }
      ZspWriteOptions o = Options(major, minor, compress);
      o.smallest = false;
      SampleStoreOwner store;
      ASSERT_EQ(0u, Rc(MakePack(entries, o), &store));
      ASSERT_EQ(entries.size(), store->entryCount);
      EXPECT_EQ(major * 256 + minor, store->major * 256 + store->minor);
      EXPECT_EQ(1u, store->loaded);
      EXPECT_EQ(0, store->scrambled);
      const SampleRecord& first = store->entries[0];
      EXPECT_EQ(Ramp(100), Bytes(first));
      EXPECT_EQ(100u, first.fullSize);
      EXPECT_EQ(0, first.coded);
      EXPECT_EQ(widths ? 16 : 0, first.bits);
      EXPECT_EQ(widths ? 0x41 : 0, first.aux8);
      EXPECT_EQ(VersionAtLeast(major, minor, kZspAux32From) ? 0xDEADBEEFu : 0u, first.aux32);
      EXPECT_STREQ(major < 2 ? "first entry" : "", first.name30);
      EXPECT_STREQ(typed ? "first entry" : "", first.name26);
      EXPECT_EQ(0u, store->entries[1].size);  // before 1.29 written as an entry without bytes
      EXPECT_EQ(nullptr, store->entries[1].data);
      EXPECT_EQ(Ramp(33, 9), Bytes(store->entries[2]));
      EXPECT_EQ(widths ? 8 : 0, store->entries[2].bits);
      if (typed) {
        EXPECT_NE(0, store->entries[3].coded);
        EXPECT_EQ(6000u, store->entries[3].size);
        EXPECT_NE(nullptr, store->entries[3].data);
      }
    }
  }
}

TEST(ZspReader, DescribedByteSequences) {
  // What the writer makes of one 16-bit entry and an empty slot, as the layout says.
  std::vector<uint8_t> expected = Header(2, 3, true, 0, 2);
  Slot(&expected, 0x01, 4, {1, 2, 3, 4});
  expected.insert(expected.end(), {0x03, 0xEC});
  EXPECT_EQ(expected, MakePack({Pcm({1, 2, 3, 4}, 16), Empty()}, ZspWriteOptions{}));
  // 03 EC with four slots: one empty slot, three untouched; a byte after the end is never read.
  auto pack = Header(2, 0, true, 0, 4);
  pack.insert(pack.end(), {0x03, 0xEC, 0x01});
  SampleStoreOwner store;
  ASSERT_EQ(0u, Rc(pack, &store));
  ASSERT_EQ(4u, store->entryCount);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(nullptr, SampleStoreSlot(store.get(), i).data);
  // An unknown type byte is passed over; a byte after the last slot is consumed whatever it is.
  pack = Header(2, 3, true, 0, 2);
  pack.push_back(0x07);
  Slot(&pack, 0x01, 2, {9, 8});
  Slot(&pack, 0x01, 2, {7, 6});
  pack.push_back(0x55);
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ((std::vector<uint8_t>{9, 8}), Bytes(store->entries[0]));
  EXPECT_EQ((std::vector<uint8_t>{7, 6}), Bytes(store->entries[1]));
  // 1.29: 0x3E is an empty slot of one byte; in 1.28 the same byte starts a coded entry.
  pack = Header(1, 29, true, 0, 2);
  pack.push_back(0x3E);
  ByteWriter slot;
  std::string error;
  ASSERT_TRUE(ZspWriteSlot(Pcm({5, 6, 7, 8}, 16, "x"), Options(1, 29), &slot, &error));
  pack.insert(pack.end(), slot.data().begin(), slot.data().end());
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ(nullptr, store->entries[0].data);
  EXPECT_EQ((std::vector<uint8_t>{5, 6, 7, 8}), Bytes(store->entries[1]));
  pack = Header(1, 28, true, 0, 1);
  pack.push_back(0x3E);
  U32(&pack, 10);  // decoded length
  pack.insert(pack.end(), 30, 'n');
  pack.insert(pack.end(), {3, 0, 0, 0, 1, 2, 3, 16, 0});  // body (no Ogg data), width, attribute
  pack.insert(pack.end(), 26, 'm');
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ(0x3E, store->entries[0].coded);
  EXPECT_EQ(std::vector<uint8_t>(10, 0), Bytes(store->entries[0])) << "nothing decoded: padded with zeros";
  EXPECT_EQ(std::string(26, 'm'), store->entries[0].name26);
}

TEST(ZspReader, RefusesUnknownVersionsAndMagic) {
  for (auto [major, minor, version] : std::vector<std::tuple<uint8_t, uint8_t, std::string>>{
           {2, 4, "2.4"}, {3, 0, "3.0"}, {255, 255, "255.255"}}) {
    SampleStoreOwner store(SampleStoreCreate());
    const std::vector<uint8_t> pack = Header(major, minor, true, 0, 0);
    StreamOwner stream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0));
    Failure failure;
    EXPECT_EQ(1u, SampleStoreLoad(store.get(), stream.get(), nullptr, 0, &failure));
    EXPECT_EQ("header", failure.step);
    EXPECT_EQ("version " + version + " is not supported (newest read: 2.3)", failure.reason);
    EXPECT_EQ(0u, store->loaded);
    EXPECT_EQ(major, store->major) << "the version fields are already updated";
  }
  EXPECT_EQ(0u, Rc(Header(1, 99, true, 0, 0)));
  EXPECT_EQ(0u, Rc(Header(0, 0, false, 0, 0)));
  // Not a pack: refused, and the stream is still the caller's to use and close.
  std::vector<uint8_t> song = Header(2, 3, true, 0, 0);
  std::copy(kZsfMagic, kZsfMagic + sizeof kZsfMagic, song.begin());
  SampleStoreOwner store(SampleStoreCreate());
  StreamOwner stream(StreamOpenMemory(song.data(), static_cast<uint32_t>(song.size()), 0));
  Failure failure;
  EXPECT_EQ(1u, SampleStoreLoad(store.get(), stream.get(), nullptr, 0, &failure));
  EXPECT_EQ("header: not a ZSP sample pack (no \"ZSP1\" magic)", failure.step + ": " + failure.reason);
  StreamSeek(0, stream.get());
  uint8_t first = 0;
  EXPECT_EQ(1, StreamRead(&first, 1, stream.get()));
}

TEST(ZspReader, DescramblingSubtractsUpTo22AndXorsFrom23) {
  auto flagged = [](uint8_t major, uint8_t minor) {
    ZspWriteOptions o = Options(major, minor);
    o.scrambledFlag = true;
    return MakePack({Pcm({0x10}, 8)}, o);
  };
  struct Case {
    uint8_t major, minor;
    uint32_t passwordKey;
    int32_t key;
    uint8_t byte;
  };
  // Key 7: 0x10 becomes 0x09 subtracting, 0x17 XOR; -103 gives key -3 (adds 3, XOR
  // with 0xFD); multiples of 50 give key 0.
  for (const Case& c : {Case{2, 2, 7, 7, 0x09}, Case{2, 3, 7, 7, 0x17}, Case{2, 3, 0, 0, 0x10},
                        Case{1, 30, uint32_t(-103), -3, 0x13}, Case{2, 3, uint32_t(-103), -3, 0xED},
                        Case{2, 1, 150, 0, 0x10}}) {
    SampleStoreOwner store;
    ASSERT_EQ(0u, Rc(flagged(c.major, c.minor), &store, c.passwordKey));
    EXPECT_EQ(1, store->scrambled);
    EXPECT_EQ(c.key, store->key);
    EXPECT_EQ(c.byte, store->entries[0].data[0]) << int(c.major) << "." << int(c.minor) << " " << c.key;
  }
  SampleStoreOwner plain;
  ASSERT_EQ(0u, Rc(MakePack({Pcm({0x10}, 8)}), &plain, 7));
  EXPECT_EQ(0, plain->scrambled);
  EXPECT_EQ(0x10, plain->entries[0].data[0]) << "without the flag nothing is descrambled";
  // Writer and reader are inverse for every form; a wrong key gives other bytes, never a refusal.
  for (int32_t key : {7, -3, -49, 49}) {
    for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{{1, 23}, {2, 2}, {2, 3}}) {
      for (bool compress : {false, true}) {
        const auto pack = MakePack({Pcm(Ramp(4096), 16), Empty()}, Options(major, minor, compress, key));
        SampleStoreOwner store, wrong;
        ASSERT_EQ(0u, Rc(pack, &store, uint32_t(key)));
        EXPECT_EQ(Ramp(4096), Bytes(store->entries[0])) << key << " " << int(major) << "." << int(minor);
        ASSERT_EQ(0u, Rc(pack, &wrong, uint32_t(key + 1 == 0 ? 2 : key + 1)));
        EXPECT_NE(Ramp(4096), Bytes(wrong->entries[0]));
      }
    }
  }
  std::vector<uint8_t> out;
  std::string error;
  for (int32_t key : {-50, 50}) EXPECT_FALSE(WriteZsp({Empty()}, Options(2, 3, false, key), &out, &error)) << key;
  // Coded entries are descrambled before decoding: the audio comes out, not zeros.
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.pcm = SinePcm(5000, 16, 2);
  coded.channels = 2;
  std::string password = "sEcReT";
  SampleStoreOwner store;
  ASSERT_EQ(0u, Rc(MakePack({coded}, Options(2, 3, false, ZspKeyFromPassword("Secret"))), &store,
                   HashPassword(password.data(), 6)));
  ASSERT_EQ(coded.pcm.size(), store->entries[0].size);
  int nonZero = 0;
  for (uint32_t i = 0; i < store->entries[0].size; ++i) nonZero += store->entries[0].data[i] != 0;
  EXPECT_GT(nonZero, 1000);
}

TEST(ZspReader, PasswordHash) {
  char empty[1] = {0}, upper[] = "ABC", lower[] = "cab", high[] = {'\xFF', '\x80', 0};
  EXPECT_EQ(0u, HashPassword(empty, 0));
  EXPECT_EQ(HashPassword(lower, 3), HashPassword(upper, 3));
  EXPECT_STREQ("abc", upper) << "lowered in place";
  EXPECT_EQ('a' + 'b' + 'c' + 0u, HashPassword(lower, 3));
  EXPECT_EQ(static_cast<uint32_t>(-1 - 128), HashPassword(high, 2)) << "bytes from 0x80 count negative";
  const int32_t key = SampleStoreKeyFromPasswordKey(HashPassword(high, 2));
  EXPECT_EQ(-129 % 50, key);
  EXPECT_GE(static_cast<uint8_t>(key), 0xCF);
}

TEST(ZspReader, WantedListReadsOnlyThoseEntries) {
  std::vector<ZspEntry> entries;
  for (uint8_t i = 0; i < 5; ++i) entries.push_back(Pcm(Ramp(200 + i * 10, i), 16));
  for (bool compress : {false, true}) {
    for (auto major : {1, 2}) {
      SCOPED_TRACE(testing::Message() << compress << " v" << major);
      const std::vector<uint32_t> wanted = {2, 99};  // 99 is not a slot: no effect
      uint32_t rc = 1;
      auto store = LoadPack(MakePack(entries, Options(major, major == 1 ? 40 : 3, compress)), &wanted, 0, &rc);
      ASSERT_EQ(0u, rc);
      for (uint32_t i = 0; i < 5; ++i) {
        const SampleRecord& r = store->entries[i];
        EXPECT_EQ(i == 2 ? Ramp(220, 2) : std::vector<uint8_t>(), Bytes(r));
        EXPECT_EQ(200u + i * 10, r.fullSize);
        // Passed-over plain entries have size 0; compressed ones keep the unpacked length.
        if (i != 2) { EXPECT_EQ(compress ? 200u + i * 10 : 0u, r.size); }
      }
    }
  }
  // Only the slot heads and the wanted entry are read: a song wanting one entry of a
  // large pack reads little of it.
  std::vector<ZspEntry> large(64, Pcm(std::vector<uint8_t>(64 * 1024, 0)));
  large[37] = Pcm(Ramp(1000, 37));
  const std::vector<uint8_t> pack = MakePack(large);
  StreamOwner stream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0));
  SampleStoreOwner store(SampleStoreCreate());
  const uint32_t wanted[] = {37};
  ASSERT_EQ(0u, SampleStoreLoad(store.get(), stream.get(), wanted, 1));
  EXPECT_EQ(Ramp(1000, 37), Bytes(store->entries[37]));
  EXPECT_EQ(64u * 1024, store->entries[0].fullSize);
  EXPECT_LT(stream->delivered, 8000u);
}

TEST(ZspReader, PacksThatLie) {
  // The table grows as slots are read and a body cut short keeps what arrived (the
  // fuzz corpus holds the packs that found both): here a 4 GiB entry in a small
  // file, a compressed body beyond the end, 20 coded bytes for 4 GiB have no data.
  SampleStoreOwner store;
  std::vector<uint8_t> pack = Header(2, 3, true, 0, 2);
  Slot(&pack, 0x01, 0xFFFFFFF0u, {1, 2, 3});
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ(nullptr, store->entries[0].data);
  EXPECT_EQ(0xFFFFFFF0u, store->entries[0].size);
  pack = Header(2, 3, true, 1, 1);
  Slot(&pack, 0x01, 0x7FFFFFFFu, std::vector<uint8_t>(10, 0x11));
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ(nullptr, store->entries[0].data);
  EXPECT_EQ(0x7FFFFFFFu, store->entries[0].storedSize);
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.ogg = std::vector<uint8_t>(20, 0x42);
  coded.decodedLength = 0xF0000000u;
  ASSERT_EQ(0u, Rc(MakePack({coded}), &store));
  EXPECT_EQ(nullptr, store->entries[0].data);
  EXPECT_EQ(0xF0000000u, store->entries[0].size);
  // A block of another length than declared, or damaged, has no data; the list reads on.
  pack = MakePack({Pcm(Ramp(1000)), Pcm(Ramp(50))}, Options(2, 3, true));
  const size_t pAt = 12 + 1 + 32;  // header, type, head; then P, the block, U
  const size_t uAt = pAt + 4 + (pack[pAt] | pack[pAt + 1] << 8);
  ASSERT_EQ(1000, pack[uAt] | pack[uAt + 1] << 8);
  for (uint32_t declared : {999u, 1001u, 0xFFFFFFFFu}) {
    auto bad = pack;
    for (int i = 0; i < 4; ++i) bad[uAt + i] = static_cast<uint8_t>(declared >> (8 * i));
    ASSERT_EQ(0u, Rc(bad, &store));
    EXPECT_EQ(nullptr, store->entries[0].data) << declared;
    EXPECT_EQ(declared, store->entries[0].size);
    EXPECT_EQ(Ramp(50), Bytes(store->entries[1]));
  }
  pack[pAt + 4] ^= 0xFF;
  pack[pAt + 5] ^= 0xFF;
  ASSERT_EQ(0u, Rc(pack, &store));
  EXPECT_EQ(nullptr, store->entries[0].data);
  // Longer than its slots: the rest is ignored. Truncated anywhere: what arrived loads; a length cut inside its own field reads
  // as the bytes of it that arrived (300's low byte).
  for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {1, 36}, {2, 3}}) {
    for (bool compress : {false, true}) {
      const auto whole = MakePack({Pcm(Ramp(300)), Pcm(Ramp(300, 5)), Pcm(Ramp(300, 9))}, Options(major, minor, compress));
      auto longer = whole;
      longer.insert(longer.end(), 9, 0x5A);
      ASSERT_EQ(0u, Rc(longer, &store)) << "bytes after the last slot are not read";
      EXPECT_EQ(3u, store->heldCount);
      EXPECT_EQ(Ramp(300, 9), Bytes(store->entries[2]));
      for (size_t cut = 0; cut < whole.size(); cut += 7) {
        if (Rc(std::vector<uint8_t>(whole.begin(), whole.begin() + cut), &store) != 0) continue;
        for (uint32_t i = 0; i < store->heldCount; ++i)
          if (store->entries[i].data) { EXPECT_TRUE(store->entries[i].size == 300u || store->entries[i].size == 44u); }
      }
    }
  }
}
