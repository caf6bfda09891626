// The ZSF reader across versions and layouts, the pack beside the song, and the
// Song's states: songs written field by field with our own writer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <tuple>

#include "container/file_kind.h"
#include "container/pack_path.h"
#include "container/zsf_format.h"
#include "samples/sample_store.h"
#include "support/files.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

const std::vector<TestSample> kTwo = {{{1, 2, 3, 4, 5}, 8, 10}, {{9, 8, 7, 6}, 8, 20}};

std::vector<TestSample> NoOffsets(std::vector<TestSample> samples) {
  for (TestSample& s : samples) s.offset = 0;
  return samples;
}

uint32_t Load(const ZsfSong& spec, Song* song, uint32_t* count = nullptr) {
  return LoadFromMemory(song, SongBytes(spec), MakePack(kTwo), count);
}

// Expects SONG's last refusal at STEP, its reason holding REASON.
void ExpectRefused(const Song& song, const char* step, const std::string& reason) {
  EXPECT_EQ(step, song.LastFailure().step) << song.LastFailure().reason;
  EXPECT_NE(std::string::npos, song.LastFailure().reason.find(reason)) << song.LastFailure().reason;
}

}  // namespace

TEST(ZsfReader, EveryAcceptedVersionLoadsWithItsBodyLayout) {
  for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{
           {0, 5}, {1, 0}, {1, 10}, {1, 11}, {1, 12}, {1, 14}, {1, 15}, {1, 18}, {1, 19}, {1, 99}, {2, 0}, {2, 2}}) {
    SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
    const bool offsets = VersionAtLeast(major, minor, kZsfSampleOffsetFrom);
    Song song;
    uint32_t count = 0;
    ASSERT_EQ(0u, Load(MakeZsf(major, minor, ".XM", Ramp(64), offsets ? kTwo : NoOffsets(kTwo)), &song, &count));
    EXPECT_EQ(major * 256 + minor, song.VersionMajor() * 256 + song.VersionMinor());
    EXPECT_EQ(2u, count);
    // Before 1.11 there is no extension field: every such song is Impulse Tracker.
    EXPECT_EQ(VersionAtLeast(major, minor, kZsfModuleExtensionFrom) ? 1u : 0u, song.GetModuleKind());
    const SongBody& body = song.Body();
    EXPECT_EQ(Ramp(64), std::vector<uint8_t>(body.structure, body.structure + body.structureSize));
    for (uint32_t i = 0; i < 2; ++i) {
      EXPECT_EQ(kTwo[i].pcm, Bytes(body.records[i]));
      EXPECT_EQ(kTwo[i].pcm.size() * 100 + (offsets ? kTwo[i].offset : 0), body.sampleSizes[i] * 100 + body.sampleOffsets[i]);
    }
  }
  for (auto [extension, kind] : std::vector<std::pair<const char*, uint32_t>>{
           {".xm", 1}, {".S3M", 2}, {".mod", 3}, {".It", 0}, {"", 7}, {".ZSF", 4}, {".wav", 7}}) {
    Song song;
    ASSERT_EQ(0u, Load(MakeZsf(1, 11, extension, Ramp(64), NoOffsets(kTwo)), &song)) << extension;
    EXPECT_EQ(kind, song.GetModuleKind()) << extension;
  }
  for (auto [name, kind] : std::vector<std::pair<const char*, uint32_t>>{
           {"song.zsf", 4}, {"SONG.ZTF", 4}, {"a.b.xm", 1}, {"file.mod.bak", 7}, {"noextension", 7}, {"x.It", 0},
           {"C:\\dir.s3m\\x.S3m", 2}, {".MOD", 3}, {"x.", 7}, {"x.zsf2", 7}})
    EXPECT_EQ(kind, FileKindFromName(name)) << name;
}

TEST(ZsfReader, RefusesWhatItCannotReadFaithfully) {
  Song song;
  const std::vector<uint8_t> pack = MakePack(kTwo), file = SongBytes(MakeZsf(2, 2, ".IT", Ramp(64), kTwo));
  const std::string magic = "not a ZSF song (no \"ZSF1\" magic)", newest = " is not supported (newest read: 2.2)";
  for (auto [at, value, reason] : std::vector<std::tuple<int, uint8_t, std::string>>{
           {0, 'z', magic}, {3, '2', magic}, {4, 3, "version 3.2" + newest}, {4, 255, "version 255.2" + newest},
           {5, 3, "version 2.3" + newest}, {5, 255, "version 2.255" + newest}}) {
    std::vector<uint8_t> patched = file;
    patched[at] = value;
    EXPECT_EQ(1u, LoadFromMemory(&song, patched, pack)) << at << " " << int(value);
    ExpectRefused(song, "header", reason);
    EXPECT_FALSE(song.Loaded());
    if (at >= 4) { EXPECT_EQ(patched[4] * 256 + patched[5], song.VersionMajor() * 256 + song.VersionMinor()); }
  }
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(WriteZsf(MakeZsf(2, 3, ".IT", Ramp(8), {}), &out, &error));
  ZsfSong underived = MakeZsf(1, 14, ".IT", Ramp(8), {{{1, 2}}});
  underived.samples[0].code = 1;  // derivation fields came with 1.15
  EXPECT_FALSE(WriteZsf(underived, &out, &error));
  // A join needs its second entry read: only the extra list makes that happen.
  ZsfSong join = MakeZsf(1, 19, ".IT", Ramp(64), {});
  ZsfV1Sample s;
  s.size = 5, s.offset = 8, s.code = 3, s.parameter = 2;
  join.samples = {s};
  join.extraEntries = {2};
  const std::vector<uint8_t> pack3 = MakePack(std::vector<TestSample>{{{1, 2}}, {{3, 4}}, {{5, 6, 7}}});
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(join), pack3));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 5, 6, 7}), Bytes(song.Body().records[0]));
  join.extraEntries.clear();
  EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(join), pack3));
  ExpectRefused(song, "samples", "sample 0: a join of an empty part");
  for (uint8_t major : {1, 2}) {
    ZsfSong spec = MakeZsf(major, major == 1 ? 19 : 2, ".IT", Ramp(300), kTwo);
    spec.blockTrailer = {0x00};  // the structure block must end with its stream
    EXPECT_EQ(1u, Load(spec, &song));
    ExpectRefused(song, "structure block", "is damaged or decodes to more than the declared 300");
    spec.blockTrailer.clear();
    spec.declaredStructureSize = 400;  // decodes to less: loads with what it holds
    ASSERT_EQ(0u, Load(spec, &song));
    EXPECT_EQ(300u, song.Body().structureSize);
    spec.declaredStructureSize = 299;  // would decode to more
    EXPECT_EQ(1u, Load(spec, &song));
    ExpectRefused(song, "structure block", "decodes to more than the declared 299");
    // The first count of either body layout, larger than the file can hold.
    std::vector<uint8_t> bytes = SongBytes(MakeZsf(major, major == 1 ? 14 : 2, ".IT", Ramp(16), kTwo));
    const size_t h = kZsfHeaderSizeWithExtension;
    std::memset(&bytes[h + 8 + (bytes[h + 4] | bytes[h + 5] << 8 | bytes[h + 6] << 16 | size_t{bytes[h + 7]} << 24)], 0xFF, 4);
    EXPECT_EQ(1u, LoadFromMemory(&song, bytes, pack));
    ExpectRefused(song, "song body",
                  major == 1 ? "4294967295 samples of 12 bytes need" : "4294967295 sources of 17 bytes");
  }
  // Version 2 checks sizes and source indices; version 1 does not compare sizes.
  ZsfSong v2 = MakeZsf(2, 2, ".IT", Ramp(64), kTwo), v1 = MakeZsf(1, 19, ".IT", Ramp(64), kTwo);
  v2.v2Samples[1].size += 1;
  EXPECT_EQ(1u, Load(v2, &song));
  ExpectRefused(song, "samples", "sample 1 derives to 4 bytes, but the body stores 5");
  v2.v2Samples[1].size -= 2;
  EXPECT_EQ(1u, Load(v2, &song));
  v2.v2Samples[1].size += 1;
  v2.v2Samples[0].source = 2;
  EXPECT_EQ(1u, Load(v2, &song));
  ExpectRefused(song, "song body", "sample 0 names source 2, but the body has 2");
  v1.samples[1].size += 1;
  EXPECT_EQ(0u, Load(v1, &song));
}

TEST(ZsfReader, TruncatedFilesFailAtEveryLengthShortOfTheTrailer) {
  for (uint8_t major : {0, 1, 2}) {
    ZsfSong spec = MakeZsf(major, major == 1 ? 19 : major == 0 ? 5 : 2, ".S3M", Ramp(200), major == 0 ? NoOffsets(kTwo) : kTwo);
    if (major == 1) spec.extraEntries = {0, 1};
    spec.tagText = "title=cut\n";
    const std::vector<uint8_t> file = SongBytes(spec);
    for (size_t length = 0; length < file.size(); ++length) {
      Song song;
      uint32_t result = LoadFromMemory(&song, std::vector<uint8_t>(file.begin(), file.begin() + length), MakePack(kTwo));
      ASSERT_EQ(length < file.size() - 2 - spec.tagText.size() ? 1u : 0u, result) << int(major) << " " << length;
      EXPECT_EQ(result == 0, song.Loaded());
      // Every refusal says where: the header and body ones name the file's end.
      EXPECT_EQ(result != 0, static_cast<bool>(song.LastFailure())) << length;
      if (length < 6) ExpectRefused(song, "header", "the file ends after " + std::to_string(length) + " bytes");
    }
  }
}

TEST(SongLifecycle, KindsResetAndFailedLoadsLeaveNothingBehind) {
  const std::vector<uint8_t> file = SongBytes(MakeZsf(1, 19, ".MOD", Ramp(32), kTwo)), pack = MakePack(kTwo);
  Song song;
  uint32_t count = 0;
  EXPECT_EQ(0u, LoadFromMemory(&song, file, pack, &count, 5));  // a tune loads as a song
  EXPECT_EQ(3, song.GetModuleKind());
  for (uint32_t kind : {0u, 1u, 2u, 3u, 6u, 7u}) {
    count = 0;
    EXPECT_EQ(1u, LoadFromMemory(&song, file, pack, &count, kind)) << kind;
    ExpectRefused(song, "name", "must end in .zsf or .ztf");
    EXPECT_EQ(kind == 7 ? 666u : 0u, count) << kind;
    EXPECT_FALSE(song.Loaded());
  }
  EXPECT_EQ(1u, song.LoadStream(nullptr, &count, 4));
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, ".S3M", Ramp(32), kTwo)), pack));
  EXPECT_EQ(0u, song.Reset());
  EXPECT_EQ(0, song.GetModuleKind());
  EXPECT_FALSE(song.Loaded() || song.Body().structure || song.Body().sampleCount);
  EXPECT_EQ(1u, song.Reset());
  EXPECT_EQ(1u, song.GetSampleStore()->loaded);  // the pack entries stay until released
  song.ReleaseSamples();
  EXPECT_EQ(0u, song.GetSampleStore()->loaded);
  // Each fails after the body holds structure, arrays or samples; the sanitizer
  // build's leak checker sees whether they were released.
  ZsfSong mismatch = MakeZsf(2, 2, ".IT", Ramp(64), kTwo), badEntry = MakeZsf(1, 19, ".IT", Ramp(64), kTwo);
  ZsfSong badCode = badEntry;
  mismatch.v2Samples[1].size = 3;
  badEntry.samples[1].entry = 9;
  badCode.samples[1].code = 5;
  for (auto [spec, reason] : std::vector<std::pair<const ZsfSong*, const char*>>{
           {&mismatch, "sample 1 derives to 4 bytes, but the body stores 3"},
           {&badEntry, "sample 1: pack entry 9 does not exist (the pack has 2 slots)"},
           {&badCode, "sample 1: transform 5 is no copy, reverse or cut"}}) {
    ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, ".IT", Ramp(64), kTwo)), pack));
    EXPECT_FALSE(song.LastFailure()) << "a load that succeeds clears the last refusal";
    EXPECT_EQ(1u, Load(*spec, &song, &count));
    ExpectRefused(song, "samples", reason);
    EXPECT_EQ(2u, count);
    EXPECT_FALSE(song.Loaded() || song.Body().structure || song.Body().records);
    EXPECT_EQ(1u, song.Reset());
  }
}

TEST(PackPath, ThePackLiesBesideTheSong) {
  auto composed = [](const std::string& source, const std::string& name) {
    std::string path = "(refused)";
    ComposePackPath(source, name, &path);
    return path;
  };
  EXPECT_EQ("C:\\Music\\shared.zsp", composed("C:\\Music\\tune.zsf", "shared.zsp"));
  EXPECT_EQ("shared.zsp", composed("tune.zsf", "shared.zsp"));
  EXPECT_EQ("/data/x/shared.zsp", composed("/data/x/tune.zsf", "shared.zsp"));
  EXPECT_EQ("a\\shared.zsp", composed("a\\b/tune.zsf", "shared.zsp"));  // a backslash wins
  std::string exactly(kZsfMaxPathLength - kZsfPackNameLength, 'e');  // long paths are refused, not cut
  exactly.back() = '/';
  const std::string longest(kZsfPackNameLength, 'n');
  EXPECT_EQ(kZsfMaxPathLength, composed(exactly + "t.zsf", longest).size());
  EXPECT_EQ("(refused)", composed("e" + exactly + "t.zsf", longest));
  EXPECT_EQ("shared.zsp", composed(std::string(300, 't'), "shared.zsp"));
  TempDir dir;
  const std::vector<TestSample> samples = {{{1, 2, 3, 4}, 8, 4}, {{0x10, 0x00, 0x20, 0x00}, 16, 12}};
  for (uint8_t major : {1, 2}) {
    const std::string packName = major == 1 ? std::string(23, 'p') + ".zp" : "shared.zsp";  // 26 characters
    WriteFile(dir.file(packName), MakePack(samples));
    WriteFile(dir.file("tune.zsf"), SongBytes(MakeZsf(major, major == 1 ? 19 : 2, ".IT", Ramp(32), samples, packName)));
    Song song;
    uint32_t count = 0;
    ASSERT_EQ(0u, song.LoadFile(dir.file("tune.zsf").c_str(), &count)) << int(major);
    EXPECT_EQ(16, song.Body().records[1].bits);
    ASSERT_EQ(0, unlink(dir.file(packName).c_str()));
    count = 0;
    EXPECT_EQ(1u, song.LoadFile(dir.file("tune.zsf").c_str(), &count)) << "the pack is missing";
    ExpectRefused(song, "sample pack", dir.file(packName) + ": cannot open: No such file or directory");
    EXPECT_EQ(2u, count) << "the body was read before the pack was looked for";
  }
  // A relative name reads the pack from the working folder.
  WriteFile(dir.file("shared.zsp"), MakePack(samples));
  WriteFile(dir.file("tune.ztf"), SongBytes(MakeZsf(2, 2, ".IT", Ramp(32), samples)));
  char previous[4096];
  ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  Song song;
  uint32_t result = song.LoadFile("tune.ztf");
  ASSERT_EQ(0, chdir(previous));
  EXPECT_EQ(0u, result);
  // A supplied pack stream is used instead, and left open for the next load.
  const std::vector<uint8_t> pack = MakePack(samples), file = SongBytes(MakeZsf(2, 2, ".IT", Ramp(32), samples, "x.zsp"));
  StreamOwner packStream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 1));
  song.SetPackStream(packStream.get());
  for (int round = 0; round < 2; ++round) {
    StreamOwner songStream(StreamOpenMemory(file.data(), static_cast<uint32_t>(file.size()), 1));
    EXPECT_EQ(0u, song.LoadStream(songStream.get(), nullptr, 4)) << round;
  }
  song.SetPackStream(nullptr);
}
