// Every module the synthesiser writes reads back through the layout readers: the
// offsets point exactly at the bytes written, and decoding gives back the PCM the
// samples were generated from.
#include <gtest/gtest.h>

#include "support/module_sets.h"
#include "tools/modules/module_layout.h"
#include "tools/synth/module_synth.h"

namespace {

using zsfmod::ModuleLayout;
using zsfmod::SampleLayout;
using zsfsynth::ModuleFile;
using zsfsynth::ModuleSpec;

struct Case {
  std::string name;
  uint32_t kind;
  ModuleSpec spec;
};

// Writes SPEC, reads it back and checks every sample against what was written.
void ExpectRoundTrip(const Case& c) {
  SCOPED_TRACE(c.name);
  ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteModule(c.spec, c.kind, &file, &error)) << error;
  ModuleLayout layout;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(file.bytes, c.kind, &layout, &error)) << error;
  EXPECT_EQ(layout.kind, c.kind);
  EXPECT_EQ(layout.title, c.spec.title);
  ASSERT_EQ(layout.samples.size(), file.samples.size());
  for (size_t i = 0; i < file.samples.size(); ++i) {
    SCOPED_TRACE("sample " + std::to_string(i));
    const zsfsynth::WrittenSample& w = file.samples[i];
    const SampleLayout& s = layout.samples[i];
    EXPECT_EQ(s.offset, w.offset);
    EXPECT_EQ(s.bytes, w.bytes);
    EXPECT_EQ(s.frames, w.frames);
    EXPECT_EQ(s.bits, w.bits);
    EXPECT_EQ(s.channels, w.channels);
    EXPECT_EQ(s.pcmBytes(), w.pcm.size());
    std::vector<uint8_t> pcm;
    ASSERT_TRUE(zsfmod::DecodeSample(file.bytes, s, &pcm, &error)) << error;
    EXPECT_EQ(pcm, w.pcm);
    // The plain encodings come back byte for byte from the PCM (the rebuild's way).
    if (s.encoding != SampleLayout::kItCompressed214 &&
        s.encoding != SampleLayout::kItCompressed215 && s.channels == 1) {
      std::vector<uint8_t> stored;
      ASSERT_TRUE(zsfmod::EncodeSample(pcm, s.bits, s.encoding, &stored));
      EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.bytes.begin() + s.offset));
    }
  }
}

ModuleSpec WithSampleStorage(ModuleSpec spec, zsfsynth::ItStorage from, zsfsynth::ItStorage to) {
  for (zsfsynth::SampleSpec& s : spec.samples)
    if (s.itStorage == from) s.itStorage = to;
  return spec;
}

ModuleSpec Mod(zsfsynth::ModVariant variant, uint8_t channels) {
  ModuleSpec spec = zsftest::WithChannels(zsfsynth::BasicSpec(zsfmod::kKindMod, 5, 3), channels);
  spec.modVariant = variant;
  return spec;
}

TEST(SynthLayoutRoundTrip, EveryFormatAndSampleKind) {
  using zsfsynth::ItStorage;
  using zsfsynth::ModVariant;
  ModuleSpec s3mSigned = zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2);
  s3mSigned.s3mSigned = true;
  // Compressed stereo: each channel its own block chain.
  ModuleSpec itStereoCompressed = zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1);
  for (zsfsynth::SampleSpec& s : itStereoCompressed.samples) {
    s.channels = 2;
    s.frames = 40000;  // more than one 8-bit block per channel
    s.itStorage = ItStorage::kCompressed215;
  }
  ModuleSpec s3mStereo = zsfsynth::BasicSpec(zsfmod::kKindS3m, 3, 1);
  s3mStereo.samples[1].channels = 2;
  const std::vector<Case> cases = {
      {"IT sample mode", zsfmod::kKindIt, zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 3)},
      {"IT instruments, 2.14", zsfmod::kKindIt, zsfsynth::ItInstrumentSpec()},
      {"IT instruments, 2.15", zsfmod::kKindIt,
       WithSampleStorage(zsfsynth::ItInstrumentSpec(), ItStorage::kCompressed214,
                         ItStorage::kCompressed215)},
      {"IT demo", zsfmod::kKindIt, zsfsynth::DemoTuneSpec()},
      {"IT compressed stereo", zsfmod::kKindIt, itStereoCompressed},
      {"XM one sample per instrument", zsfmod::kKindXm, zsfsynth::BasicSpec(zsfmod::kKindXm, 4, 2)},
      {"XM several samples per instrument", zsfmod::kKindXm, zsfsynth::XmMultiSampleSpec()},
      {"S3M unsigned", zsfmod::kKindS3m, zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2)},
      {"S3M signed", zsfmod::kKindS3m, s3mSigned},
      {"S3M stereo", zsfmod::kKindS3m, s3mStereo},
      {"MOD M.K.", zsfmod::kKindMod, Mod(ModVariant::kMK, 4)},
      {"MOD M!K!", zsfmod::kKindMod, Mod(ModVariant::kMKExclaim, 4)},
      {"MOD FLT4", zsfmod::kKindMod, Mod(ModVariant::kFlt4, 4)},
      {"MOD FLT8", zsfmod::kKindMod, Mod(ModVariant::kFlt8, 8)},
      {"MOD 6CHN", zsfmod::kKindMod, Mod(ModVariant::kChannels, 6)},
      {"MOD 8CHN", zsfmod::kKindMod, Mod(ModVariant::kChannels, 8)},
      {"MOD 12CH", zsfmod::kKindMod, Mod(ModVariant::kChannels, 12)},
      {"MOD 15 samples", zsfmod::kKindMod, Mod(ModVariant::kFifteen, 4)},
  };
  for (const Case& c : cases) ExpectRoundTrip(c);
}

TEST(SynthLayoutRoundTrip, PlainPcmRewriteKeepsEverySampleAndOffset) {
  using zsfsynth::ItStorage;
  for (ItStorage compressed : {ItStorage::kCompressed214, ItStorage::kCompressed215}) {
    ModuleSpec spec = WithSampleStorage(zsfsynth::ItInstrumentSpec(), ItStorage::kCompressed214, compressed);
    ModuleFile file;
    std::string error;
    ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
    std::vector<uint8_t> plain;
    ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(file.bytes, &plain, &error)) << error;
    ModuleLayout layout;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(plain, zsfmod::kKindIt, &layout, &error)) << error;
    ASSERT_EQ(layout.samples.size(), file.samples.size());
    for (size_t i = 0; i < layout.samples.size(); ++i) {
      const SampleLayout& s = layout.samples[i];
      EXPECT_EQ(s.encoding, SampleLayout::kSigned);
      EXPECT_EQ(s.bytes, s.pcmBytes());
      std::vector<uint8_t> stored(plain.begin() + s.offset, plain.begin() + s.offset + s.bytes);
      EXPECT_EQ(stored, file.samples[i].pcm) << "sample " << i;
    }
    // What precedes the first sample's data (header, instruments, sample headers,
    // patterns) differs only in the sample headers' flags, conversion bytes and
    // data pointers.
    std::vector<bool> mayDiffer(file.samples.front().offset, false);
    for (const SampleLayout& h : layout.samples)
      for (size_t at : {h.headerOffset + 0x12u, h.headerOffset + 0x2Eu, h.headerOffset + 0x48u,
                        h.headerOffset + 0x49u, h.headerOffset + 0x4Au, h.headerOffset + 0x4Bu})
        mayDiffer[at] = true;
    for (size_t k = 0; k < mayDiffer.size(); ++k) {
      if (!mayDiffer[k]) {
        EXPECT_EQ(file.bytes[k], plain[k]) << "byte " << k;
      }
    }
    // Rewriting again changes nothing.
    std::vector<uint8_t> again;
    ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(plain, &again, &error)) << error;
    EXPECT_EQ(again, plain);
  }
}

TEST(SynthLayoutRoundTrip, PlainPcmRewriteMovesPartsBehindTheSample) {
  // Sample data placed before the patterns: the pattern offsets must follow the
  // decompressed sample, which is longer than its compressed form.
  ModuleSpec spec = zsfsynth::BasicSpec(zsfmod::kKindIt, 1, 2);
  spec.samples[0].itStorage = zsfsynth::ItStorage::kCompressed214;
  spec.samples[0].wave = zsfsynth::Wave::kSilence;
  spec.samples[0].frames = 5000;
  ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
  // Swap the places of the sample data and the patterns, fixing the offsets.
  std::vector<uint8_t>& b = file.bytes;
  auto u32 = [&b](size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
  };
  auto put = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const size_t ordNum = b[0x20];
  const size_t sampleTable = 0xC0 + ordNum, patternTable = sampleTable + 4;
  const uint32_t header = u32(sampleTable), pat0 = u32(patternTable), pat1 = u32(patternTable + 4);
  const uint32_t data = u32(header + 0x48);
  std::vector<uint8_t> patterns(b.begin() + pat0, b.begin() + data);
  std::vector<uint8_t> sample(b.begin() + data, b.end());
  b.resize(pat0);
  b.insert(b.end(), sample.begin(), sample.end());
  b.insert(b.end(), patterns.begin(), patterns.end());
  put(header + 0x48, pat0);
  put(patternTable, pat0 + static_cast<uint32_t>(sample.size()));
  put(patternTable + 4, pat1 + static_cast<uint32_t>(sample.size()));

  std::vector<uint8_t> plain;
  ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(b, &plain, &error)) << error;
  const uint32_t grown = 5000 - static_cast<uint32_t>(sample.size());
  EXPECT_EQ(plain.size(), b.size() + grown);
  std::vector<uint8_t>& p = plain;
  auto pu32 = [&p](size_t at) {
    return static_cast<uint32_t>(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | p[at + 3] << 24);
  };
  EXPECT_EQ(pu32(patternTable), pat0 + 5000);
  const uint32_t newPat0 = pu32(patternTable);
  EXPECT_TRUE(std::equal(patterns.begin(), patterns.end(), plain.begin() + newPat0));
  EXPECT_EQ(pu32(header + 0x48), pat0);
}

TEST(SynthLayoutRoundTrip, BigEndianItSamplesDecodeAndRewrite) {
  // The writer has no big-endian storage: swap a 16-bit sample's words by hand
  // and set the conversion bit that says so.
  ModuleSpec spec = zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1);
  ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
  ModuleLayout layout;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(file.bytes, zsfmod::kKindIt, &layout, &error)) << error;
  const SampleLayout wide = layout.samples[1];
  ASSERT_EQ(wide.bits, 16);
  std::vector<uint8_t> b = file.bytes;
  b[wide.headerOffset + 0x2E] |= 2;
  for (uint32_t k = wide.offset; k + 1 < wide.offset + wide.bytes; k += 2) std::swap(b[k], b[k + 1]);
  ASSERT_TRUE(zsfmod::ReadModuleLayout(b, zsfmod::kKindIt, &layout, &error)) << error;
  EXPECT_EQ(layout.samples[1].encoding, SampleLayout::kSignedBigEndian);
  std::vector<uint8_t> pcm;
  ASSERT_TRUE(zsfmod::DecodeSample(b, layout.samples[1], &pcm, &error)) << error;
  EXPECT_EQ(pcm, file.samples[1].pcm);
  std::vector<uint8_t> plain;
  ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(b, &plain, &error)) << error;
  EXPECT_EQ(plain, file.bytes);  // same size, so everything else stays in place
}

TEST(SynthLayoutRoundTrip, WritersRefuseWhatTheFormatCannotHold) {
  ModuleFile out;
  std::string error;
  ModuleSpec mod = zsfsynth::BasicSpec(zsfmod::kKindMod, 2, 1);
  mod.samples[0].bits = 16;
  EXPECT_FALSE(zsfsynth::WriteMod(mod, &out, &error));
  EXPECT_NE(error.find("8-bit"), std::string::npos) << error;

  ModuleSpec mixed = zsfsynth::ItInstrumentSpec();
  mixed.samples[2].itStorage = zsfsynth::ItStorage::kCompressed215;
  EXPECT_FALSE(zsfsynth::WriteIt(mixed, &out, &error));
  EXPECT_NE(error.find("2.14 and 2.15"), std::string::npos) << error;

  ModuleSpec stereoXm = zsfsynth::BasicSpec(zsfmod::kKindXm, 2, 1);
  stereoXm.samples[0].channels = 2;
  EXPECT_FALSE(zsfsynth::WriteXm(stereoXm, &out, &error));

  ModuleSpec badOrder = zsfsynth::BasicSpec(zsfmod::kKindS3m, 1, 1);
  badOrder.orders.push_back(7);
  EXPECT_FALSE(zsfsynth::WriteS3m(badOrder, &out, &error));
  EXPECT_NE(error.find("pattern 7"), std::string::npos) << error;
  EXPECT_FALSE(zsfsynth::WriteModule(badOrder, 9, &out, &error));
}

}  // namespace
