// Malformed modules give an error naming what is wrong, never a crash: every
// truncation of a valid module, absurd counts, offsets outside the file,
// overlapping samples and impossible compressed data.
#include <gtest/gtest.h>

#include "support/module_sets.h"
#include "support/module_fields.h"
#include "tools/modules/module_layout.h"
#include "tools/synth/module_synth.h"

namespace {

using zsfmod::ModuleLayout;
using zsfmod::SampleLayout;
using namespace zsftest;

// Expects ReadModuleLayout to fail with an error containing WHAT.
void ExpectError(const std::vector<uint8_t>& file, uint32_t kind, const std::string& what) {
  ModuleLayout layout;
  std::string error;
  EXPECT_FALSE(zsfmod::ReadModuleLayout(file, kind, &layout, &error)) << "expected: " << what;
  EXPECT_NE(error.find(what), std::string::npos) << "error was: " << error;
  EXPECT_TRUE(layout.samples.empty());
}

TEST(MalformedModulesLayout, EveryTruncationIsRefused) {
  zsfsynth::ModuleSpec compressed = zsfsynth::ItInstrumentSpec();
  std::swap(compressed.samples[4], compressed.samples[5]);  // a compressed sample last
  const std::pair<std::vector<uint8_t>, uint32_t> files[] = {
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 3, 2), zsfmod::kKindIt), zsfmod::kKindIt},
      {SynthBytes(compressed, zsfmod::kKindIt), zsfmod::kKindIt},
      {SynthBytes(zsfsynth::XmMultiSampleSpec(), zsfmod::kKindXm), zsfmod::kKindXm},
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindS3m, 3, 2), zsfmod::kKindS3m), zsfmod::kKindS3m},
      {SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindMod, 3, 2), zsfmod::kKindMod), zsfmod::kKindMod},
  };
  for (const auto& f : files) {
    ModuleLayout layout;
    std::string error;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(f.first, f.second, &layout, &error)) << error;
    // About 200 cuts spread over the file, and each of its last 8 bytes.
    std::vector<size_t> cuts;
    for (size_t n = 0; n < f.first.size(); n += f.first.size() / 200 + 1) cuts.push_back(n);
    for (size_t k = 1; k <= 8; ++k) cuts.push_back(f.first.size() - k);
    for (size_t n : cuts) {
      std::vector<uint8_t> cut(f.first.begin(), f.first.begin() + n);
      error.clear();
      EXPECT_FALSE(zsfmod::ReadModuleLayout(cut, f.second, &layout, &error))
          << "kind " << f.second << " cut to " << n;
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(MalformedModulesLayout, ItAbsurdCountsAndOffsets) {
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1), zsfmod::kKindIt);
  std::vector<uint8_t> b = good;
  Put16(&b, 0x24, 0xFFFF);
  ExpectError(b, zsfmod::kKindIt, "65535 samples");
  b = good;
  Put16(&b, 0x20, 0);
  ExpectError(b, zsfmod::kKindIt, "no orders");
  b = std::vector<uint8_t>(good.begin(), good.begin() + 0xC4);
  Put16(&b, 0x24, 200);
  ExpectError(b, zsfmod::kKindIt, "extend past the end");
  b = good;
  b[0] = 'X';
  ExpectError(b, zsfmod::kKindIt, "IMPM");

  const size_t sampleTable = 0xC0 + good[0x20];
  const uint32_t header0 = Get32(good, sampleTable), header1 = Get32(good, sampleTable + 4);
  b = good;
  Put32(&b, sampleTable, 0x7FFFFFF0);
  ExpectError(b, zsfmod::kKindIt, "IT sample 1: header offset");
  b = good;
  Put32(&b, header1 + 0x48, 0xFFFFFFF0);
  ExpectError(b, zsfmod::kKindIt, "IT sample 2: data offset");
  b = good;
  Put32(&b, header0 + 0x30, 0x7FFFFFFF);
  ExpectError(b, zsfmod::kKindIt, "extends past the end of the file");
  b = good;
  Put32(&b, header1 + 0x48, Get32(good, header0 + 0x48));
  ExpectError(b, zsfmod::kKindIt, "share data");
  // Found by fuzzing: signed data lying over other samples' headers, which the
  // plain-PCM rewrite then changed under that sample.
  b = good;
  Put32(&b, header0 + 0x48, header1 - 10);
  ExpectError(b, zsfmod::kKindIt, "lies over the header of sample");
  // Found by fuzzing: a pattern inside the offset tables, which the rewrite of those
  // tables then changed.
  b = good;
  Put32(&b, sampleTable + 4u * good[0x24], 0xC0);
  ExpectError(b, zsfmod::kKindIt, "pattern 0 at 192 lies inside the header's tables");
  Put32(&b, sampleTable + 4u * good[0x24], 0xFFFFFFFF);
  ExpectError(b, zsfmod::kKindIt, "pattern 0 at 4294967295 extends past the end");
  b = good;
  b[header0 + 0x12] |= 8;  // claims compression
  Put32(&b, header0 + 0x30, 0x7FFFFFFF);
  ExpectError(b, zsfmod::kKindIt, "cannot fit");
}

TEST(MalformedModulesLayout, ItImpossibleCompressedDataFailsToDecode) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(zsfmod::kKindIt, 1, 1);
  spec.samples[0].frames = 16;
  spec.samples[0].loop = false;
  spec.samples[0].itStorage = zsfsynth::ItStorage::kCompressed214;
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(spec, &file, &error)) << error;
  // One block of two bytes whose first 9-bit value asks for width 12.
  std::vector<uint8_t> b(file.bytes.begin(), file.bytes.begin() + file.samples[0].offset);
  const uint8_t block[] = {2, 0, 0x0B, 0x01};
  b.insert(b.end(), block, block + 4);
  ModuleLayout layout;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(b, zsfmod::kKindIt, &layout, &error)) << error;
  ASSERT_EQ(layout.samples.size(), 1u);
  EXPECT_EQ(layout.samples[0].bytes, 4u);
  std::vector<uint8_t> pcm;
  EXPECT_FALSE(zsfmod::DecodeSample(b, layout.samples[0], &pcm, &error));
  EXPECT_NE(error.find("bit width"), std::string::npos) << error;
  std::vector<uint8_t> plain;
  EXPECT_FALSE(zsfmod::StoreItSamplesAsPlainPcm(b, &plain, &error));
}

TEST(MalformedModulesLayout, XmAbsurdCountsAndSizes) {
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::XmMultiSampleSpec(), zsfmod::kKindXm);
  std::vector<uint8_t> b = good;
  Put16(&b, 72, 1000);
  ExpectError(b, zsfmod::kKindXm, "1000 instruments");
  b = good;
  Put16(&b, 64, 0);
  ExpectError(b, zsfmod::kKindXm, "0 orders");
  b = good;
  Put32(&b, 60, 300);
  ExpectError(b, zsfmod::kKindXm, "header size 300");
  b = good;
  Put16(&b, 58, 0x0103);
  ExpectError(b, zsfmod::kKindXm, "version 1.3");
  b = good;
  Put32(&b, 336, 10);
  ExpectError(b, zsfmod::kKindXm, "XM pattern 0: header size 10");

  // The first instrument: behind the patterns.
  ModuleLayout layout;
  std::string error;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(good, zsfmod::kKindXm, &layout, &error)) << error;
  const size_t instrument = layout.samples[0].headerOffset - 263;
  b = good;
  Put16(&b, instrument + 27, 300);
  ExpectError(b, zsfmod::kKindXm, "XM instrument 1: 300 samples");
  b = good;
  Put32(&b, instrument + 29, 41);
  ExpectError(b, zsfmod::kKindXm, "sample header size");
  b = good;
  Put32(&b, layout.samples[1].headerOffset, 0xFFFFFFFF);
  ExpectError(b, zsfmod::kKindXm, "XM sample 2 (instrument 1): data at");
}

TEST(MalformedModulesLayout, S3mAbsurdCountsAndPointers) {
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindS3m, 2, 1), zsfmod::kKindS3m);
  std::vector<uint8_t> b = good;
  Put16(&b, 0x22, 999);
  ExpectError(b, zsfmod::kKindS3m, "999 instruments");
  b = good;
  b[0x2C] = 'X';
  ExpectError(b, zsfmod::kKindS3m, "SCRM");
  ModuleLayout layout;
  std::string error;
  ASSERT_TRUE(zsfmod::ReadModuleLayout(good, zsfmod::kKindS3m, &layout, &error)) << error;
  const size_t header = layout.samples[0].headerOffset;
  b = good;
  b[header + 0x0D] = 0x7F;  // memseg high byte: far beyond the file
  ExpectError(b, zsfmod::kKindS3m, "S3M sample 1: data at");
  b = good;
  Put16(&b, header + 0x0E, static_cast<uint16_t>(header >> 4));  // data over its own header
  ExpectError(b, zsfmod::kKindS3m, "lies over the header of sample 1");
  b = good;
  b[header + 0x1E] = 1;
  ExpectError(b, zsfmod::kKindS3m, "packed");
  b = good;
  const size_t paraTable = 0x60 + (good[0x20] | good[0x21] << 8);  // behind the orders
  Put16(&b, paraTable, 0xFFFF);
  ExpectError(b, zsfmod::kKindS3m, "S3M sample 1: header offset");
}

TEST(MalformedModulesLayout, ModSongLengthAndPatterns) {
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindMod, 2, 1), zsfmod::kKindMod);
  const size_t songLength = 20 + 31 * 30;
  std::vector<uint8_t> b = good;
  b[songLength] = 0;
  ExpectError(b, zsfmod::kKindMod, "song length 0");
  b = good;
  b[songLength] = 200;
  ExpectError(b, zsfmod::kKindMod, "song length 200");
  b = good;
  b[songLength + 2 + 127] = 100;  // an unplayed order still counts
  ExpectError(b, zsfmod::kKindMod, "101 patterns extend past the end");
  b = good;
  b[1080] = 'X';  // no tag: read as 15 samples, which this file is not
  ModuleLayout layout;
  std::string error;
  EXPECT_FALSE(zsfmod::ReadModuleLayout(b, zsfmod::kKindMod, &layout, &error));
  EXPECT_FALSE(error.empty());
}

TEST(MalformedModulesLayout, EmptyInputsAndUnknownKinds) {
  const std::vector<uint8_t> empty;
  for (uint32_t kind = 0; kind < 4; ++kind) {
    ModuleLayout layout;
    std::string error;
    EXPECT_FALSE(zsfmod::ReadModuleLayout(empty, kind, &layout, &error));
    EXPECT_FALSE(error.empty());
  }
  ExpectError(std::vector<uint8_t>(4000, 0), 4, "unknown module kind 4");
  // Random-looking bytes of each size never crash.
  std::vector<uint8_t> junk(3000);
  uint32_t x = 1;
  for (uint8_t& v : junk) v = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  for (uint32_t kind = 0; kind < 4; ++kind) {
    ModuleLayout layout;
    std::string error;
    if (zsfmod::ReadModuleLayout(junk, kind, &layout, &error)) {
      for (const SampleLayout& s : layout.samples) {
        std::vector<uint8_t> pcm;
        zsfmod::DecodeSample(junk, s, &pcm, &error);
      }
    }
  }
}

}  // namespace
