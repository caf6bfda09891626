// The wanted list: only wanted entries are read; the others are passed over.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/pack_maker.h"
#include "support/files.h"

using namespace zsftest;

TEST(ZspSelectiveLoad, WantedListOnPlainAndCompressedPacks) {
  std::vector<ZspEntry> entries;
  for (uint8_t i = 0; i < 5; ++i) entries.push_back(Pcm(Ramp(200 + i * 10, i), 16));
  for (bool compress : {false, true}) {
    for (auto major : {1, 2}) {
      SCOPED_TRACE(testing::Message() << (compress ? "compressed" : "plain") << " v" << major);
      ZspWriteOptions o;
      o.major = static_cast<uint8_t>(major);
      o.minor = major == 1 ? 40 : 3;
      o.compress = compress;
      const auto pack = MakePack(entries, o);
      const std::vector<uint32_t> wanted = {2, 99};  // 99 is not a slot: no effect
      uint32_t rc = 1;
      auto store = LoadPack(pack, &wanted, 0, &rc);
      ASSERT_EQ(rc, 0u);
      for (uint32_t i = 0; i < 5; ++i) {
        const SampleRecord& r = store->entries[i];
        if (i == 2) {
          EXPECT_EQ(Bytes(r), Ramp(220, 2));
          continue;
        }
        EXPECT_EQ(r.data, nullptr);
        EXPECT_EQ(r.fullSize, 200u + i * 10);
        // Passed-over plain entries have size 0; compressed ones keep the unpacked length.
        EXPECT_EQ(r.size, compress ? 200u + i * 10 : 0u);
      }
    }
  }
}

// A song that wants one entry of a 256 MiB pack reads the slot heads and that entry.
TEST(ZspSelectiveLoad, OneEntryOfALargePackReadsLittle) {
  TempDir dir;
  const std::string path = dir.file("large.zsp");
  constexpr uint32_t kEntries = 64;
  constexpr uint32_t kEntryBytes = 4u << 20;  // 64 x 4 MiB = 256 MiB
  ZspWriteOptions o;
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ByteWriter header;
    std::string error;
    ASSERT_TRUE(ZspWriteHeader(o, kEntries, &header, &error));
    std::fwrite(header.data().data(), 1, header.size(), f);
    // Every entry is zeros but one; the writer's slot bytes for a zero entry are
    // reused, and its body becomes a hole in the file so the test stays quick.
    ByteWriter zeroSlot;
    ASSERT_TRUE(ZspWriteSlot(Pcm(std::vector<uint8_t>(kEntryBytes, 0)), o, &zeroSlot, &error));
    const size_t headBytes = zeroSlot.size() - kEntryBytes;
    for (uint32_t i = 0; i < kEntries; ++i) {
      if (i == 37) {
        ByteWriter slot;
        ASSERT_TRUE(ZspWriteSlot(Pcm(Ramp(1000, 37)), o, &slot, &error));
        std::fwrite(slot.data().data(), 1, slot.size(), f);
        continue;
      }
      std::fwrite(zeroSlot.data().data(), 1, headBytes, f);
      std::fseek(f, kEntryBytes, SEEK_CUR);
    }
    ByteWriter end;
    ZspWriteEnd(o, &end);
    std::fwrite(end.data().data(), 1, end.size(), f);
    std::fclose(f);
  }
  StreamPtr stream(StreamOpenFile(path.c_str()));
  ASSERT_NE(stream, nullptr);
  EXPECT_GT(stream->size, 250u << 20);
  StorePtr store(SampleStoreCreate());
  const uint32_t wanted[] = {37};
  ASSERT_EQ(SampleStoreLoad(store.get(), stream.get(), wanted, 1), 0u);
  EXPECT_EQ(Bytes(store->entries[37]), Ramp(1000, 37));
  EXPECT_EQ(store->entries[0].fullSize, kEntryBytes);
  EXPECT_LT(stream->delivered, 1u << 20);
}
