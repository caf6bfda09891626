// The ZSF reader across versions: gates, refusals, both body layouts, malformed
// structure blocks and truncated files.
#include <gtest/gtest.h>

#include <cstring>

#include "container/file_kind.h"
#include "container/zsf_format.h"
#include "support/song_parts.h"
#include "support/files.h"

using namespace zsftest;

namespace {

const std::vector<TestSample> kTwoSamples = {{{1, 2, 3, 4, 5}, 8, 10}, {{9, 8, 7, 6}, 8, 20}};

std::vector<TestSample> WithoutOffsets(std::vector<TestSample> samples) {
  for (TestSample& s : samples) s.offset = 0;
  return samples;
}

// Header size of a version: the module extension field appears at 1.11.
size_t HeaderSize(uint8_t major, uint8_t minor) {
  return ZsfVersionAtLeast(major, minor, kZsfModuleExtensionFrom) ? kZsfHeaderSizeWithExtension
                                                                  : kZsfHeaderSizeBeforeExtension;
}

// Bytes of the body: what follows the structure block, without the tag trailer.
size_t BodySize(const std::vector<uint8_t>& file, uint8_t major, uint8_t minor, size_t tagText = 0) {
  size_t h = HeaderSize(major, minor);
  uint32_t c = file[h + 4] | file[h + 5] << 8 | file[h + 6] << 16 | static_cast<uint32_t>(file[h + 7]) << 24;
  return file.size() - (h + 8 + c) - 2 - tagText;
}

}  // namespace

TEST(ZsfVersions, EveryAcceptedVersionLoadsWithItsBodyLayout) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  const std::vector<uint8_t> structure = Ramp(64);
  const std::pair<uint8_t, uint8_t> versions[] = {{0, 5},  {1, 0},  {1, 9},  {1, 10}, {1, 11},
                                                  {1, 12}, {1, 14}, {1, 15}, {1, 18}, {1, 19},
                                                  {1, 99}, {2, 0},  {2, 1},  {2, 2}};
  for (auto [major, minor] : versions) {
    SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
    bool offsets = ZsfVersionAtLeast(major, minor, kZsfSampleOffsetFrom);
    ZsfSong spec = MakeZsf(major, minor, ".XM", structure,
                            offsets ? kTwoSamples : WithoutOffsets(kTwoSamples));
    Song song;
    uint32_t count = 0;
    ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(spec), pack, &count));
    EXPECT_TRUE(song.Loaded());
    EXPECT_EQ(major, song.VersionMajor());
    EXPECT_EQ(minor, song.VersionMinor());
    EXPECT_EQ(2u, count);
    // Before 1.11 there is no extension field: every such song is Impulse Tracker.
    bool extension = ZsfVersionAtLeast(major, minor, kZsfModuleExtensionFrom);
    EXPECT_EQ(extension ? 1u : 0u, song.GetModuleKind());
    const SongBody& body = song.Body();
    ASSERT_EQ(structure.size(), body.structureSize);
    EXPECT_EQ(0, std::memcmp(structure.data(), body.structure, structure.size()));
    for (uint32_t i = 0; i < 2; ++i) {
      ASSERT_EQ(kTwoSamples[i].pcm.size(), body.records[i].size);
      EXPECT_EQ(0, std::memcmp(kTwoSamples[i].pcm.data(), body.records[i].data, body.records[i].size));
      EXPECT_EQ(kTwoSamples[i].pcm.size(), body.sampleSizes[i]);
      EXPECT_EQ(offsets ? kTwoSamples[i].offset : 0u, body.sampleOffsets[i]);
    }
  }
}

TEST(ZsfVersions, NewerVersionsAreRefusedButRecorded) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  std::vector<uint8_t> file = SongBytes(MakeZsf(2, 2, ".IT", Ramp(64), kTwoSamples));
  const std::pair<uint8_t, uint8_t> refused[] = {{2, 3}, {3, 0}, {255, 0}, {2, 255}};
  for (auto [major, minor] : refused) {
    SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
    std::vector<uint8_t> patched = file;
    patched[4] = major;
    patched[5] = minor;
    Song song;
    EXPECT_EQ(1u, LoadFromMemory(&song, patched, pack));
    EXPECT_FALSE(song.Loaded());
    EXPECT_EQ(major, song.VersionMajor());
    EXPECT_EQ(minor, song.VersionMinor());
  }
  ZsfSong tooNew = MakeZsf(2, 3, ".IT", Ramp(8), {});
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(WriteZsf(tooNew, &out, &error));
}

TEST(ZsfVersions, AnyOtherMagicIsRefused) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  const std::vector<uint8_t> file = SongBytes(MakeZsf(1, 19, ".IT", Ramp(64), kTwoSamples));
  for (size_t at = 0; at < 4; ++at) {
    std::vector<uint8_t> patched = file;
    patched[at] ^= 0x20;
    Song song;
    EXPECT_EQ(1u, LoadFromMemory(&song, patched, pack)) << "magic byte " << at;
  }
}

TEST(ZsfVersions, ModuleExtensionNamesTheModuleKind) {
  const std::pair<const char*, uint32_t> cases[] = {
      {".xm", 1}, {".S3M", 2}, {".mod", 3}, {".It", 0}, {"", 7}, {".ZSF", 4}, {".wav", 7}};
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  for (auto [extension, kind] : cases) {
    SCOPED_TRACE(extension);
    Song song;
    ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(1, 11, extension, Ramp(64), WithoutOffsets(kTwoSamples))), pack));
    EXPECT_EQ(kind, song.GetModuleKind());
  }
}

TEST(ZsfVersions, ExtraEntriesLoadWhatAJoinNeeds) {
  // Sample 0 joins pack entry 0 with entry 2; no sample names entry 2 directly.
  std::vector<TestSample> entries = {{{1, 2}}, {{3, 4}}, {{5, 6, 7}}};
  const std::vector<uint8_t> pack = MakePack(entries);
  ZsfSong spec = MakeZsf(1, 19, ".IT", Ramp(64), {});
  ZsfV1Sample join;
  join.entry = 0;
  join.size = 5;
  join.offset = 8;
  join.code = 3;
  join.parameter = 2;
  spec.samples = {join};
  spec.extraEntries = {2};
  Song song;
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(spec), pack));
  const SampleRecord& r = song.Body().records[0];
  ASSERT_EQ(5u, r.size);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 5, 6, 7}), std::vector<uint8_t>(r.data, r.data + 5));

  // Without the extra list entry 2 is never read, so the join has nothing to join.
  spec.extraEntries.clear();
  EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(spec), pack));
}

TEST(ZsfVersions, StructureBlockMustEndWithItsStream) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  for (uint8_t major : {1, 2}) {
    ZsfSong spec = MakeZsf(major, major == 1 ? 19 : 2, ".IT", Ramp(300), kTwoSamples);
    spec.blockTrailer = {0x00};
    Song song;
    EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(spec), pack)) << "trailing garbage, major " << int(major);

    // A block that decodes to less than the declared size loads with what it holds.
    spec.blockTrailer.clear();
    spec.declaredStructureSize = 400;
    ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(spec), pack));
    EXPECT_EQ(300u, song.Body().structureSize);

    // One that would decode to more fails.
    spec.declaredStructureSize = 299;
    EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(spec), pack));
  }
}

TEST(ZsfVersions, Version2SizesAndSourceIndicesAreChecked) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  ZsfSong spec = MakeZsf(2, 2, ".IT", Ramp(64), kTwoSamples);
  Song song;
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(spec), pack));
  for (int delta : {1, -1}) {
    ZsfSong off = spec;
    off.v2Samples[1].size += delta;
    EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(off), pack)) << "size off by " << delta;
  }
  ZsfSong badSource = spec;
  badSource.v2Samples[0].source = 2;
  EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(badSource), pack));

  // Version 1 bodies do not compare the stored size with the derived one.
  ZsfSong v1 = MakeZsf(1, 19, ".IT", Ramp(64), kTwoSamples);
  v1.samples[1].size += 1;
  EXPECT_EQ(0u, LoadFromMemory(&song, SongBytes(v1), pack));
}

TEST(ZsfVersions, TruncatedFilesFailAtEveryLength) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  for (uint8_t major : {0, 1, 2}) {
    uint8_t minor = major == 1 ? 19 : major == 0 ? 5 : 2;
    ZsfSong spec = MakeZsf(major, minor, ".S3M", Ramp(200), major == 0 ? WithoutOffsets(kTwoSamples) : kTwoSamples);
    if (major == 1) spec.extraEntries = {0, 1};
    spec.tagText = "title=cut\n";
    const std::vector<uint8_t> file = SongBytes(spec);
    const size_t bodyEnd = file.size() - 2 - spec.tagText.size();
    for (size_t length = 0; length < file.size(); ++length) {
      std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
      Song song;
      uint32_t count = 0;
      uint32_t result = LoadFromMemory(&song, cut, pack, &count);
      // The tag trailer is not the reader's business: only the body must be whole.
      ASSERT_EQ(length < bodyEnd ? 1u : 0u, result) << "major " << int(major) << " length " << length;
      EXPECT_EQ(result == 0, song.Loaded());
    }
  }
}

TEST(ZsfVersions, CountsTheFileCannotHoldAreRefused) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  for (uint8_t major : {1, 2}) {
    std::vector<uint8_t> file = SongBytes(MakeZsf(major, major == 1 ? 14 : 2, ".IT", Ramp(16), kTwoSamples));
    size_t body = file.size() - 2 - BodySize(file, major, major == 1 ? 14 : 2);
    // The first count of either body layout.
    for (int i = 0; i < 4; ++i) file[body + i] = 0xFF;
    Song song;
    EXPECT_EQ(1u, LoadFromMemory(&song, file, pack));
  }
}

TEST(ZsfVersions, PlainModuleFormatsRefuseSongs) {
  const std::vector<uint8_t> pack = MakePack(kTwoSamples);
  const std::vector<uint8_t> file = SongBytes(MakeZsf(2, 2, ".IT", Ramp(64), kTwoSamples));
  for (uint32_t kind : {0u, 1u, 2u, 3u}) {
    Song song;
    uint32_t count = 0;
    EXPECT_EQ(1u, LoadFromMemory(&song, file, pack, &count, kind)) << kind;
    EXPECT_EQ(0u, count);
  }
  // A valid song stored as .xm goes to the XM reader, which refuses it.
  TempDir dir;
  WriteFile(dir.file("shared.zsp"), pack);
  WriteFile(dir.file("song.xm"), file);
  WriteFile(dir.file("song.zsf"), file);
  Song song;
  EXPECT_EQ(1u, song.LoadFile(dir.file("song.xm").c_str()));
  EXPECT_EQ(0u, song.LoadFile(dir.file("song.zsf").c_str()));
}

TEST(FileKinds, ExtensionsAreLookedUpIgnoringCase) {
  EXPECT_EQ(4u, FileKindFromName("song.zsf"));
  EXPECT_EQ(4u, FileKindFromName("SONG.ZTF"));
  EXPECT_EQ(1u, FileKindFromName("a.b.xm"));
  EXPECT_EQ(7u, FileKindFromName("file.mod.bak"));
  EXPECT_EQ(7u, FileKindFromName("noextension"));
  EXPECT_EQ(0u, FileKindFromName("x.It"));
  EXPECT_EQ(2u, FileKindFromName("C:\\dir.s3m\\x.S3m"));
  EXPECT_EQ(3u, FileKindFromName(".MOD"));
  EXPECT_EQ(7u, FileKindFromName("x."));
  EXPECT_EQ(7u, FileKindFromName("x.zsf2"));
}
