// The module layout readers: every module the synthesiser writes reads back with
// offsets pointing exactly at the bytes written and decodes to the PCM they were made
// from; the plain-PCM rewrite of IT keeps every sample; and malformed modules give an
// error naming what is wrong, never a crash.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "support/module_fields.h"
#include "support/module_sets.h"

using namespace zsftest;
using zsfmod::ModuleLayout;
using zsfmod::SampleLayout;
using zsfsynth::ItStorage;
using zsfsynth::ModuleSpec;
using zsfsynth::ModVariant;

namespace {

bool Compressed(const SampleLayout& s) {
  return s.encoding == SampleLayout::kItCompressed214 || s.encoding == SampleLayout::kItCompressed215;
}

ModuleSpec Storage(ModuleSpec spec, ItStorage to) {
  for (zsfsynth::SampleSpec& s : spec.samples)
    if (s.itStorage == ItStorage::kCompressed214) s.itStorage = to;
  return spec;
}

ModuleSpec Mod(ModVariant variant, uint8_t channels) {
  ModuleSpec spec = WithChannels(zsfsynth::BasicSpec(zsfmod::kKindMod, 5, 3), channels);
  spec.modVariant = variant;
  return spec;
}

// Expects the layout of FILE to be refused with an error containing WHAT.
void ExpectError(const std::vector<uint8_t>& file, uint32_t kind, const std::string& what) {
  ModuleLayout layout;
  std::string error;
  EXPECT_FALSE(zsfmod::ReadModuleLayout(file, kind, &layout, &error)) << "expected: " << what;
  EXPECT_NE(std::string::npos, error.find(what)) << "error was: " << error;
  EXPECT_TRUE(layout.samples.empty());
}

}  // namespace

TEST(ModuleLayout, EverySynthesisedFormatAndSampleKindReadsBack) {
  ModuleSpec s3mSigned = zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2), s3mStereo = zsfsynth::BasicSpec(zsfmod::kKindS3m, 3, 1);
  s3mSigned.s3mSigned = true;
  s3mStereo.samples[1].channels = 2;
  ModuleSpec itStereo = zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1);  // each channel its own block chain
  for (zsfsynth::SampleSpec& s : itStereo.samples) {
    s.channels = 2;
    s.frames = 40000;  // more than one 8-bit block per channel
    s.itStorage = ItStorage::kCompressed215;
  }
  const std::vector<std::tuple<const char*, uint32_t, ModuleSpec>> cases = {
      {"IT sample mode", zsfmod::kKindIt, zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 3)},
      {"IT instruments, 2.14", zsfmod::kKindIt, zsfsynth::ItInstrumentSpec()},
      {"IT instruments, 2.15", zsfmod::kKindIt, Storage(zsfsynth::ItInstrumentSpec(), ItStorage::kCompressed215)},
      {"IT demo", zsfmod::kKindIt, zsfsynth::DemoTuneSpec()},
      {"IT compressed stereo", zsfmod::kKindIt, itStereo},
      {"XM", zsfmod::kKindXm, zsfsynth::BasicSpec(zsfmod::kKindXm, 4, 2)},
      {"XM several samples per instrument", zsfmod::kKindXm, zsfsynth::XmMultiSampleSpec()},
      {"S3M unsigned", zsfmod::kKindS3m, zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2)},
      {"S3M signed", zsfmod::kKindS3m, s3mSigned},
      {"S3M stereo", zsfmod::kKindS3m, s3mStereo},
      {"MOD M.K.", zsfmod::kKindMod, Mod(ModVariant::kMK, 4)},
      {"MOD M!K!", zsfmod::kKindMod, Mod(ModVariant::kMKExclaim, 4)},
      {"MOD FLT4", zsfmod::kKindMod, Mod(ModVariant::kFlt4, 4)},
      {"MOD FLT8", zsfmod::kKindMod, Mod(ModVariant::kFlt8, 8)},
      {"MOD 6CHN", zsfmod::kKindMod, Mod(ModVariant::kChannels, 6)},
      {"MOD 12CH", zsfmod::kKindMod, Mod(ModVariant::kChannels, 12)},
      {"MOD 15 samples", zsfmod::kKindMod, Mod(ModVariant::kFifteen, 4)},
  };
  for (const auto& [name, kind, spec] : cases) {
    SCOPED_TRACE(name);
    zsfsynth::ModuleFile file;
    std::string error;
    ASSERT_TRUE(zsfsynth::WriteModule(spec, kind, &file, &error)) << error;
    ModuleLayout layout;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(file.bytes, kind, &layout, &error)) << error;
    EXPECT_EQ(kind, layout.kind);
    EXPECT_EQ(spec.title, layout.title);
    ASSERT_EQ(file.samples.size(), layout.samples.size());
    for (size_t i = 0; i < file.samples.size(); ++i) {
      const zsfsynth::WrittenSample& w = file.samples[i];
      const SampleLayout& s = layout.samples[i];
      EXPECT_EQ((std::vector<uint32_t>{w.offset, w.bytes, w.frames, w.bits, w.channels, uint32_t(w.pcm.size())}),
                (std::vector<uint32_t>{s.offset, s.bytes, s.frames, s.bits, s.channels, uint32_t(s.pcmBytes())}))
          << "sample " << i;
      std::vector<uint8_t> pcm, stored;
      ASSERT_TRUE(zsfmod::DecodeSample(file.bytes, s, &pcm, &error)) << error;
      EXPECT_EQ(w.pcm, pcm) << "sample " << i;
      if (Compressed(s) || s.channels != 1) continue;  // the plain encodings come back from the PCM
      ASSERT_TRUE(zsfmod::EncodeSample(pcm, s.bits, s.encoding, &stored));
      EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.bytes.begin() + s.offset)) << "sample " << i;
    }
  }
}

TEST(ModuleLayout, PlainPcmRewriteKeepsEverySampleAndMovesWhatFollows) {
  for (ItStorage compressed : {ItStorage::kCompressed214, ItStorage::kCompressed215}) {
    zsfsynth::ModuleFile file;
    std::string error;
    ASSERT_TRUE(zsfsynth::WriteIt(Storage(zsfsynth::ItInstrumentSpec(), compressed), &file, &error)) << error;
    std::vector<uint8_t> plain, again;
    ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(file.bytes, &plain, &error)) << error;
    ModuleLayout layout;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(plain, zsfmod::kKindIt, &layout, &error)) << error;
    ASSERT_EQ(file.samples.size(), layout.samples.size());
    std::vector<bool> mayDiffer(file.samples.front().offset, false);
    for (size_t i = 0; i < layout.samples.size(); ++i) {
      const SampleLayout& s = layout.samples[i];
      EXPECT_EQ(SampleLayout::kSigned, s.encoding);
      EXPECT_EQ(file.samples[i].pcm, std::vector<uint8_t>(plain.begin() + s.offset, plain.begin() + s.offset + s.bytes)) << i;
      // Before the first sample only the headers' flags, conversion and pointers change.
      for (size_t at : {0x12u, 0x2Eu, 0x48u, 0x49u, 0x4Au, 0x4Bu}) mayDiffer[s.headerOffset + at] = true;
    }
    for (size_t k = 0; k < mayDiffer.size(); ++k)
      if (!mayDiffer[k]) { EXPECT_EQ(file.bytes[k], plain[k]) << "byte " << k; }
    ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(plain, &again, &error)) << error;
    EXPECT_EQ(plain, again) << "rewriting again changes nothing";
  }
  // Sample data placed before the patterns: the pattern offsets follow the longer
  // decompressed sample.
  ModuleSpec spec = zsfsynth::BasicSpec(zsfmod::kKindIt, 1, 2);
  spec.samples[0].itStorage = ItStorage::kCompressed214;
  spec.samples[0].wave = zsfsynth::Wave::kSilence;
  spec.samples[0].frames = 5000;
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
  std::vector<uint8_t>& b = file.bytes;
  const size_t sampleTable = kItOrders + b[kItOrderCount], patternTable = sampleTable + 4;
  const uint32_t header = Get32(b, sampleTable), pat0 = Get32(b, patternTable), pat1 = Get32(b, patternTable + 4);
  const uint32_t data = Get32(b, header + 0x48);
  const std::vector<uint8_t> patterns(b.begin() + pat0, b.begin() + data), sample(b.begin() + data, b.end());
  b.resize(pat0);
  b.insert(b.end(), sample.begin(), sample.end());
  b.insert(b.end(), patterns.begin(), patterns.end());
  Put32(&b, header + 0x48, pat0);
  Put32(&b, patternTable, pat0 + static_cast<uint32_t>(sample.size()));
  Put32(&b, patternTable + 4, pat1 + static_cast<uint32_t>(sample.size()));
  std::vector<uint8_t> plain;
  ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(b, &plain, &error)) << error;
  EXPECT_EQ(b.size() + 5000 - sample.size(), plain.size());
  EXPECT_EQ(pat0 + 5000, Get32(plain, patternTable));
  EXPECT_TRUE(std::equal(patterns.begin(), patterns.end(), plain.begin() + pat0 + 5000));
  EXPECT_EQ(pat0, Get32(plain, header + 0x48));
  // Big-endian 16-bit samples (the writer has none: swapped by hand, with the bit set).
  ASSERT_TRUE(zsfsynth::WriteIt(zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1), &file, &error)) << error;
  ModuleLayout layout;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(file.bytes, zsfmod::kKindIt, &layout, &error)) << error;
  const SampleLayout wide = layout.samples[1];
  ASSERT_EQ(16, wide.bits);
  std::vector<uint8_t> big = file.bytes;
  big[wide.headerOffset + 0x2E] |= 2;
  for (uint32_t k = wide.offset; k + 1 < wide.offset + wide.bytes; k += 2) std::swap(big[k], big[k + 1]);
  ASSERT_TRUE(zsfmod::ReadModuleLayout(big, zsfmod::kKindIt, &layout, &error)) << error;
  EXPECT_EQ(SampleLayout::kSignedBigEndian, layout.samples[1].encoding);
  std::vector<uint8_t> pcm;
  ASSERT_TRUE(zsfmod::DecodeSample(big, layout.samples[1], &pcm, &error)) << error;
  EXPECT_EQ(file.samples[1].pcm, pcm);
  ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(big, &plain, &error)) << error;
  EXPECT_EQ(file.bytes, plain) << "same size, so everything else stays in place";
}

TEST(ModuleLayout, EveryTruncationAndEmptyInputIsRefused) {
  ModuleSpec compressedLast = zsfsynth::ItInstrumentSpec();
  std::swap(compressedLast.samples[4], compressedLast.samples[5]);
  const std::pair<std::vector<uint8_t>, uint32_t> files[] = {
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 3, 2), zsfmod::kKindIt), zsfmod::kKindIt},
      {SynthBytes(compressedLast, zsfmod::kKindIt), zsfmod::kKindIt},
      {SynthBytes(zsfsynth::XmMultiSampleSpec(), zsfmod::kKindXm), zsfmod::kKindXm},
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindS3m, 3, 2), zsfmod::kKindS3m), zsfmod::kKindS3m},
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindMod, 3, 2), zsfmod::kKindMod), zsfmod::kKindMod},
  };
  for (const auto& [whole, kind] : files) {
    std::vector<size_t> cuts;  // about 200 cuts spread over the file, and each of its last 8 bytes
    for (size_t n = 0; n < whole.size(); n += whole.size() / 200 + 1) cuts.push_back(n);
    for (size_t k = 1; k <= 8; ++k) cuts.push_back(whole.size() - k);
    for (size_t n : cuts) {
      ModuleLayout layout;
      std::string error;
      EXPECT_FALSE(zsfmod::ReadModuleLayout(std::vector<uint8_t>(whole.begin(), whole.begin() + n), kind, &layout, &error))
          << "kind " << kind << " cut to " << n;
      EXPECT_FALSE(error.empty());
    }
  }
  ExpectError(std::vector<uint8_t>(4000, 0), 4, "unknown module kind 4");
}

TEST(ModuleLayout, AbsurdCountsOffsetsAndImpossibleDataAreNamed) {
  const std::vector<uint8_t> it = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1), zsfmod::kKindIt);
  const size_t sampleTable = kItOrders + it[kItOrderCount], patternTable = sampleTable + 4u * it[kItSampleCount];
  const uint32_t header0 = Get32(it, sampleTable), header1 = Get32(it, sampleTable + 4);
  const std::vector<uint8_t> xm = SynthBytes(zsfsynth::XmMultiSampleSpec(), zsfmod::kKindXm);
  const std::vector<uint8_t> s3m = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindS3m, 2, 1), zsfmod::kKindS3m);
  const std::vector<uint8_t> mod = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindMod, 2, 1), zsfmod::kKindMod);
  ModuleLayout xmLayout, s3mLayout;
  std::string error;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(xm, zsfmod::kKindXm, &xmLayout, &error) &&
              zsfmod::ReadModuleLayout(s3m, zsfmod::kKindS3m, &s3mLayout, &error));
  const size_t xmInstrument = xmLayout.samples[0].headerOffset - 263, s3mHeader = s3mLayout.samples[0].headerOffset;
  const size_t songLength = 20 + 31 * 30;
  struct Case {
    const std::vector<uint8_t>* base;
    uint32_t kind;
    std::function<void(std::vector<uint8_t>*)> change;
    std::string error;
  };
  const Case cases[] = {
      {&it, 0, [](auto* b) { Put16(b, kItSampleCount, 0xFFFF); }, "65535 samples"},
      {&it, 0, [](auto* b) { Put16(b, kItOrderCount, 0); }, "no orders"},
      {&it, 0, [](auto* b) { b->resize(0xC4), Put16(b, kItSampleCount, 200); }, "extend past the end"},
      {&it, 0, [](auto* b) { (*b)[0] = 'X'; }, "IMPM"},
      {&it, 0, [&](auto* b) { (*b)[header1 + 3] = 'X'; }, "IT sample 2: no IMPS signature"},
      {&it, 0, [&](auto* b) { Put32(b, sampleTable, 0x7FFFFFF0); }, "IT sample 1: header offset"},
      {&it, 0, [&](auto* b) { Put32(b, header1 + 0x48, 0xFFFFFFF0); }, "IT sample 2: data offset"},
      {&it, 0, [&](auto* b) { Put32(b, header0 + 0x30, 0x7FFFFFFF); }, "extends past the end of the file"},
      {&it, 0, [&](auto* b) { Put32(b, header1 + 0x48, Get32(*b, header0 + 0x48)); }, "IT samples 1 and 2 share data at"},
      // Found by fuzzing: data lying over other samples' headers, or a pattern inside
      // the offset tables, which the plain-PCM rewrite then changed under them.
      {&it, 0, [&](auto* b) { Put32(b, header0 + 0x48, header1 - 10); }, "lies over the header of sample"},
      {&it, 0, [&](auto* b) { Put32(b, patternTable, 0xC0); }, "pattern 0 at 192 lies inside the header's tables"},
      {&it, 0, [&](auto* b) { Put32(b, patternTable, 0xFFFFFFFF); }, "pattern 0 at 4294967295 extends past the end"},
      {&it, 0, [&](auto* b) { (*b)[header0 + 0x12] |= 8, Put32(b, header0 + 0x30, 0x7FFFFFFF); }, "cannot fit"},
      {&xm, 1, [](auto* b) { Put16(b, 72, 1000); }, "1000 instruments"},
      {&xm, 1, [](auto* b) { Put16(b, 64, 0); }, "0 orders"},
      {&xm, 1, [](auto* b) { Put32(b, 60, 300); }, "header size 300"},
      {&xm, 1, [](auto* b) { Put16(b, 58, 0x0103); }, "version 1.3"},
      {&xm, 1, [](auto* b) { Put32(b, 336, 10); }, "XM pattern 0: header size 10"},
      {&xm, 1, [&](auto* b) { Put16(b, xmInstrument + 27, 300); }, "XM instrument 1: 300 samples"},
      {&xm, 1, [&](auto* b) { Put32(b, xmInstrument + 29, 41); }, "sample header size"},
      {&xm, 1, [&](auto* b) { Put32(b, xmLayout.samples[1].headerOffset, 0xFFFFFFFF); }, "XM sample 2 (instrument 1): data at"},
      {&s3m, 2, [](auto* b) { Put16(b, 0x22, 999); }, "999 instruments"},
      {&s3m, 2, [](auto* b) { (*b)[0x2C] = 'X'; }, "SCRM"},
      {&s3m, 2, [&](auto* b) { (*b)[s3mHeader + 0x0D] = 0x7F; }, "S3M sample 1: data at"},
      {&s3m, 2, [&](auto* b) { Put16(b, s3mHeader + 0x0E, uint16_t(s3mHeader >> 4)); }, "lies over the header of sample 1"},
      {&s3m, 2, [&](auto* b) { (*b)[s3mHeader + 0x1E] = 1; }, "packed"},
      {&s3m, 2, [](auto* b) { Put16(b, 0x60 + Get16(*b, 0x20), 0xFFFF); }, "S3M sample 1: header offset"},
      {&mod, 3, [&](auto* b) { (*b)[songLength] = 0; }, "song length 0"},
      {&mod, 3, [&](auto* b) { (*b)[songLength] = 200; }, "song length 200"},
      {&mod, 3, [&](auto* b) { (*b)[songLength + 2 + 127] = 100; }, "101 patterns extend past the end"},  // unplayed orders count
      {&mod, 3, [](auto* b) { (*b)[1080] = 'X'; }, ""},  // no tag: read as 15 samples, which it is not
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = *c.base;
    c.change(&bytes);
    ExpectError(bytes, c.kind, c.error);
  }
  // A compressed block whose first 9-bit value asks for width 12 reads, but does not decode.
  ModuleSpec spec = zsfsynth::BasicSpec(zsfmod::kKindIt, 1, 1);
  spec.samples[0].frames = 16;
  spec.samples[0].loop = false;
  spec.samples[0].itStorage = ItStorage::kCompressed214;
  zsfsynth::ModuleFile file;
  ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
  std::vector<uint8_t> b(file.bytes.begin(), file.bytes.begin() + file.samples[0].offset);
  b.insert(b.end(), {2, 0, 0x0B, 0x01});
  ModuleLayout layout;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(b, zsfmod::kKindIt, &layout, &error)) << error;
  EXPECT_EQ(4u, layout.samples.at(0).bytes);
  std::vector<uint8_t> pcm, plain;
  EXPECT_FALSE(zsfmod::DecodeSample(b, layout.samples[0], &pcm, &error));
  EXPECT_NE(std::string::npos, error.find("bit width")) << error;
  EXPECT_FALSE(zsfmod::StoreItSamplesAsPlainPcm(b, &plain, &error));
}
