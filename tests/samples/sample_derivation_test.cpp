// Deriving song samples from pack entries: the described examples and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "support/pack_maker.h"
#include "samples/sample_derivation.h"

using namespace zsftest;

namespace {

using Bytes8 = std::vector<uint8_t>;

// A store holding ENTRIES (bits per entry) as if loaded from a pack.
StorePtr StoreOf(const std::vector<std::pair<Bytes8, uint8_t>>& entries, bool compress = false,
                 const std::vector<uint32_t>* wanted = nullptr) {
  std::vector<ZspEntry> list;
  for (const auto& e : entries) list.push_back(Pcm(e.first, e.second, "", 3, 77));
  ZspWriteOptions o;
  o.compress = compress;
  return LoadPack(MakePack(list, o), wanted);
}

struct Result {
  uint32_t rc;
  Bytes8 data;
  DerivedSample out;
};

Result V1(const SampleStore* s, uint32_t entry, uint8_t transform, uint32_t parameter,
          uint8_t volume) {
  Result r{};
  r.rc = DeriveSample(s, &r.out, entry, transform, parameter, volume);
  if (r.out.data) r.data.assign(r.out.data, r.out.data + r.out.size);
  std::free(r.out.data);
  return r;
}

Result V2(const SampleStore* s, uint32_t entry, uint8_t transform, uint32_t a, uint32_t b,
          float gain, const SampleSourceTable* table = nullptr) {
  Result r{};
  r.rc = DeriveSampleFromSource(s, &r.out, entry, transform, a, b, gain, table);
  if (r.out.data) r.data.assign(r.out.data, r.out.data + r.out.size);
  std::free(r.out.data);
  return r;
}

Bytes8 Le16(std::initializer_list<int> values) {
  Bytes8 out;
  for (int v : values) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(static_cast<unsigned>(v) >> 8));
  }
  return out;
}

}  // namespace

TEST(SampleDerivation, DescribedExamples8Bit) {
  auto s = StoreOf({{{1, 2, 3, 4, 5}, 8}});
  EXPECT_EQ(V1(s.get(), 0, 1, 0, 100).data, (Bytes8{5, 4, 3, 2, 1}));
  EXPECT_EQ(V1(s.get(), 0, 2, 3, 100).data, (Bytes8{1, 2, 3}));
  EXPECT_EQ(V1(s.get(), 0, 4, 2, 100).data, (Bytes8{5, 4}));
  EXPECT_EQ(V2(s.get(), 0, 4, 2, 0, 1.0f).data, (Bytes8{2, 1}));
  EXPECT_EQ(V1(s.get(), 0, 0, 0, 200).data, (Bytes8{2, 4, 6, 8, 10}));
  const Result r = V1(s.get(), 0, 0, 0, 100);
  EXPECT_EQ(r.out.aux8, 3);
  EXPECT_EQ(r.out.aux32, 77u);
  EXPECT_EQ(r.out.bits, 8);

  auto wrap = StoreOf({{{0x50, 0xFD, 0x03}, 8}});
  EXPECT_EQ(V1(wrap.get(), 0, 0, 0, 200).data[0], 0xA0);  // wraps, not clipped
  const Bytes8 half = V1(wrap.get(), 0, 0, 0, 50).data;  // -3 and 3 truncate to -1 and 1
  EXPECT_EQ(half[1], 0xFF);
  EXPECT_EQ(half[2], 0x01);
}

TEST(SampleDerivation, SixteenBitAndPlainCopies) {
  const Bytes8 data = Le16({1, 2, 3});
  auto s = StoreOf({{data, 16}});
  EXPECT_EQ(V1(s.get(), 0, 0, 0, 100).data, data);
  EXPECT_EQ(V1(s.get(), 0, 1, 0, 100).data, Le16({3, 2, 1}));
  EXPECT_EQ(V2(s.get(), 0, 0, 0, 0, 1.0f).data, data);
  EXPECT_EQ(V2(s.get(), 0, 0, 0, 0, 100.0f).data, data);  // the plain-copy pattern
  EXPECT_EQ(V2(s.get(), 0, 1, 0, 0, 100.0f).data, Le16({300, 200, 100}));
  EXPECT_EQ(V2(s.get(), 0, 0, 0, 0, -2.5f).data, Le16({-2, -5, -7}));
  // A product that is not finite has no low bits to keep: silence.
  for (float gain : {INFINITY, -INFINITY, NAN})
    EXPECT_EQ(V2(s.get(), 0, 0, 0, 0, gain).data, Le16({0, 0, 0})) << gain;
}

TEST(SampleDerivation, Version1Join) {
  auto s = StoreOf({{{1, 2, 3, 4}, 8}, {{10, 20, 30, 40, 50, 60}, 8}, {{}, 8}, {Le16({1}), 16}});
  const Result r = V1(s.get(), 0, 3, 1, 50);
  EXPECT_EQ(r.rc, 0u);
  EXPECT_EQ(r.data, (Bytes8{1, 2, 3, 4, 5, 10, 15, 20, 25, 30}));
  EXPECT_NE(V1(s.get(), 0, 3, 2, 100).rc, 0u);  // second entry empty
  EXPECT_NE(V1(s.get(), 0, 3, 9, 100).rc, 0u);  // no such entry
  EXPECT_NE(V1(s.get(), 0, 3, 3, 100).rc, 0u);  // different widths
}

TEST(SampleDerivation, Version2JoinAndCycles) {
  auto s = StoreOf({{{1, 2, 3}, 8}, {{7, 8}, 8}, {Le16({5}), 16}});
  SampleSourceTable table;
  SampleSourceTableAppendSource(&table, {0, 0, 0, 0, 0, 1.0f});   // 0: entry 0
  SampleSourceTableAppendSource(&table, {1, 0, 1, 0, 0, 2.0f});   // 1: entry 1 reversed, x2
  SampleSourceTableAppendSource(&table, {0, 0, 3, 1, 0, 1.0f});   // 2: join 0 then 1
  SampleSourceTableAppendSource(&table, {0, 0, 3, 3, 0, 1.0f});   // 3: joins itself
  SampleSourceTableAppendSource(&table, {0, 0, 3, 5, 0, 1.0f});   // 4: -> 5
  SampleSourceTableAppendSource(&table, {0, 0, 3, 0, 4, 1.0f});   // 5: -> 4: a cycle
  SampleSourceTableAppendSource(&table, {2, 0, 0, 0, 0, 1.0f});   // 6: 16-bit entry
  EXPECT_EQ(SampleSourceTableAppendSample(&table, 2), 0u);

  // Join: the first part from B, the second part as long as A's sample, silent.
  Result r = V2(s.get(), 0, 3, 1, 0, 1.0f, &table);
  EXPECT_EQ(r.rc, 0u);
  EXPECT_EQ(r.data, (Bytes8{1, 2, 3, 0, 0}));
  // Nested joins go through the table.
  r = V2(s.get(), 0, 3, 2, 2, 1.0f, &table);
  EXPECT_EQ(r.rc, 0u);
  EXPECT_EQ(r.data.size(), 10u);
  EXPECT_NE(V2(s.get(), 0, 3, 3, 0, 1.0f, &table).rc, 0u);   // self reference
  EXPECT_NE(V2(s.get(), 0, 3, 4, 0, 1.0f, &table).rc, 0u);   // cycle through 4 and 5
  EXPECT_NE(V2(s.get(), 0, 3, 99, 0, 1.0f, &table).rc, 0u);  // outside the table
  EXPECT_NE(V2(s.get(), 0, 3, 6, 0, 1.0f, &table).rc, 0u);   // widths differ
  EXPECT_NE(V2(s.get(), 0, 3, 0, 0, 1.0f, nullptr).rc, 0u);  // no table
}

TEST(SampleDerivation, Version2JoinChainsOfAnyDepth) {
  // Only cycles and indices out of range are errors: a long chain of single joins
  // (deeper than any call stack would take) and a chain of doubling joins both load,
  // each source made once.
  auto s = StoreOf({{{9, 8, 7, 6}, 8}});
  SampleSourceTable chain;
  SampleSourceTableAppendSource(&chain, {0, 0, 0, 0, 0, 1.0f});
  for (uint32_t i = 1; i < 100000; ++i) SampleSourceTableAppendSource(&chain, {0, 0, 3, 0, i - 1, 1.0f});
  Result r = V2(s.get(), 0, 3, 0, 64, 1.0f, &chain);
  ASSERT_EQ(r.rc, 0u);
  EXPECT_EQ(r.data.size(), 4u * 66);
  r = V2(s.get(), 0, 3, 0, 99999, 2.0f, &chain);
  ASSERT_EQ(r.rc, 0u);
  ASSERT_EQ(r.data.size(), 4u * 100001);
  EXPECT_EQ(Bytes8(r.data.begin(), r.data.begin() + 5), (Bytes8{9, 8, 7, 6, 0}));

  SampleSourceTable doubling;
  SampleSourceTableAppendSource(&doubling, {0, 0, 1, 0, 0, 1.0f});
  for (uint32_t i = 1; i < 200; ++i) SampleSourceTableAppendSource(&doubling, {0, 0, 3, i - 1, i - 1, 1.0f});
  r = V2(s.get(), 0, 3, 15, 15, 1.0f, &doubling);
  ASSERT_EQ(r.rc, 0u);
  EXPECT_EQ(r.data.size(), 256u * 1024);
  EXPECT_EQ(Bytes8(r.data.begin(), r.data.begin() + 5), (Bytes8{6, 7, 8, 9, 0}));
  EXPECT_EQ(r.out.bits, 8);
  EXPECT_EQ(r.out.aux32, 77u);
  // 2^200 bytes of silence is refused before any is made.
  EXPECT_NE(V2(s.get(), 0, 3, 199, 199, 1.0f, &doubling).rc, 0u);
}

TEST(SampleDerivation, Failures) {
  auto s = StoreOf({{{1, 2, 3, 4, 5}, 8}, {Le16({1, 2}), 16}});
  EXPECT_NE(V1(s.get(), 0, 5, 0, 100).rc, 0u);
  EXPECT_NE(V2(s.get(), 0, 5, 0, 0, 1.0f).rc, 0u);
  EXPECT_NE(V1(s.get(), 2, 0, 0, 100).rc, 0u);  // index == entryCount
  EXPECT_NE(V2(s.get(), 2, 0, 0, 0, 1.0f).rc, 0u);
  // Cuts longer than the entry fail rather than reading past it.
  EXPECT_NE(V1(s.get(), 0, 2, 6, 100).rc, 0u);
  EXPECT_NE(V1(s.get(), 0, 4, 6, 100).rc, 0u);
  EXPECT_NE(V2(s.get(), 1, 2, 5, 0, 1.0f).rc, 0u);
  EXPECT_NE(V2(s.get(), 1, 4, 6, 0, 1.0f).rc, 0u);
  const Result failed = V1(s.get(), 0, 2, 6, 100);
  EXPECT_TRUE(failed.data.empty());
  // An odd cut of 16-bit data stops at its last whole sample.
  EXPECT_EQ(V2(s.get(), 1, 2, 3, 0, 1.0f).data, (Bytes8{1, 0, 0}));
  EXPECT_EQ(V1(s.get(), 1, 4, 3, 100).data, (Bytes8{2, 0, 0}));
}

TEST(SampleDerivation, OddSized16BitEntries) {
  auto s = StoreOf({{{1, 0, 2, 0, 9}, 16}});
  EXPECT_EQ(V1(s.get(), 0, 0, 0, 100).data, (Bytes8{1, 0, 2, 0, 9}));  // plain copy
  EXPECT_EQ(V1(s.get(), 0, 0, 0, 200).data, (Bytes8{2, 0, 4, 0, 0}));
  EXPECT_EQ(V1(s.get(), 0, 1, 0, 100).data, (Bytes8{2, 0, 1, 0, 0}));
  EXPECT_EQ(V1(s.get(), 0, 4, 4, 100).data, (Bytes8{2, 0, 1, 0}));
}

TEST(SampleDerivation, EntriesThatWereNotWanted) {
  const std::vector<uint32_t> wanted = {1};
  auto plain = StoreOf({{{1, 2}, 8}, {{3}, 8}}, false, &wanted);
  const Result r = V1(plain.get(), 0, 0, 0, 100);
  EXPECT_EQ(r.rc, 0u);  // size 0: an empty sample
  EXPECT_EQ(r.out.size, 0u);
  auto packed = StoreOf({{{1, 2}, 8}, {{3}, 8}}, true, &wanted);
  EXPECT_NE(V1(packed.get(), 0, 0, 0, 100).rc, 0u);  // size kept, no data
  EXPECT_NE(V2(packed.get(), 0, 1, 0, 0, 1.0f).rc, 0u);
}
