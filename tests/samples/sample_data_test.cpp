// Song samples derived from pack entries (the described examples and failures, joins
// of any depth), and Vorbis-coded entries: decoding, chains, damage, non-Ogg data.
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <cmath>
#include <optional>

#include "samples/coded_sample.h"
#include "samples/sample_derivation.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

using Bytes8 = std::vector<uint8_t>;

Bytes8 Le16(std::initializer_list<int> values) {
  Bytes8 out;
  for (int v : values) out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(unsigned(v) >> 8)});
  return out;
}

// A store holding ENTRIES (bits per entry) as loaded from a pack, attribute 3, value 77.
SampleStoreOwner StoreOf(const std::vector<std::pair<Bytes8, uint8_t>>& entries, bool compress = false,
                 const std::vector<uint32_t>* wanted = nullptr) {
  std::vector<ZspEntry> list;
  for (const auto& e : entries) list.push_back(Pcm(e.first, e.second, "", 3, 77));
  ZspWriteOptions o;
  o.compress = compress;
  return LoadPack(MakePack(list, o), wanted);
}

// Version 1 derivation (A the parameter, GAIN the volume percent) or version 2; the
// bytes, or nothing on failure (which must leave no data and say why).
std::optional<Bytes8> Derive(const SampleStore* s, int version, uint32_t entry, uint8_t t, uint32_t a, uint32_t b,
                             float gain, const SampleSourceTable* table = nullptr, DerivedSample* keep = nullptr,
                             std::string* why = nullptr) {
  DerivedSample out{};
  std::string reason;
  uint32_t rc = version == 1 ? DeriveSample(s, &out, entry, t, a, static_cast<uint8_t>(gain), &reason)
                             : DeriveSampleFromSource(s, &out, entry, t, a, b, gain, table, &reason);
  std::optional<Bytes8> bytes;
  if (rc == 0) bytes = Bytes8(out.data, out.data + out.size);
  EXPECT_TRUE(rc == 0 || !out.data);
  EXPECT_EQ(rc != 0, !reason.empty()) << reason;
  if (why) *why = reason;
  std::free(out.data);
  // Into a place of the caller's: the same bytes and nothing beyond them; a place of
  // another size is refused.
  for (uint32_t extra : {0u, 1u}) {
    if (rc != 0) break;
    Bytes8 place(out.size + extra + 1, 0xEE);
    DerivedSample into{};
    into.target = place.data();
    into.targetSize = out.size + extra;
    const uint32_t placed = version == 1 ? DeriveSample(s, &into, entry, t, a, static_cast<uint8_t>(gain))
                                         : DeriveSampleFromSource(s, &into, entry, t, a, b, gain, table);
    EXPECT_EQ(extra ? 1u : 0u, placed);
    if (!extra) {
      EXPECT_EQ(*bytes, Bytes8(place.begin(), place.begin() + out.size));
    }
    EXPECT_EQ(0xEE, place.back());
  }
  if (keep) *keep = out;
  return bytes;
}

}  // namespace

TEST(SampleDerivation, DescribedExamplesAndFailures) {
  auto s8 = StoreOf({{{1, 2, 3, 4, 5}, 8}, {Le16({1, 2}), 16}, {{0x50, 0xFD, 0x03}, 8}, {{1, 0, 2, 0, 9}, 16}});
  auto s16 = StoreOf({{Le16({1, 2, 3}), 16}});
  const std::optional<Bytes8> kFails;
  struct Case {
    const SampleStore* store;
    int version;
    uint32_t entry;
    uint8_t transform;
    uint32_t a;
    float gain;
    std::optional<Bytes8> expected;
    std::string why = "";
  };
  const Case cases[] = {
      {s8.get(), 1, 0, 1, 0, 100, Bytes8{5, 4, 3, 2, 1}},  // reversed
      {s8.get(), 1, 0, 2, 3, 100, Bytes8{1, 2, 3}},        // the first A
      {s8.get(), 1, 0, 4, 2, 100, Bytes8{5, 4}},           // the last A, reversed
      {s8.get(), 2, 0, 4, 2, 1.0f, Bytes8{2, 1}},          // the first A, reversed
      {s8.get(), 1, 0, 0, 0, 200, Bytes8{2, 4, 6, 8, 10}},
      {s8.get(), 1, 2, 0, 0, 200, Bytes8{0xA0, 0xFA, 0x06}},  // wraps, not clipped
      {s8.get(), 1, 2, 0, 0, 50, Bytes8{0x28, 0xFF, 0x01}},   // -3 and 3 truncate to -1 and 1
      {s16.get(), 1, 0, 0, 0, 100, Le16({1, 2, 3})},
      {s16.get(), 1, 0, 1, 0, 100, Le16({3, 2, 1})},
      {s16.get(), 2, 0, 0, 0, 1.0f, Le16({1, 2, 3})},
      {s16.get(), 2, 0, 0, 0, 100.0f, Le16({1, 2, 3})},  // the plain-copy pattern
      {s16.get(), 2, 0, 1, 0, 100.0f, Le16({300, 200, 100})},
      {s16.get(), 2, 0, 0, 0, -2.5f, Le16({-2, -5, -7})},
      {s16.get(), 2, 0, 0, 0, INFINITY, Le16({0, 0, 0})},  // no finite product: silence
      {s16.get(), 2, 0, 0, 0, -INFINITY, Le16({0, 0, 0})},
      {s16.get(), 2, 0, 0, 0, NAN, Le16({0, 0, 0})},
      {s8.get(), 2, 1, 2, 3, 1.0f, Bytes8{1, 0, 0}},  // an odd cut of 16-bit data: last whole sample
      {s8.get(), 1, 1, 4, 3, 100, Bytes8{2, 0, 0}},
      {s8.get(), 1, 3, 0, 0, 100, Bytes8{1, 0, 2, 0, 9}},  // odd-sized 16-bit entries
      {s8.get(), 1, 3, 0, 0, 200, Bytes8{2, 0, 4, 0, 0}},
      {s8.get(), 1, 3, 1, 0, 100, Bytes8{2, 0, 1, 0, 0}},
      {s8.get(), 1, 3, 4, 4, 100, Bytes8{2, 0, 1, 0}},
      {s8.get(), 1, 0, 5, 0, 100, kFails, "transform 5 is no copy, reverse or cut"},
      {s8.get(), 2, 0, 5, 0, 1.0f, kFails, "transform 5 is no copy, reverse or cut"},
      {s8.get(), 1, 4, 0, 0, 100, kFails, "pack entry 4 does not exist (the pack has 4 slots)"},
      {s8.get(), 2, 4, 0, 0, 1.0f, kFails, "pack entry 4 does not exist (the pack has 4 slots)"},
      {s8.get(), 1, 0, 2, 6, 100, kFails, "a cut of 6 bytes is longer than pack entry 0 (5 bytes)"},
      {s8.get(), 1, 0, 4, 6, 100, kFails, "a cut of 6 bytes is longer than pack entry 0 (5 bytes)"},
      {s8.get(), 2, 1, 2, 5, 1.0f, kFails, "a cut of 5 bytes is longer than pack entry 1 (4 bytes)"},
      {s8.get(), 2, 1, 4, 6, 1.0f, kFails, "a cut of 6 bytes is longer than pack entry 1 (4 bytes)"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(c.expected, Derive(c.store, c.version, c.entry, c.transform, c.a, 0, c.gain, nullptr, nullptr, &why))
        << "v" << c.version << " entry " << c.entry << " transform " << int(c.transform) << " a " << c.a << " gain " << c.gain;
    EXPECT_EQ(c.why, why);
  }
  DerivedSample kept{};
  Derive(s8.get(), 1, 0, 0, 0, 0, 100, nullptr, &kept);
  EXPECT_EQ(3, kept.aux8);
  EXPECT_EQ(77u, kept.aux32);
  EXPECT_EQ(8, kept.bits);
  // Entries that were not wanted: plain ones are empty, compressed ones keep a size but no data.
  const std::vector<uint32_t> wanted = {1};
  EXPECT_EQ(Bytes8{}, Derive(StoreOf({{{1, 2}, 8}, {{3}, 8}}, false, &wanted).get(), 1, 0, 0, 0, 0, 100));
  auto packed = StoreOf({{{1, 2}, 8}, {{3}, 8}}, true, &wanted);
  EXPECT_EQ(kFails, Derive(packed.get(), 1, 0, 0, 0, 0, 100));
  EXPECT_EQ(kFails, Derive(packed.get(), 2, 0, 1, 0, 0, 1.0f));
}

TEST(SampleDerivation, Joins) {
  // Version 1: entry A then entry B at the volume.
  auto s = StoreOf({{{1, 2, 3, 4}, 8}, {{10, 20, 30, 40, 50, 60}, 8}, {{}, 8}, {Le16({1}), 16}});
  EXPECT_EQ((Bytes8{1, 2, 3, 4, 5, 10, 15, 20, 25, 30}), Derive(s.get(), 1, 0, 3, 1, 0, 50));
  std::string why;
  for (auto [second, reason] : std::vector<std::pair<uint32_t, std::string>>{
           {2, "a join of an empty part"}, {9, "pack entry 9 does not exist (the pack has 4 slots)"},
           {3, "a join of an 8-bit and a 16-bit part"}}) {
    EXPECT_FALSE(Derive(s.get(), 1, 0, 3, second, 0, 100, nullptr, nullptr, &why)) << second;
    EXPECT_EQ(reason, why);
  }
  const std::vector<uint32_t> firstOnly = {0};  // the second part's body was not loaded: it is the one named
  auto partial = StoreOf({{{1, 2}, 8}, {{3, 4}, 8}}, true, &firstOnly);
  EXPECT_FALSE(Derive(partial.get(), 1, 0, 3, 1, 0, 100, nullptr, nullptr, &why));
  EXPECT_EQ("pack entry 1 holds no data (its body is missing or damaged)", why);
  // Version 2: through the source table; the second part as long as A's sample, silent.
  auto v2 = StoreOf({{{1, 2, 3}, 8}, {{7, 8}, 8}, {Le16({5}), 16}});
  SampleSourceTable table;
  for (const SampleSource& src : {SampleSource{0, 0, 0, 0, 0, 1.0f}, SampleSource{1, 0, 1, 0, 0, 2.0f},
                                  SampleSource{0, 0, 3, 1, 0, 1.0f}, SampleSource{0, 0, 3, 3, 0, 1.0f},
                                  SampleSource{0, 0, 3, 5, 0, 1.0f}, SampleSource{0, 0, 3, 0, 4, 1.0f},
                                  SampleSource{2, 0, 0, 0, 0, 1.0f}, SampleSource{0, 0, 2, 2, 0, 1.0f}})
    SampleSourceTableAppendSource(&table, src);
  EXPECT_EQ(0u, SampleSourceTableAppendSample(&table, 2));
  EXPECT_EQ((Bytes8{1, 2, 3, 0, 0}), Derive(v2.get(), 2, 0, 3, 1, 0, 1.0f, &table));
  EXPECT_EQ((Bytes8{1, 2, 0, 0, 0}), Derive(v2.get(), 2, 0, 3, 0, 7, 1.0f, &table)) << "a cut as the first part";
  EXPECT_EQ(10u, Derive(v2.get(), 2, 0, 3, 2, 2, 1.0f, &table).value_or(Bytes8{}).size()) << "nested";
  for (auto [a, reason] : std::vector<std::pair<uint32_t, std::string>>{
           {3, "source 3 is a join of itself"}, {4, "source 4 is a join of itself"},  // a cycle through 4 and 5
           {99, "a join names source 99, beyond the 8"}, {6, "a join of an 8-bit and a 16-bit part"}}) {
    EXPECT_FALSE(Derive(v2.get(), 2, 0, 3, a, 0, 1.0f, &table, nullptr, &why)) << a;
    EXPECT_EQ(reason, why);
  }
  EXPECT_FALSE(Derive(v2.get(), 2, 0, 3, 0, 0, 1.0f, nullptr, nullptr, &why)) << "no table";
  EXPECT_EQ("a join needs the song's source table", why);
  // Chains of any depth (deeper than a call stack would take) load, each source made once.
  auto one = StoreOf({{{9, 8, 7, 6}, 8}});
  SampleSourceTable chain, doubling;
  SampleSourceTableAppendSource(&chain, {0, 0, 0, 0, 0, 1.0f});
  for (uint32_t i = 1; i < 100000; ++i) SampleSourceTableAppendSource(&chain, {0, 0, 3, 0, i - 1, 1.0f});
  EXPECT_EQ(4u * 66, Derive(one.get(), 2, 0, 3, 0, 64, 1.0f, &chain).value_or(Bytes8{}).size());
  Bytes8 deep = Derive(one.get(), 2, 0, 3, 0, 99999, 2.0f, &chain).value_or(Bytes8{});
  ASSERT_EQ(4u * 100001, deep.size());
  EXPECT_EQ((Bytes8{9, 8, 7, 6, 0}), Bytes8(deep.begin(), deep.begin() + 5));
  SampleSourceTableAppendSource(&doubling, {0, 0, 1, 0, 0, 1.0f});
  for (uint32_t i = 1; i < 200; ++i) SampleSourceTableAppendSource(&doubling, {0, 0, 3, i - 1, i - 1, 1.0f});
  DerivedSample kept{};
  Bytes8 doubled = Derive(one.get(), 2, 0, 3, 15, 15, 1.0f, &doubling, &kept).value_or(Bytes8{});
  ASSERT_EQ(256u * 1024, doubled.size());
  EXPECT_EQ((Bytes8{6, 7, 8, 9, 0}), Bytes8(doubled.begin(), doubled.begin() + 5));
  EXPECT_EQ(77u, kept.aux32);
  EXPECT_FALSE(Derive(one.get(), 2, 0, 3, 199, 199, 1.0f, &doubling)) << "2^200 bytes are refused before any is made";
}

namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pcm, uint8_t bits, uint8_t channels, int serial = 1) {
  std::vector<uint8_t> ogg;
  std::string error;
  EXPECT_TRUE(EncodeVorbis(pcm, bits, channels, 0.5f, serial, &ogg, &error)) << error;
  return ogg;
}

std::pair<uint32_t, std::vector<uint8_t>> Decode(const std::vector<uint8_t>& coded, int32_t width) {
  StreamOwner out(StreamCreateMemory());
  uint32_t rc = DecodeCodedSample(static_cast<uint32_t>(coded.size()), coded.data(), width, out.get());
  std::vector<uint8_t> bytes(out->base, out->base + out->size);
  // Into a buffer one byte short (a value cut in two for 16 bits): the same bytes, up to it.
  std::vector<uint8_t> into(bytes.size() > 1 ? bytes.size() - 1 : 0);
  uint32_t produced = 1;
  DecodeCodedSampleInto(static_cast<uint32_t>(coded.size()), coded.data(), width, into.data(),
                        static_cast<uint32_t>(into.size()), &produced);
  EXPECT_EQ(into.size(), produced);
  EXPECT_TRUE(std::equal(into.begin(), into.end(), bytes.begin()));
  return {rc, bytes};
}

// Largest difference between two signals of BITS, relative to full scale.
double WorstError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int bits, size_t from = 0) {
  double worst = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size() - from) / (bits / 8); ++i) {
    const uint8_t* p = &a[i * bits / 8];
    const uint8_t* q = &b[from + i * bits / 8];
    double x = bits == 16 ? int16_t(p[0] | p[1] << 8) / 32768.0 : int8_t(p[0]) / 128.0;
    double y = bits == 16 ? int16_t(q[0] | q[1] << 8) / 32768.0 : int8_t(q[0]) / 128.0;
    worst = std::max(worst, std::fabs(x - y));
  }
  return worst;
}

}  // namespace

TEST(CodedSample, DecodesWidthsChainsAndDamage) {
  for (uint8_t channels : {1, 2}) {
    for (uint8_t bits : {8, 16}) {
      const auto pcm = SinePcm(20000, bits, channels, 0.5), ogg = Encode(pcm, bits, channels);
      const auto [rc, decoded] = Decode(ogg, bits);
      EXPECT_EQ(kCodedOk, rc);
      EXPECT_EQ(pcm.size(), decoded.size()) << "exactly the frames put in, channels interleaved";
      EXPECT_LT(WorstError(pcm, decoded, bits), 0.1) << int(channels) << " " << int(bits);
      const int other = bits == 8 ? 16 : 8;
      EXPECT_EQ(pcm.size() / (bits / 8) * (other / 8), Decode(ogg, other).second.size());
    }
  }
  const auto first = SinePcm(9000, 16, 1, 0.3), second = SinePcm(5000, 16, 2, 0.6);
  auto chain = Encode(first, 16, 1, 11);
  const auto more = Encode(second, 16, 2, 22);
  chain.insert(chain.end(), more.begin(), more.end());
  const auto decodedChain = Decode(chain, 16).second;
  ASSERT_EQ(first.size() + second.size(), decodedChain.size());
  EXPECT_LT(WorstError(first, decodedChain, 16), 0.1);
  EXPECT_LT(WorstError(second, decodedChain, 16, first.size()), 0.1);
  // A sine with noise codes into many pages: cut, what came before; damaged pages passed over.
  auto noisy = SinePcm(100000, 16, 1, 0.4);
  uint32_t seed = 12345;
  for (size_t i = 0; i + 1 < noisy.size(); i += 2) {
    seed = seed * 1664525u + 1013904223u;
    int v = int16_t(noisy[i] | noisy[i + 1] << 8) + static_cast<int>(seed >> 20) - 2048;
    noisy[i] = static_cast<uint8_t>(v);
    noisy[i + 1] = static_cast<uint8_t>(v >> 8);
  }
  const auto ogg = Encode(noisy, 16, 1);
  auto [rc, cut] = Decode(std::vector<uint8_t>(ogg.begin(), ogg.begin() + ogg.size() / 2), 16);
  EXPECT_EQ(kCodedOk, rc);
  EXPECT_GT(cut.size(), 0u);
  EXPECT_LT(cut.size(), noisy.size());
  EXPECT_LT(WorstError(cut, noisy, 16), 0.2);
  auto damaged = ogg;
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 200; ++i) damaged[i] ^= 0x5A;
  std::tie(rc, cut) = Decode(damaged, 16);
  EXPECT_EQ(kCodedOk, rc);
  EXPECT_GT(cut.size(), noisy.size() / 3);
  EXPECT_LE(cut.size(), noisy.size());
}

TEST(CodedSample, NonOggDataAndBrokenHeaders) {
  EXPECT_EQ(std::make_pair(kCodedOk, std::vector<uint8_t>()), Decode(std::vector<uint8_t>(100, 0x33), 16));
  EXPECT_EQ(std::make_pair(kCodedError, std::vector<uint8_t>()), Decode(std::vector<uint8_t>(5000, 0x33), 16));
  EXPECT_EQ(kCodedOk, Decode({}, 8).first);
  const auto ogg = Encode(SinePcm(1000, 16, 1), 16, 1);
  EXPECT_EQ(kCodedError, Decode(std::vector<uint8_t>(ogg.begin(), ogg.begin() + 58), 16).first)
      << "the identification header alone";
  // A well-formed Ogg page whose packet is no Vorbis identification header.
  ogg_stream_state os;
  ogg_stream_init(&os, 5);
  unsigned char text[] = "not a vorbis header at all";
  ogg_packet packet{};
  packet.packet = text;
  packet.bytes = sizeof text;
  packet.b_o_s = 1;
  ogg_stream_packetin(&os, &packet);
  ogg_page page;
  std::vector<uint8_t> bad;
  while (ogg_stream_flush(&os, &page)) {
    bad.insert(bad.end(), page.header, page.header + page.header_len);
    bad.insert(bad.end(), page.body, page.body + page.body_len);
  }
  ogg_stream_clear(&os);
  EXPECT_EQ(kCodedError, Decode(bad, 16).first);
}

TEST(CodedSample, ConversionClampsAndPacksPad) {
  std::vector<uint8_t> loud;  // a full-scale square wave: the decoder overshoots
  for (int i = 0; i < 20000; ++i) {
    const int16_t v = (i / 50) % 2 ? 32767 : -32768;
    loud.insert(loud.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(uint16_t(v) >> 8)});
  }
  const auto ogg = Encode(loud, 16, 1);
  const auto wide = Decode(ogg, 16).second, narrow = Decode(ogg, 8).second;
  int lo = 0, hi = 0, lo8 = 0, hi8 = 0;
  for (size_t i = 0; i + 1 < wide.size(); i += 2) {
    lo = std::min<int>(lo, int16_t(wide[i] | wide[i + 1] << 8));
    hi = std::max<int>(hi, int16_t(wide[i] | wide[i + 1] << 8));
  }
  for (uint8_t b : narrow) {
    lo8 = std::min<int>(lo8, int8_t(b));
    hi8 = std::max<int>(hi8, int8_t(b));
  }
  EXPECT_EQ((std::vector<int>{-32768, 32767, -128, 127}), (std::vector<int>{lo, hi, lo8, hi8}));
  // Declared 1000 bytes more than the stream decodes to: zeros appended; fewer: cut.
  const auto pcm = SinePcm(300, 16, 1);
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.ogg = Encode(pcm, 16, 1);
  coded.decodedLength = static_cast<uint32_t>(pcm.size()) + 1000;
  ZspEntry shorter = coded;
  shorter.decodedLength = 100;
  auto store = LoadPack(MakePack({coded, shorter}));
  const SampleRecord& r = store->entries[0];
  ASSERT_EQ(pcm.size() + 1000, r.size);
  EXPECT_EQ(std::vector<uint8_t>(1000, 0), std::vector<uint8_t>(r.data + pcm.size(), r.data + r.size));
  EXPECT_EQ(100u, store->entries[1].size);
  EXPECT_NE(nullptr, store->entries[1].data);
}
