// ZGM collections over real files made by our writer: loading whole or by a wanted
// list, the lookups, the refusals; and collection addresses. (Collection tracks
// played through the plug-in: tests/host, by zsfplay.)
#include <gtest/gtest.h>

#include <cstring>

#include "collection/collection.h"
#include "collection/collection_address.h"
#include "collection/collection_stream.h"
#include "collection/zgm_format.h"
#include "collection/zgm_writer.h"
#include "container/byte_writer.h"
#include "container/failure.h"
#include "container/zsf_format.h"
#include "support/files.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

ZgmEntrySource Entry(uint8_t kind, const std::string& name, std::vector<uint8_t> data) {
  ZgmEntrySource e;
  e.kind = kind;
  e.name = name;
  e.data = std::move(data);
  return e;
}

// pack, text, tune, other, tune: kinds interleaved so lookups must skip.
ZgmContents Mixed() {
  ZgmContents c;
  c.info = "A soundtrack";
  c.entries = {Entry(kEntrySamplePack, "pack", Ramp(3000, 1)), Entry(kEntryText, "muchtoolongname", Ramp(40, 2)),
               Entry(kEntryTune, "intro", Ramp(500, 3)), Entry(9, "credits", {}), Entry(kEntryTune, "stage1", Ramp(700, 5))};
  return c;
}

std::vector<uint8_t> Encode(const ZgmContents& c) {
  std::vector<uint8_t> out;
  std::string reason;
  EXPECT_TRUE(EncodeZgm(c, &out, &reason)) << reason;
  return out;
}

// The entry count, stored by hand where a writer would refuse it (it ends the header).
void SetCount(std::vector<uint8_t>* bytes, uint16_t count) {
  (*bytes)[zgm::kHeaderSize - 4] = count & 0xFF;
  (*bytes)[zgm::kHeaderSize - 3] = count >> 8;
}

struct Loaded {
  Collection* c = CollectionCreate();
  Failure failure;
  ~Loaded() { CollectionDestroy(c); }
  uint32_t Load(const std::string& path, uint32_t wantedCount = 0, const uint32_t* wanted = nullptr) {
    return LoadCollection(c, path.c_str(), wantedCount, wanted, &failure);
  }
  // The last refusal, "step: reason".
  std::string Why() const { return failure.step + ": " + failure.reason; }
};

}  // namespace

TEST(ZgmLoad, RoundTripKeepsKindsNamesSizesOffsetsAndData) {
  TempDir dir;
  const ZgmContents c = Mixed();
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir.file("set.zgm"), c, &reason)) << reason;
  EXPECT_EQ(Encode(c), ReadFile(dir.file("set.zgm"))) << "the bytes encoder's file, no temporary left";
  Loaded l;
  ASSERT_EQ(0u, l.Load(dir.file("set.zgm")));
  ASSERT_EQ(c.entries.size(), l.c->count);
  EXPECT_STREQ("A soundtrack", l.c->info);
  uint32_t offset = zgm::kHeaderSize;
  for (uint32_t i = 0; i < l.c->count; ++i) {
    const CollectionEntry* e = GetEntry(l.c, i);
    offset += zgm::kEntryHeaderSize;
    EXPECT_EQ(c.entries[i].kind, e->kind);
    EXPECT_EQ(c.entries[i].name.substr(0, 8), std::string(e->name, strnlen(e->name, 8))) << "cut to 8, no terminator";
    EXPECT_EQ(offset, e->offset);
    ASSERT_NE(nullptr, e->data) << "also for the empty entry: loaded means data";
    EXPECT_EQ(c.entries[i].data, std::vector<uint8_t>(e->data, e->data + e->size));
    offset += e->size;
  }
  EXPECT_EQ(2u, FindEntryOfKind(l.c, 0, kEntryTune));
  EXPECT_EQ(4u, FindEntryOfKind(l.c, 1, kEntryTune)) << "the second tune, texts skipped";
  EXPECT_EQ(NotFound666, FindEntryOfKind(l.c, 2, kEntryTune));
  EXPECT_EQ(0u, FindEntryOfKind(l.c, 0, kEntrySamplePack));
  EXPECT_EQ(3u, FindEntryOfKind(l.c, 0, 9));
  EXPECT_EQ(nullptr, GetEntry(l.c, 5));
  // An empty collection has no tune and no pack.
  ZgmContents empty;
  empty.info = "nothing here";
  WriteFile(dir.file("empty.zgm"), Encode(empty));
  Loaded e;
  ASSERT_EQ(0u, e.Load(dir.file("empty.zgm")));
  EXPECT_EQ(0u, e.c->count);
  EXPECT_STREQ("nothing here", e.c->info);
  EXPECT_EQ(NotFound666, FindEntryOfKind(e.c, 0, kEntryTune));
  EXPECT_EQ(NotFound666, FindEntryOfKind(e.c, 0, kEntrySamplePack));
  EXPECT_EQ(nullptr, GetEntry(e.c, 0));
}

TEST(ZgmLoad, WantedListReadsOnlyThatEntry) {
  TempDir dir;
  const ZgmContents c = Mixed();
  WriteFile(dir.file("set.zgm"), Encode(c));
  ByteStream* s = StreamOpenFile(dir.file("set.zgm").c_str());
  Loaded l;
  const uint32_t wanted[] = {2};
  ASSERT_EQ(0u, LoadCollectionFromStream(l.c, s, 1, wanted));
  EXPECT_EQ(zgm::kHeaderSize + 5 * zgm::kEntryHeaderSize + c.entries[2].data.size(), s->delivered)
      << "the other data was skipped";
  StreamClose(s);
  ASSERT_EQ(5u, l.c->count);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(c.entries[i].data.size(), l.c->entries[i].size) << i;
    EXPECT_EQ(i == 2, l.c->entries[i].data != nullptr) << i;
  }
  EXPECT_EQ(c.entries[2].data, std::vector<uint8_t>(l.c->entries[2].data, l.c->entries[2].data + 500));
  Loaded none;  // by name, with an empty list: headers only
  ASSERT_EQ(0u, none.Load(dir.file("set.zgm"), 0, wanted));
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(nullptr, none.c->entries[i].data);
}

TEST(ZgmLoad, RefusalsLeaveTheCollectionUnchanged) {
  TempDir dir;
  std::vector<uint8_t> bytes = Encode(Mixed());
  std::memcpy(bytes.data(), kZsfMagic, sizeof kZsfMagic);
  WriteFile(dir.file("song.zgm"), bytes);
  Loaded l;
  std::memcpy(l.c->info, "before", 7);
  EXPECT_EQ(1u, l.Load(dir.file("song.zgm")));
  EXPECT_EQ("header: not a ZGM collection (no \"ZGM1\" magic)", l.Why());
  EXPECT_EQ(1u, l.Load(dir.file("absent.zgm")));
  EXPECT_EQ("open: No such file or directory", l.Why());
  EXPECT_EQ(0u, l.c->count);
  EXPECT_STREQ("before", l.c->info);
  std::memcpy(bytes.data(), "zgm1", 4);  // the magic in lower case is accepted
  WriteFile(dir.file("lower.zgm"), bytes);
  Loaded lower;
  ASSERT_EQ(0u, lower.Load(dir.file("lower.zgm")));
  EXPECT_EQ(5u, lower.c->count);
  // Cut inside the header, an entry header or the last data (these once loaded sizes
  // the file did not hold), whole or selective.
  const std::vector<uint8_t> whole = Encode(Mixed());
  const std::string end = std::to_string(whole.size() - 1);
  for (auto [cut, why] : std::vector<std::pair<size_t, std::string>>{
           {2, "header: not a ZGM collection (no \"ZGM1\" magic)"},
           {60, "header: the file ends after 60 bytes, inside the 110-byte header"},
           {109, "header: the file ends after 109 bytes, inside the 110-byte header"},
           {115, "header: 5 entry headers of 13 bytes need 65 bytes, but the file holds 5 more"},
           {whole.size() - 1, "entry 4: its 700 bytes of data at offset " + std::to_string(whole.size() - 700) +
                                  " run past the end of the file (" + end + " bytes)"}}) {
    WriteFile(dir.file("cut.zgm"), std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    for (uint32_t selective : {0u, 1u}) {
      Loaded part;
      const uint32_t first[] = {0};
      EXPECT_EQ(1u, part.Load(dir.file("cut.zgm"), selective, selective ? first : nullptr)) << cut;
      EXPECT_EQ(why, part.Why());
      EXPECT_EQ(0u, part.c->count);
    }
  }
  // A size past the end is refused before a 4 GiB allocation; so is a count the file
  // cannot hold headers for.
  ByteWriter w;
  w.bytes(zgm::kMagic, zgm::kMagicSize);
  w.u8(zgm::kVersionByte);
  w.u8(zgm::kReservedByte);
  w.text("", zgm::kInfoSize);
  w.u32(2);
  w.u8(kEntryTune);
  w.text("t", zgm::kNameSize);
  w.u32(4);
  w.bytes("abcd", 4);
  w.u8(kEntrySamplePack);
  w.text("p", zgm::kNameSize);
  w.u32(0xFFFFFFF0u);
  w.bytes("xy", 2);
  WriteFile(dir.file("huge.zgm"), w.take());
  const uint32_t first[] = {0};
  EXPECT_EQ(1u, l.Load(dir.file("huge.zgm")));
  EXPECT_EQ(1u, l.Load(dir.file("huge.zgm"), 1, first));
  EXPECT_EQ("entry 1: its 4294967280 bytes of data at offset 140 run past the end of the file (142 bytes)", l.Why());
  std::vector<uint8_t> many = Encode(ZgmContents{});
  SetCount(&many, 600);
  WriteFile(dir.file("count.zgm"), many);
  EXPECT_EQ(1u, l.Load(dir.file("count.zgm")));
  EXPECT_EQ("header: 600 entry headers of 13 bytes need 7800 bytes, but the file holds 0 more", l.Why());
  EXPECT_EQ(0u, l.c->count);
}

TEST(ZgmLoad, AtMost666Entries) {
  TempDir dir;
  ZgmContents c;
  c.entries.assign(zgm::kMaxEntries, Entry(kEntryText, "t", {}));
  WriteFile(dir.file("666.zgm"), Encode(c));
  Loaded l;
  ASSERT_EQ(0u, l.Load(dir.file("666.zgm")));
  EXPECT_EQ(zgm::kMaxEntries, l.c->count);
  EXPECT_EQ(1u, l.Load(dir.file("666.zgm"))) << "loading on top would make position 666 reachable";
  EXPECT_EQ("header: 666 entries declared, after 666 already held; a collection holds at most 666", l.Why());
  EXPECT_EQ(zgm::kMaxEntries, l.c->count);
  EXPECT_EQ(nullptr, GetEntry(l.c, NotFound666));
  std::vector<uint8_t> bytes = Encode(c);  // the writer refuses 667: by hand
  SetCount(&bytes, zgm::kMaxEntries + 1);
  bytes.push_back(kEntryText);
  bytes.insert(bytes.end(), zgm::kEntryHeaderSize - 1, 0);
  WriteFile(dir.file("667.zgm"), bytes);
  Loaded over;
  EXPECT_EQ(1u, over.Load(dir.file("667.zgm")));
  EXPECT_EQ("header: 667 entries declared; a collection holds at most 666", over.Why());
  EXPECT_EQ(0u, over.c->count);
  c.entries.push_back(Entry(kEntryText, "t", {}));
  std::string reason;
  EXPECT_FALSE(EncodeZgm(c, &bytes, &reason));
  EXPECT_NE(std::string::npos, reason.find("666"));
  // A failed write leaves the old file.
  ASSERT_TRUE(WriteZgmFile(dir.file("set.zgm"), Mixed(), &reason));
  EXPECT_FALSE(WriteZgmFile(dir.file("set.zgm"), c, &reason));
  EXPECT_FALSE(WriteZgmFile(dir.file("no/such/dir/set.zgm"), Mixed(), &reason));
  EXPECT_NE(std::string::npos, reason.find("cannot create"));
  EXPECT_EQ(Encode(Mixed()), ReadFile(dir.file("set.zgm")));
}

TEST(CollectionAddress, SchemeFileAndTrackReadLikeAtoi) {
  constexpr int32_t kAny = 12345;  // the track is not looked at
  struct Case {
    const char* name;
    bool address;
    const char* file;
    int32_t track;
  };
  for (const Case& c : {Case{"zgm://C:\\music\\game.zgm,3", true, "C:\\music\\game.zgm", 3},
                        Case{"C:\\music\\game.zgm,3", true, "C:\\music\\game.zgm", 3}, Case{"ZGM://A.ZGM,2", true, "A.ZGM", 2},
                        Case{"zgm://game.zgm", true, "game.zgm", kFirstTuneTrack}, Case{"game.zgm,-1", true, "game.zgm", -1},
                        Case{"x.zgm,abc", true, "x.zgm", 0}, Case{"x.zgm,", true, "x.zgm", 0}, Case{"x.zgm,  +7z", true, "x.zgm", 7},
                        Case{"x.zgm,\t12,5", true, "x.zgm", 12}, Case{"x.zgm,-", true, "x.zgm", 0},
                        Case{"x.zgm,99999999999999", true, "x.zgm", INT32_MAX}, Case{"x.zgm,-99999999999999", true, "x.zgm", INT32_MIN},
                        Case{"a,b.zgm,4", true, "a", kAny}, Case{"zgm://", true, "", kAny}, Case{"Zgm://x", true, "x", kAny},
                        Case{"set.zgm", false, "", 0}, Case{"zgm:/x", false, "", 0}, Case{"zgm:", false, "", 0}, Case{"", false, "", 0}}) {
    EXPECT_EQ(c.address, IsCollectionAddress(c.name)) << c.name;
    if (!c.address) continue;
    CollectionAddress a = ParseCollectionAddress(c.name);
    EXPECT_EQ(c.file, a.file) << c.name;
    if (c.track != kAny) { EXPECT_EQ(c.track, a.track) << c.name; }
  }
  EXPECT_FALSE(IsCollectionAddress(nullptr));
}
