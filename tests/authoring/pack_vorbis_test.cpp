// Vorbis-coded packs: the exported module has the original's size and bytes
// outside the samples, and every sample is close to the original (the
// signal-to-noise ratio is printed).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/module_sets.h"

using namespace zsftest;

namespace {

// Sample values of decoded PCM (8 or 16-bit signed little-endian) at full scale 1.
std::vector<double> Values(const std::vector<uint8_t>& pcm, uint8_t bits) {
  std::vector<double> out;
  if (bits == 16) {
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
      out.push_back(static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8) / 32768.0);
  } else {
    for (uint8_t b : pcm) out.push_back(static_cast<int8_t>(b) / 128.0);
  }
  return out;
}

struct Noise {
  double signal = 0, noise = 0;
  double Snr() const { return noise > 0 ? 10 * std::log10(signal / noise) : 200.0; }
};

zsfpack::PackResult ExpectCloseAfterVorbis(const std::vector<TestModule>& modules, double minimumSnr) {
  zsfpack::PackOptions o;
  o.packName = "coded.zsp";
  o.vorbis = true;
  o.vorbisQuality = 0.5f;
  std::vector<const TestModule*> all;
  for (const TestModule& m : modules) all.push_back(&m);
  zsfpack::PackResult result;
  zsfpack::PackError error;
  EXPECT_TRUE(zsfpack::PackModules(Inputs(all), o, &result, &error)) << error.Text();
  if (result.songs.size() != all.size()) return result;
  zsftest::TempDir dir;
  zsftest::WriteFile(dir.file("coded.zsp"), result.pack);
  for (size_t i = 0; i < all.size(); ++i) {
    const TestModule& m = *all[i];
    SCOPED_TRACE(m.name);
    zsftest::WriteFile(dir.file(result.songs[i].fileName), result.songs[i].bytes);
    int step = -1;
    std::vector<uint8_t> back = Export(dir.file(result.songs[i].fileName), "", &step);
    EXPECT_EQ(step, 0);
    EXPECT_EQ(back.size(), m.expected.size());
    if (back.size() != m.expected.size()) continue;

    uint32_t kind = FileKindOf(m.name);
    zsfmod::ModuleLayout layout;
    std::string reason;
    EXPECT_TRUE(zsfmod::ReadModuleLayout(m.expected, kind, &layout, &reason)) << reason;
    std::vector<bool> inSample(back.size(), false);
    Noise total;
    for (const zsfmod::SampleLayout& s : layout.samples) {
      for (uint32_t b = 0; b < s.bytes; ++b) inSample[s.offset + b] = true;
      std::vector<uint8_t> a, c;
      EXPECT_TRUE(zsfmod::DecodeSample(m.expected, s, &a, &reason)) << reason;
      EXPECT_TRUE(zsfmod::DecodeSample(back, s, &c, &reason)) << reason;
      std::vector<double> x = Values(a, s.bits), y = Values(c, s.bits);
      EXPECT_EQ(x.size(), y.size());
      if (x.size() != y.size()) continue;
      Noise n;
      for (size_t k = 0; k < x.size(); ++k) {
        n.signal += x[k] * x[k];
        n.noise += (x[k] - y[k]) * (x[k] - y[k]);
      }
      total.signal += n.signal;
      total.noise += n.noise;
    }
    for (size_t b = 0; b < back.size(); ++b) {
      if (!inSample[b] && back[b] != m.expected[b]) {
        ADD_FAILURE() << "byte " << b << " outside the samples differs";
        break;
      }
    }
    std::printf("[  SNR     ] %-28s %6.1f dB\n", m.name.c_str(), total.Snr());
    EXPECT_GT(total.Snr(), minimumSnr);
  }
  // Entries whose Vorbis stream would be larger stay raw, so coding never grows
  // the pack beyond its raw size (plus the slot heads).
  EXPECT_LT(result.pack.size(), result.rawSampleBytes + 64 * result.entryCount);
  return result;
}

TEST(PackVorbis, SynthesisedModulesKeepTheirSizeAndSoundClose) {
  // Signed S3M samples stay raw in the pack (their pack bytes are not audio), and
  // so do samples too short to gain from coding.
  zsfpack::PackResult result = ExpectCloseAfterVorbis(SynthModules(), 12.0);
  EXPECT_GT(result.codedEntries, 0u);
  EXPECT_LT(result.codedEntries, result.entryCount);
}

TEST(PackVorbis, RealModulesKeepTheirSizeAndSoundClose) {
  if (RealModules().empty()) GTEST_SKIP() << "no real modules in " << ZSF_SHARED_MODULES;
  zsfpack::PackResult result = ExpectCloseAfterVorbis(RealModules(), 12.0);
  EXPECT_LT(result.pack.size(), result.rawSampleBytes / 2) << "coding makes real music far smaller";
}

TEST(PackVorbis, CodedEntriesNeedAPackThatHasThem) {
  zsfpack::PackOptions o;
  o.packName = "coded.zsp";
  o.vorbis = true;
  o.packMajor = 1;
  o.packMinor = 27;
  zsfpack::PackResult result;
  zsfpack::PackError error;
  EXPECT_FALSE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), o, &result, &error));
  EXPECT_NE(error.reason.find("1.28"), std::string::npos) << error.Text();
  o.packMinor = 28;
  EXPECT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), o, &result, &error)) << error.Text();
}

}  // namespace
