// Vorbis-coded entries: decoding, chained streams, damaged and non-Ogg data.
#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <cmath>
#include <thread>

#include "support/pack_maker.h"
#include "samples/coded_sample.h"

using namespace zsftest;

namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pcm, uint8_t bits, uint8_t channels,
                            int serial = 1) {
  std::vector<uint8_t> ogg;
  std::string error;
  EXPECT_TRUE(EncodeVorbis(pcm, bits, channels, 0.5f, serial, &ogg, &error)) << error;
  return ogg;
}

struct Decoded {
  uint32_t rc;
  std::vector<uint8_t> pcm;
};

Decoded Decode(const std::vector<uint8_t>& coded, int32_t width) {
  StreamPtr out(StreamCreateMemory());
  Decoded d;
  d.rc = DecodeCodedSample(static_cast<uint32_t>(coded.size()), coded.data(), width, out.get());
  d.pcm.assign(out->base, out->base + out->size);
  return d;
}

// Largest difference between two 16-bit (or 8-bit) signals, relative to full scale.
double WorstError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int bits) {
  double worst = 0;
  const size_t n = std::min(a.size(), b.size()) / (bits / 8);
  for (size_t i = 0; i < n; ++i) {
    double x, y;
    if (bits == 16) {
      x = static_cast<int16_t>(a[2 * i] | a[2 * i + 1] << 8) / 32768.0;
      y = static_cast<int16_t>(b[2 * i] | b[2 * i + 1] << 8) / 32768.0;
    } else {
      x = static_cast<int8_t>(a[i]) / 128.0;
      y = static_cast<int8_t>(b[i]) / 128.0;
    }
    worst = std::max(worst, std::fabs(x - y));
  }
  return worst;
}

// A sine with noise on it: it codes into many pages, unlike a pure tone.
std::vector<uint8_t> NoisyPcm(size_t frames) {
  auto pcm = SinePcm(frames, 16, 1, 0.4);
  uint32_t seed = 12345;
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    seed = seed * 1664525u + 1013904223u;
    int v = static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8) + static_cast<int>(seed >> 20) - 2048;
    pcm[i] = static_cast<uint8_t>(v);
    pcm[i + 1] = static_cast<uint8_t>(v >> 8);
  }
  return pcm;
}

}  // namespace

TEST(CodedSample, MonoAndStereoAtBothWidths) {
  for (uint8_t channels : {1, 2}) {
    for (uint8_t bits : {8, 16}) {
      SCOPED_TRACE(testing::Message() << int(channels) << " ch " << int(bits) << " bit");
      const auto pcm = SinePcm(20000, bits, channels, 0.5);
      const auto ogg = Encode(pcm, bits, channels);
      const auto d = Decode(ogg, bits);
      EXPECT_EQ(d.rc, kCodedOk);
      // Exactly the frames put in, bits/8 bytes per value, channels interleaved.
      EXPECT_EQ(d.pcm.size(), pcm.size());
      EXPECT_LT(WorstError(d.pcm, pcm, bits), 0.1);
      // The other width gives the same frames at its own size.
      const int other = bits == 8 ? 16 : 8;
      EXPECT_EQ(Decode(ogg, other).pcm.size(), pcm.size() / (bits / 8) * (other / 8));
    }
  }
}

TEST(CodedSample, ChainedStreamsDecodeOneAfterTheOther) {
  const auto first = SinePcm(9000, 16, 1, 0.3);
  const auto second = SinePcm(5000, 16, 2, 0.6);
  auto ogg = Encode(first, 16, 1, 11);
  const auto more = Encode(second, 16, 2, 22);
  ogg.insert(ogg.end(), more.begin(), more.end());
  const auto d = Decode(ogg, 16);
  EXPECT_EQ(d.rc, kCodedOk);
  ASSERT_EQ(d.pcm.size(), first.size() + second.size());
  EXPECT_LT(WorstError(std::vector<uint8_t>(d.pcm.begin(), d.pcm.begin() + first.size()), first, 16), 0.1);
  EXPECT_LT(WorstError(std::vector<uint8_t>(d.pcm.begin() + first.size(), d.pcm.end()), second, 16), 0.1);
}

TEST(CodedSample, CutOrDamagedStreamsKeepWhatDecodes) {
  const auto pcm = NoisyPcm(100000);
  const auto ogg = Encode(pcm, 16, 1);
  ASSERT_GT(ogg.size(), 20000u);
  // Cut in the middle: what came before.
  auto d = Decode(std::vector<uint8_t>(ogg.begin(), ogg.begin() + ogg.size() / 2), 16);
  EXPECT_EQ(d.rc, kCodedOk);
  EXPECT_GT(d.pcm.size(), 0u);
  EXPECT_LT(d.pcm.size(), pcm.size());
  EXPECT_LT(WorstError(d.pcm, pcm, 16), 0.2);
  // Damaged pages are passed over.
  auto damaged = ogg;
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 200; ++i) damaged[i] ^= 0x5A;
  d = Decode(damaged, 16);
  EXPECT_EQ(d.rc, kCodedOk);
  EXPECT_GT(d.pcm.size(), pcm.size() / 3);
  EXPECT_LE(d.pcm.size(), pcm.size());
}

TEST(CodedSample, NonOggData) {
  const std::vector<uint8_t> small(100, 0x33), large(5000, 0x33);
  auto d = Decode(small, 16);
  EXPECT_EQ(d.rc, kCodedOk);
  EXPECT_TRUE(d.pcm.empty());
  d = Decode(large, 16);
  EXPECT_EQ(d.rc, kCodedError);
  EXPECT_TRUE(d.pcm.empty());
  d = Decode({}, 8);
  EXPECT_EQ(d.rc, kCodedOk);
}

TEST(CodedSample, HeadersThatEndEarlyFail) {
  const auto ogg = Encode(SinePcm(1000, 16, 1), 16, 1);
  // Only the first page (the identification header): the other headers are missing.
  const std::vector<uint8_t> first(ogg.begin(), ogg.begin() + 58);
  EXPECT_EQ(Decode(first, 16).rc, kCodedError);
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
  EXPECT_EQ(Decode(bad, 16).rc, kCodedError);
}

TEST(CodedSample, ConversionTruncatesAndClamps) {
  // Full-scale and beyond: a square wave at 1.5 clamps to the width's extremes.
  std::vector<uint8_t> loud;
  for (int i = 0; i < 20000; ++i) {
    const int16_t v = (i / 50) % 2 ? 32767 : -32768;
    loud.push_back(static_cast<uint8_t>(v));
    loud.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
  }
  const auto ogg = Encode(loud, 16, 1);
  const auto wide = Decode(ogg, 16);
  const auto narrow = Decode(ogg, 8);
  int16_t lo = 0, hi = 0;
  for (size_t i = 0; i + 1 < wide.pcm.size(); i += 2) {
    const int16_t v = static_cast<int16_t>(wide.pcm[i] | wide.pcm[i + 1] << 8);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_EQ(hi, 32767);
  EXPECT_EQ(lo, -32768);
  int8_t lo8 = 0, hi8 = 0;
  for (uint8_t b : narrow.pcm) {
    lo8 = std::min(lo8, static_cast<int8_t>(b));
    hi8 = std::max(hi8, static_cast<int8_t>(b));
  }
  EXPECT_EQ(hi8, 127);
  EXPECT_EQ(lo8, -128);
}

TEST(CodedSample, TwoThreadsDecodeAtOnce) {
  const auto pcm = SinePcm(40000, 16, 2, 0.5);
  const auto ogg = Encode(pcm, 16, 2);
  const auto reference = Decode(ogg, 16).pcm;
  Decoded a, b;
  std::thread t1([&] { a = Decode(ogg, 16); });
  std::thread t2([&] { b = Decode(ogg, 16); });
  t1.join();
  t2.join();
  EXPECT_EQ(a.pcm, reference);
  EXPECT_EQ(b.pcm, reference);
}

TEST(CodedSample, PackPadsShortDecodesWithZeros) {
  // Declared 1000 more bytes than the stream decodes to: zeros appended.
  const auto pcm = SinePcm(300, 16, 1);
  ZspEntry coded;
  coded.kind = ZspEntry::Kind::Coded;
  coded.ogg = Encode(pcm, 16, 1);
  coded.decodedLength = static_cast<uint32_t>(pcm.size()) + 1000;
  coded.bits = 16;
  ZspEntry shorter = coded;
  shorter.decodedLength = 100;  // fewer than decoded: the surplus stays beyond size
  auto store = LoadPack(MakePack({coded, shorter}, ZspWriteOptions{}));
  const SampleRecord& r = store->entries[0];
  ASSERT_EQ(r.size, pcm.size() + 1000);
  ASSERT_NE(r.data, nullptr);
  for (uint32_t i = static_cast<uint32_t>(pcm.size()); i < r.size; ++i) ASSERT_EQ(r.data[i], 0) << i;
  EXPECT_EQ(store->entries[1].size, 100u);
  EXPECT_NE(store->entries[1].data, nullptr);
}
