// The module image rebuild: samples placed at their offsets in their module kind's
// stored form, the failures, and the one-pass assembly against the step-by-step
// reference on random layouts. (Whole modules of every kind back byte for byte:
// the pack round trip in tests/authoring.)
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "container/image_assembly.h"
#include "container/module_format.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

std::vector<uint8_t> RebuildOf(uint8_t major, const char* extension, const std::vector<uint8_t>& structure,
                               const std::vector<TestSample>& samples, uint32_t* result = nullptr,
                               std::string* why = nullptr) {
  const std::vector<uint8_t> bytes = SongBytes(MakeZsf(major, major >= 2 ? 2 : 19, extension, structure, samples));
  Song song;
  EXPECT_EQ(0u, LoadFromMemory(&song, bytes, MakePack(samples)));
  const std::vector<uint8_t> image = Rebuild(&song, result);
  if (why) *why = song.LastFailure().step + ": " + song.LastFailure().reason;
  // Assembled while loading, as playback does: the same image, or the same failure.
  Song played;
  played.SetBuildWhileLoading(true);
  EXPECT_EQ(0u, LoadFromMemory(&played, bytes, MakePack(samples)));
  uint32_t playedResult = 0, usual = result ? *result : 0;
  EXPECT_EQ(image, Rebuild(&played, &playedResult));
  EXPECT_EQ(usual, playedResult);
  return image;
}

std::vector<uint8_t> At(const std::vector<uint8_t>& image, size_t at, size_t n) {
  return at + n <= image.size() ? std::vector<uint8_t>(image.begin() + at, image.begin() + at + n)
                                : std::vector<uint8_t>();
}

std::vector<uint8_t> Words(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int v : values) bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  return bytes;
}

// The rebuild as described, one whole copy per inserted sample.
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

}  // namespace

TEST(ModuleRebuild, SamplesReplaceThePlaceholdersInTheirStoredForm) {
  const std::vector<uint8_t> structure = Ramp(300);
  const std::vector<TestSample> it = {{Ramp(50, 100), 8, 100}, {Ramp(8, 200), 8, 260}};
  for (uint8_t major : {1, 2}) {
    uint32_t result = 1;
    std::vector<uint8_t> image = RebuildOf(major, ".IT", structure, it, &result);
    ASSERT_EQ(0u, result);
    ASSERT_EQ(350u, image.size());
    EXPECT_EQ(it[0].pcm, At(image, 100, 50));
    EXPECT_EQ(it[1].pcm, At(image, 260, 8));
    // Around them the structure comes back with the bytes at 100..103 and 214..217 gone.
    EXPECT_EQ(At(structure, 0, 100), At(image, 0, 100));
    EXPECT_EQ(At(structure, 104, 110), At(image, 150, 110));
    EXPECT_EQ(At(structure, 218, 82), At(image, 268, 82));
  }
  // S3M samples are stored unsigned; XM samples delta-coded; a 16-bit sample's odd
  // last byte is no word and stays; rebuilding twice gives the same image.
  const std::vector<TestSample> s3m = {{{0x00, 0x7F, 0x80, 0xFF}, 8, 4}, {{0x01, 0x00, 0x07}, 16, 12}};
  std::vector<uint8_t> image = RebuildOf(2, ".S3M", Ramp(24), s3m);
  EXPECT_EQ((std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x7F}), At(image, 4, 4));
  EXPECT_EQ((std::vector<uint8_t>{0x01, 0x80, 0x07}), At(image, 12, 3));
  const std::vector<TestSample> xm = {{{0x10, 0x20, 0x30}, 8, 4},
                                      {{0x7F, 0x80}, 8, 10},
                                      {Words({1000, 3000}), 16, 16},
                                      {Words({-32768, 32767, 5}), 16, 24}};
  image = RebuildOf(1, ".XM", Ramp(40), xm);
  EXPECT_EQ((std::vector<uint8_t>{0x10, 0x10, 0x10}), At(image, 4, 3));
  EXPECT_EQ((std::vector<uint8_t>{0x7F, 0x01}), At(image, 10, 2));
  EXPECT_EQ(Words({1000, 2000}), At(image, 16, 4));
  EXPECT_EQ(Words({-32768, -1, -32762}), At(image, 24, 6));
  Song song;
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, ".XM", Ramp(40), xm)), MakePack(xm)));
  Rebuild(&song);
  EXPECT_EQ(xm[3].pcm, Bytes(song.Body().records[3])) << "the records keep the raw samples";
}

TEST(ModuleRebuild, Failures) {
  for (auto [extension, kind] : {std::pair{"", "7"}, {".ZSF", "4"}, {".ZTF", "4"}}) {  // kinds without a stored form
    uint32_t result = 0;
    std::string why;
    EXPECT_TRUE(RebuildOf(2, extension, Ramp(20), {{{1, 2, 3, 4}, 8, 4}}, &result, &why).empty());
    EXPECT_EQ(1u, result) << extension;
    EXPECT_EQ(std::string("rebuild: the song names no module kind that can be rebuilt (module kind ") + kind + ")",
              why);
  }
  Song never;
  ModuleImage out{5, nullptr};
  EXPECT_EQ(1u, never.BuildModuleImage(&out));
  EXPECT_EQ("no song is loaded", never.LastFailure().reason);
  EXPECT_EQ(0u, out.size);
  // A sample without data.
  std::vector<uint8_t> structure = Ramp(20);
  uint8_t bytes[2] = {1, 2};
  SampleRecord records[2] = {};
  records[0].size = records[1].size = 2;
  records[0].data = bytes;
  uint32_t sizes[2] = {2, 2}, offsets[2] = {4, 10};
  SongBody body{};
  body.sampleCount = 2;
  body.structure = structure.data();
  body.structureSize = 20;
  body.records = records;
  body.sampleSizes = sizes;
  body.sampleOffsets = offsets;
  ItFormat format;
  Failure failure;
  EXPECT_EQ(1u, AssembleModuleImage(body, 1, &format, &out, &failure));
  EXPECT_EQ(nullptr, out.data);
  EXPECT_EQ("sample 1 has no data", failure.reason);
  records[1].data = bytes;
  using Broken = std::tuple<uint32_t, uint32_t, uint32_t, uint8_t, std::string>;  // offsets, size 1, major, why
  for (auto [offset0, offset1, size1, major, why] : std::vector<Broken>{
           {0, 10, 2, 1, "the song stores no sample offsets (songs store them from version 1.12)"},
           {4, 17, 2, 1, "sample 1's offset 17 leaves no 4-byte placeholder in the image of 18 bytes"},
           {4, 10, 0, 2, "sample 1 is empty (version 2 songs hold none)"}}) {
    offsets[0] = offset0, offsets[1] = offset1, records[1].size = size1;
    EXPECT_EQ(1u, AssembleModuleImage(body, major, &format, &out, &failure)) << why;
    EXPECT_EQ("rebuild: " + why, failure.step + ": " + failure.reason);
  }
  offsets[0] = 4, offsets[1] = 10, records[1].size = 2;
  ASSERT_EQ(0u, AssembleModuleImage(body, 1, &format, &out));
  EXPECT_EQ(16u, out.size);
  std::free(out.data);
}

TEST(ModuleRebuild, OnePassAssemblyMatchesTheReferenceOnAnyOffsets) {
  // Offsets anywhere, also inside samples inserted before and with placeholders that
  // run across several pieces: the result must be the step-by-step one.
  std::mt19937 random(12345);
  int inOrder = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> structure = Ramp(4 + random() % 60, static_cast<uint8_t>(round));
    size_t count = random() % 8;
    std::vector<std::vector<uint8_t>> data(count);
    std::vector<uint32_t> offsets(count), sizes(count);
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
    ASSERT_EQ(ok ? 0u : 1u, AssembleModuleImage(body, major, &format, &out)) << "round " << round;
    if (ok) { ASSERT_EQ(expected, std::vector<uint8_t>(out.data, out.data + out.size)) << "round " << round; }
    std::free(out.data);
    // Where the in-order layout applies, the structure around the samples' places
    // and the samples at their offsets make the same image.
    for (size_t i = 0; i < count; ++i) sizes[i] = records[i].size;
    uint64_t total = 0;
    if (PlanInOrderLayout(body.structureSize, body.sampleCount, sizes.data(), offsets.data(), &total)) {
      ASSERT_TRUE(ok) << "round " << round;
      std::vector<uint8_t> image(total);
      CopyStructureAround(structure.data(), body.structureSize, body.sampleCount, sizes.data(), offsets.data(),
                          image.data());
      for (size_t i = 0; i < count; ++i) std::copy(data[i].begin(), data[i].end(), image.begin() + offsets[i]);
      ASSERT_EQ(expected, image) << "round " << round;
      ++inOrder;
    }
  }
  EXPECT_GT(inOrder, 20) << "the in-order layout was hardly tried";
}
