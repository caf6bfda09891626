// The module image rebuild: placement of samples at their offsets, the stored
// sample forms of each module kind, and the failures of the described algorithm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "container/image_assembly.h"
#include "container/module_format.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

// The rebuild as described, one whole copy per inserted sample: the reference the
// one-pass assembly must match byte for byte.
bool ReferenceRebuild(std::vector<uint8_t> image, const std::vector<std::vector<uint8_t>>& samples,
                      const std::vector<uint32_t>& offsets, uint8_t major, std::vector<uint8_t>* out) {
  for (size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].empty()) {
      if (major >= 2) return false;
      continue;
    }
    if (offsets[i] > image.size() || image.size() - offsets[i] < 4) return false;
    std::vector<uint8_t> next(image.begin(), image.begin() + offsets[i]);
    next.insert(next.end(), samples[i].begin(), samples[i].end());
    next.insert(next.end(), image.begin() + offsets[i] + 4, image.end());
    image.swap(next);
  }
  *out = image;
  return true;
}

std::vector<uint8_t> RebuildOf(uint8_t major, const char* extension, const std::vector<uint8_t>& structure,
                               const std::vector<TestSample>& samples, uint32_t* result) {
  Song song;
  EXPECT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(major, major >= 2 ? 2 : 19, extension, structure, samples)),
                               MakePack(samples)));
  return Rebuild(&song, result);
}

std::vector<uint8_t> SampleBytesAt(const std::vector<uint8_t>& image, size_t at, size_t n) {
  return std::vector<uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(at),
                              image.begin() + static_cast<std::ptrdiff_t>(at + n));
}

}  // namespace

TEST(ModuleRebuild, SamplesReplaceThePlaceholdersAtTheirOffsets) {
  const std::vector<uint8_t> structure = Ramp(300);
  const std::vector<TestSample> samples = {{Ramp(50, 100), 8, 100}, {Ramp(8, 200), 8, 260}};
  for (uint8_t major : {1, 2}) {
    uint32_t result = 1;
    std::vector<uint8_t> image = RebuildOf(major, ".IT", structure, samples, &result);
    ASSERT_EQ(0u, result);
    ASSERT_EQ(350u, image.size());
    EXPECT_EQ(samples[0].pcm, SampleBytesAt(image, 100, 50));
    EXPECT_EQ(samples[1].pcm, SampleBytesAt(image, 260, 8));
    // Around them the structure comes back with the bytes at 100..103 and 214..217 gone.
    EXPECT_EQ(SampleBytesAt(structure, 0, 100), SampleBytesAt(image, 0, 100));
    EXPECT_EQ(SampleBytesAt(structure, 104, 110), SampleBytesAt(image, 150, 110));
    EXPECT_EQ(SampleBytesAt(structure, 218, 82), SampleBytesAt(image, 268, 82));
  }
}

TEST(ModuleRebuild, S3mSamplesAreStoredUnsigned) {
  const std::vector<TestSample> samples = {{{0x00, 0x7F, 0x80, 0xFF}, 8, 4}, {{0x01, 0x00}, 16, 12}};
  uint32_t result = 1;
  std::vector<uint8_t> image = RebuildOf(2, ".S3M", Ramp(24), samples, &result);
  ASSERT_EQ(0u, result);
  EXPECT_EQ((std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x7F}), SampleBytesAt(image, 4, 4));
  EXPECT_EQ((std::vector<uint8_t>{0x01, 0x80}), SampleBytesAt(image, 12, 2));
}

TEST(ModuleRebuild, XmSamplesAreDeltaCoded) {
  auto words = [](std::initializer_list<int16_t> values) {
    std::vector<uint8_t> bytes;
    for (int16_t v : values) {
      bytes.push_back(static_cast<uint8_t>(v));
      bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
    return bytes;
  };
  const std::vector<TestSample> samples = {
      {{0x10, 0x20, 0x30}, 8, 4}, {{0x7F, 0x80}, 8, 10}, {words({1000, 3000}), 16, 16}, {words({-32768, 32767}), 16, 24}};
  uint32_t result = 1;
  std::vector<uint8_t> image = RebuildOf(1, ".XM", Ramp(40), samples, &result);
  ASSERT_EQ(0u, result);
  EXPECT_EQ((std::vector<uint8_t>{0x10, 0x10, 0x10}), SampleBytesAt(image, 4, 3));
  EXPECT_EQ((std::vector<uint8_t>{0x7F, 0x01}), SampleBytesAt(image, 10, 2));
  EXPECT_EQ(words({1000, 2000}), SampleBytesAt(image, 16, 4));
  EXPECT_EQ(words({-32768, -1}), SampleBytesAt(image, 24, 4));
}

TEST(ModuleRebuild, RebuildingTwiceGivesTheSameImageAndRawSamples) {
  const std::vector<TestSample> samples = {{{0x10, 0x20, 0x30}, 8, 4}, {{0x01, 0x00, 0x05, 0x00, 0x07}, 16, 12}};
  for (const char* extension : {".XM", ".S3M"}) {
    Song song;
    ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, extension, Ramp(20), samples)), MakePack(samples)));
    uint32_t first = 1, second = 1;
    std::vector<uint8_t> a = Rebuild(&song, &first);
    std::vector<uint8_t> b = Rebuild(&song, &second);
    EXPECT_EQ(0u, first);
    EXPECT_EQ(0u, second);
    EXPECT_EQ(a, b) << extension;
    const SampleRecord& r = song.Body().records[1];
    EXPECT_EQ(samples[1].pcm, std::vector<uint8_t>(r.data, r.data + r.size));
    EXPECT_EQ(2u, r.frames);
    // The odd byte of a 16-bit sample is not part of a word and stays as it was.
    EXPECT_EQ(0x07, a[12 + 4]);
  }
}

TEST(ModuleRebuild, KindsWithoutAStoredFormCannotBeRebuilt) {
  const std::vector<TestSample> samples = {{{1, 2, 3, 4}, 8, 4}};
  for (const char* extension : {"", ".ZSF", ".ZTF"}) {
    uint32_t result = 0;
    std::vector<uint8_t> image = RebuildOf(2, extension, Ramp(20), samples, &result);
    EXPECT_EQ(1u, result) << extension;
    EXPECT_TRUE(image.empty());
  }
  Song never;
  ModuleImage out{5, nullptr};
  EXPECT_EQ(1u, never.BuildModuleImage(&out));
  EXPECT_EQ(0u, out.size);
}

TEST(ModuleRebuild, SampleWithoutDataFails) {
  std::vector<uint8_t> structure = Ramp(20);
  uint8_t bytes[2] = {1, 2};
  SampleRecord records[2] = {};
  records[0].size = 2;
  records[0].data = bytes;
  records[1].size = 2;  // no data
  uint32_t sizes[2] = {2, 2}, offsets[2] = {4, 10};
  SongBody body{};
  body.sampleCount = 2;
  body.structure = structure.data();
  body.structureSize = 20;
  body.records = records;
  body.sampleSizes = sizes;
  body.sampleOffsets = offsets;
  ItFormat format;
  ModuleImage out{};
  EXPECT_EQ(1u, AssembleModuleImage(body, 1, &format, &out));
  EXPECT_EQ(nullptr, out.data);
  records[1].data = bytes;
  ASSERT_EQ(0u, AssembleModuleImage(body, 1, &format, &out));
  EXPECT_EQ(16u, out.size);
  std::free(out.data);
}

TEST(ModuleRebuild, OnePassAssemblyMatchesTheReferenceOnAnyOffsets) {
  // Offsets anywhere, also inside samples inserted before and with placeholders that
  // run across several pieces: the result must be the step-by-step one.
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> structure = Ramp(4 + random() % 60, static_cast<uint8_t>(round));
    size_t count = random() % 8;
    std::vector<std::vector<uint8_t>> data(count);
    std::vector<uint32_t> offsets(count);
    std::vector<SampleRecord> records(count);
    uint8_t major = 1 + random() % 2;
    uint64_t size = structure.size();
    for (size_t i = 0; i < count; ++i) {
      data[i] = Ramp(random() % 4 == 0 ? random() % 3 : random() % 12, static_cast<uint8_t>(100 + 17 * i));
      offsets[i] = random() % 8 == 0 ? static_cast<uint32_t>(size) - random() % 6 : static_cast<uint32_t>(random() % (size + 1));
      records[i].size = static_cast<uint32_t>(data[i].size());
      records[i].data = data[i].empty() ? structure.data() : data[i].data();
      if (!data[i].empty() && offsets[i] + 4 <= size) size = size - 4 + data[i].size();
    }
    if (count) offsets[0] = offsets[0] ? offsets[0] : 1;
    std::vector<uint32_t> sizes(count);
    SongBody body{};
    body.sampleCount = static_cast<uint32_t>(count);
    body.structure = structure.data();
    body.structureSize = static_cast<uint32_t>(structure.size());
    body.records = records.data();
    body.sampleSizes = sizes.data();
    body.sampleOffsets = offsets.data();
    std::vector<uint8_t> expected;
    bool ok = ReferenceRebuild(structure, data, offsets, major, &expected);
    ItFormat format;
    ModuleImage out{};
    uint32_t result = AssembleModuleImage(body, major, &format, &out);
    ASSERT_EQ(ok ? 0u : 1u, result) << "round " << round;
    if (ok) {
      ASSERT_EQ(expected, std::vector<uint8_t>(out.data, out.data + out.size)) << "round " << round;
    }
    std::free(out.data);
  }
}
