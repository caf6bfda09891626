// LoadCollection and the Collection operations, over real files made by our writer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_stream.h"
#include "collection/zgm_writer.h"
#include "container/byte_stream.h"
#include "container/byte_writer.h"
#include "support/files.h"

namespace {

using zsftest::TempDir;

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

ZgmEntrySource Entry(uint8_t kind, const std::string& name, std::vector<uint8_t> data) {
  ZgmEntrySource e;
  e.kind = kind;
  e.name = name;
  e.data = std::move(data);
  return e;
}

// pack, text, tune, text, tune: kinds interleaved so lookups must skip.
ZgmContents Mixed() {
  ZgmContents c;
  c.info = "A soundtrack";
  c.entries.push_back(Entry(kEntrySamplePack, "pack", Bytes(3000, 1)));
  c.entries.push_back(Entry(kEntryText, "readme", Bytes(40, 2)));
  c.entries.push_back(Entry(kEntryTune, "intro", Bytes(500, 3)));
  c.entries.push_back(Entry(9, "credits", Bytes(0, 4)));
  c.entries.push_back(Entry(kEntryTune, "stage1", Bytes(700, 5)));
  return c;
}

std::vector<uint8_t> Encode(const ZgmContents& c) {
  std::vector<uint8_t> out;
  std::string reason;
  EXPECT_TRUE(EncodeZgm(c, &out, &reason)) << reason;
  return out;
}

struct Loaded {
  Collection* c = CollectionCreate();
  ~Loaded() { CollectionDestroy(c); }
};

std::string Name(const CollectionEntry& e) { return std::string(e.name, strnlen(e.name, 8)); }

TEST(ZgmLoad, EmptyCollectionHasNoTuneAndNoPack) {
  TempDir dir;
  ZgmContents c;
  c.info = "nothing here";
  zsftest::WriteFile(dir.file("empty.zgm"), Encode(c));
  Loaded l;
  ASSERT_EQ(LoadCollection(l.c, dir.file("empty.zgm").c_str(), 0, nullptr), 0u);
  EXPECT_EQ(l.c->count, 0u);
  EXPECT_STREQ(l.c->info, "nothing here");
  EXPECT_EQ(FindEntryOfKind(l.c, 0, kEntryTune), NotFound666);
  EXPECT_EQ(FindEntryOfKind(l.c, 0, kEntrySamplePack), NotFound666);
  EXPECT_EQ(GetEntry(l.c, 0), nullptr);
}

TEST(ZgmLoad, WrongMagicOrMissingFileLeavesCollectionUnchangedLowerCaseLoads) {
  TempDir dir;
  std::vector<uint8_t> bytes = Encode(Mixed());
  std::memcpy(bytes.data(), "ZSF1", 4);
  zsftest::WriteFile(dir.file("song.zgm"), bytes);
  Loaded l;
  std::memcpy(l.c->info, "before", 7);
  EXPECT_EQ(LoadCollection(l.c, dir.file("song.zgm").c_str(), 0, nullptr), 1u);
  EXPECT_EQ(LoadCollection(l.c, dir.file("absent.zgm").c_str(), 0, nullptr), 1u);
  EXPECT_EQ(l.c->count, 0u);
  EXPECT_STREQ(l.c->info, "before");
  // The magic in lower case is accepted.
  std::memcpy(bytes.data(), "zgm1", 4);
  zsftest::WriteFile(dir.file("lower.zgm"), bytes);
  ASSERT_EQ(LoadCollection(l.c, dir.file("lower.zgm").c_str(), 0, nullptr), 0u);
  EXPECT_EQ(l.c->count, 5u);
}

TEST(ZgmLoad, RoundTripKeepsKindsNamesSizesOffsetsAndData) {
  TempDir dir;
  ZgmContents c = Mixed();
  c.entries[1].name = "muchtoolongname";  // cut to 8 characters
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir.file("set.zgm"), c, &reason)) << reason;
  Loaded l;
  ASSERT_EQ(LoadCollection(l.c, dir.file("set.zgm").c_str(), 0, nullptr), 0u);
  ASSERT_EQ(l.c->count, c.entries.size());
  EXPECT_STREQ(l.c->info, "A soundtrack");
  uint32_t offset = 110;
  for (uint32_t i = 0; i < l.c->count; ++i) {
    const CollectionEntry* e = GetEntry(l.c, i);
    ASSERT_NE(e, nullptr);
    offset += 13;
    EXPECT_EQ(e->kind, c.entries[i].kind);
    EXPECT_EQ(Name(*e), c.entries[i].name.substr(0, 8));
    EXPECT_EQ(e->size, c.entries[i].data.size());
    EXPECT_EQ(e->offset, offset);
    ASSERT_NE(e->data, nullptr);  // also for the empty entry: loaded means data
    EXPECT_EQ(std::vector<uint8_t>(e->data, e->data + e->size), c.entries[i].data);
    offset += e->size;
  }
  EXPECT_EQ(Name(l.c->entries[1]), "muchtool");
  // An 8-character name keeps no terminator in the entry.
  EXPECT_EQ(std::memcmp(l.c->entries[1].name, "muchtool", 8), 0);
  // The file is exactly what the bytes encoder gives, and no temporary is left over.
  EXPECT_EQ(zsftest::ReadFile(dir.file("set.zgm")), Encode(c));
  size_t files = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.path())) files += f.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST(ZgmLoad, WantedListReadsOnlyThatEntry) {
  TempDir dir;
  ZgmContents c = Mixed();
  std::vector<uint8_t> bytes = Encode(c);
  zsftest::WriteFile(dir.file("set.zgm"), bytes);

  ByteStream* s = StreamOpenFile(dir.file("set.zgm").c_str());
  ASSERT_NE(s, nullptr);
  Loaded l;
  const uint32_t wanted[] = {2};
  ASSERT_EQ(LoadCollectionFromStream(l.c, s, 1, wanted), 0u);
  // Header, five entry headers and entry 2's data: the other data was skipped.
  EXPECT_EQ(s->delivered, 110u + 5 * 13 + c.entries[2].data.size());
  StreamClose(s);

  ASSERT_EQ(l.c->count, 5u);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(l.c->entries[i].size, c.entries[i].data.size()) << i;
    EXPECT_EQ(l.c->entries[i].data != nullptr, i == 2) << i;
  }
  EXPECT_EQ(std::vector<uint8_t>(l.c->entries[2].data, l.c->entries[2].data + 500),
            c.entries[2].data);

  // Through the file name as well, with an empty list: headers only.
  Loaded none;
  ASSERT_EQ(LoadCollection(none.c, dir.file("set.zgm").c_str(), 0, wanted), 0u);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(none.c->entries[i].data, nullptr);
}

TEST(ZgmLoad, FindEntryOfKindCountsOnlyThatKind) {
  TempDir dir;
  zsftest::WriteFile(dir.file("set.zgm"), Encode(Mixed()));
  Loaded l;
  ASSERT_EQ(LoadCollection(l.c, dir.file("set.zgm").c_str(), 0, nullptr), 0u);
  EXPECT_EQ(FindEntryOfKind(l.c, 0, kEntryTune), 2u);
  EXPECT_EQ(FindEntryOfKind(l.c, 1, kEntryTune), 4u);  // the second tune, texts skipped
  EXPECT_EQ(FindEntryOfKind(l.c, 2, kEntryTune), NotFound666);
  EXPECT_EQ(FindEntryOfKind(l.c, 0, kEntrySamplePack), 0u);
  EXPECT_EQ(FindEntryOfKind(l.c, 0, 9), 3u);
  EXPECT_EQ(GetEntry(l.c, 5), nullptr);
}

// Before these checks a short file loaded entries with sizes the file did not hold.
TEST(ZgmLoad, RefusesTruncatedFiles) {
  TempDir dir;
  std::vector<uint8_t> whole = Encode(Mixed());
  // Cut inside the header, inside an entry header and inside the last entry's data.
  for (size_t cut : {size_t(2), size_t(60), size_t(109), size_t(115), whole.size() - 1}) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
    zsftest::WriteFile(dir.file("cut.zgm"), part);
    for (bool selective : {false, true}) {
      Loaded l;
      const uint32_t wanted[] = {0};
      EXPECT_EQ(LoadCollection(l.c, dir.file("cut.zgm").c_str(), selective ? 1 : 0,
                               selective ? wanted : nullptr),
                1u)
          << "cut at " << cut;
      EXPECT_EQ(l.c->count, 0u);
    }
  }
}

TEST(ZgmLoad, RefusesSizesPastTheEndBeforeAllocating) {
  TempDir dir;
  ByteWriter w;
  w.bytes("ZGM1", 4);
  w.u8(1);
  w.u8(0);
  w.text("", 100);
  w.u32(2);
  w.u8(kEntryTune);
  w.text("t", 8);
  w.u32(4);
  w.bytes("abcd", 4);
  w.u8(kEntrySamplePack);
  w.text("p", 8);
  w.u32(0xFFFFFFF0u);  // would be a 4 GiB allocation if believed
  w.bytes("xy", 2);
  zsftest::WriteFile(dir.file("huge.zgm"), w.take());
  Loaded l;
  EXPECT_EQ(LoadCollection(l.c, dir.file("huge.zgm").c_str(), 0, nullptr), 1u);
  const uint32_t wanted[] = {0};
  EXPECT_EQ(LoadCollection(l.c, dir.file("huge.zgm").c_str(), 1, wanted), 1u);
  EXPECT_EQ(l.c->count, 0u);

  // An entry count that the file cannot hold headers for.
  ByteWriter many;
  many.bytes("ZGM1", 4);
  many.u16(1);
  many.text("", 100);
  many.u32(600);
  zsftest::WriteFile(dir.file("count.zgm"), many.take());
  EXPECT_EQ(LoadCollection(l.c, dir.file("count.zgm").c_str(), 0, nullptr), 1u);
}

TEST(ZgmLoad, RefusesMoreThan666Entries) {
  TempDir dir;
  ZgmContents c;
  for (int i = 0; i < 666; ++i) c.entries.push_back(Entry(kEntryText, "t", {}));
  zsftest::WriteFile(dir.file("666.zgm"), Encode(c));
  Loaded l;
  ASSERT_EQ(LoadCollection(l.c, dir.file("666.zgm").c_str(), 0, nullptr), 0u);
  EXPECT_EQ(l.c->count, 666u);
  // Loading on top would make position 666 reachable.
  EXPECT_EQ(LoadCollection(l.c, dir.file("666.zgm").c_str(), 0, nullptr), 1u);
  EXPECT_EQ(l.c->count, 666u);
  EXPECT_EQ(AppendEntry(l.c, 0, nullptr, "more", kEntryText, 0), NotFound666);
  EXPECT_EQ(l.c->count, 666u);
  EXPECT_EQ(GetEntry(l.c, NotFound666), nullptr);

  // The writer refuses 667, so this one is written by hand.
  std::vector<uint8_t> bytes = Encode(c);
  bytes[106] = 667 & 0xFF;
  bytes[107] = 667 >> 8;
  for (int k = 0; k < 13; ++k) bytes.push_back(k == 0 ? kEntryText : 0);
  zsftest::WriteFile(dir.file("667.zgm"), bytes);
  Loaded over;
  EXPECT_EQ(LoadCollection(over.c, dir.file("667.zgm").c_str(), 0, nullptr), 1u);
  EXPECT_EQ(over.c->count, 0u);

  c.entries.push_back(Entry(kEntryText, "t", {}));
  std::vector<uint8_t> out;
  std::string reason;
  EXPECT_FALSE(EncodeZgm(c, &out, &reason));
  EXPECT_NE(reason.find("666"), std::string::npos);
}

TEST(ZgmWrite, FailedWriteLeavesTheOldFile) {
  TempDir dir;
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir.file("set.zgm"), Mixed(), &reason));
  std::vector<uint8_t> before = zsftest::ReadFile(dir.file("set.zgm"));
  ZgmContents tooMany;
  tooMany.entries.resize(667);
  EXPECT_FALSE(WriteZgmFile(dir.file("set.zgm"), tooMany, &reason));
  EXPECT_FALSE(WriteZgmFile(dir.file("no/such/dir/set.zgm"), Mixed(), &reason));
  EXPECT_NE(reason.find("cannot create"), std::string::npos);
  EXPECT_EQ(zsftest::ReadFile(dir.file("set.zgm")), before);
}

}  // namespace
