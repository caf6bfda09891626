// The sample pack beside the song: path composition, real loads from a folder,
// missing packs and a pack supplied as a stream.
#include <gtest/gtest.h>

#include <unistd.h>

#include "container/pack_path.h"
#include "samples/sample_store.h"
#include "support/song_parts.h"
#include "support/files.h"

using namespace zsftest;

namespace {

const std::vector<TestSample> kSamples = {{{1, 2, 3, 4}, 8, 4}, {{0x10, 0x00, 0x20, 0x00}, 16, 12}};

std::string Composed(const std::string& source, const std::string& name) {
  std::string path = "(refused)";
  ComposePackPath(source, name, &path);
  return path;
}

}  // namespace

TEST(PackPath, PackLiesInTheSongsFolder) {
  EXPECT_EQ("C:\\Music\\shared.zsp", Composed("C:\\Music\\tune.zsf", "shared.zsp"));
  EXPECT_EQ("shared.zsp", Composed("tune.zsf", "shared.zsp"));
  EXPECT_EQ("/data/x/shared.zsp", Composed("/data/x/tune.zsf", "shared.zsp"));
  EXPECT_EQ("shared.zsp", Composed("", "shared.zsp"));
  // A backslash wins over a later forward slash.
  EXPECT_EQ("a\\shared.zsp", Composed("a\\b/tune.zsf", "shared.zsp"));
}

TEST(PackPath, OverlongPathsAreRefusedNotCut) {
  const std::string folder = "/" + std::string(180, 'd') + "/";
  EXPECT_EQ(folder + "shared.zsp", Composed(folder + "tune.zsf", "shared.zsp"));  // 192 characters
  std::string name(26, 'n');
  EXPECT_EQ("(refused)", Composed(folder + "tune.zsf", name));
  std::string exactly(199 - name.size(), 'e');
  exactly.back() = '/';
  EXPECT_EQ(199u, Composed(exactly + "t.zsf", name).size());
  EXPECT_EQ("(refused)", Composed("e" + exactly + "t.zsf", name));
  // A long song path with a short folder part is fine.
  EXPECT_EQ("shared.zsp", Composed(std::string(300, 't'), "shared.zsp"));
}

TEST(PackPath, SongsLoadTheirPackFromTheirFolder) {
  TempDir dir;
  const std::vector<uint8_t> pack = MakePack(kSamples);
  for (uint8_t major : {1, 2}) {
    SCOPED_TRACE(int(major));
    const std::string packName = major == 1 ? "abcdefghijklmnopqrstuvw.zp" : "shared.zsp";  // 26 characters
    ASSERT_TRUE(major != 1 || packName.size() == 26);
    WriteFile(dir.file(packName), pack);
    WriteFile(dir.file("tune.zsf"), SongBytes(MakeZsf(major, major == 1 ? 19 : 2, ".IT", Ramp(32), kSamples, packName)));
    Song song;
    uint32_t count = 0;
    ASSERT_EQ(0u, song.LoadFile(dir.file("tune.zsf").c_str(), &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(16, song.Body().records[1].bits);
    ASSERT_EQ(0, unlink(dir.file(packName).c_str()));
  }
}

TEST(PackPath, RelativeSongNamesReadThePackFromTheWorkingFolder) {
  TempDir dir;
  WriteFile(dir.file("shared.zsp"), MakePack(kSamples));
  WriteFile(dir.file("tune.ztf"), SongBytes(MakeZsf(2, 2, ".IT", Ramp(32), kSamples)));
  char previous[4096];
  ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  Song song;
  uint32_t result = song.LoadFile("tune.ztf");
  ASSERT_EQ(0, chdir(previous));
  EXPECT_EQ(0u, result);
}

TEST(PackPath, MissingPackFailsBothLayouts) {
  TempDir dir;
  for (uint8_t major : {1, 2}) {
    WriteFile(dir.file("tune.zsf"), SongBytes(MakeZsf(major, major == 1 ? 19 : 2, ".IT", Ramp(32), kSamples, "absent.zsp")));
    Song song;
    uint32_t count = 0;
    EXPECT_EQ(1u, song.LoadFile(dir.file("tune.zsf").c_str(), &count)) << int(major);
    EXPECT_FALSE(song.Loaded());
    EXPECT_EQ(2u, count);  // the body was read before the pack was looked for
  }
  Song song;
  EXPECT_EQ(1u, song.LoadFile(dir.file("no-such-song.zsf").c_str()));
}

TEST(PackPath, SuppliedPackStreamIsUsedAndLeftOpen) {
  const std::vector<uint8_t> pack = MakePack(kSamples);
  const std::vector<uint8_t> file = SongBytes(MakeZsf(2, 2, ".IT", Ramp(32), kSamples, "elsewhere.zsp"));
  ByteStream* packStream = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 1);
  Song song;
  song.SetPackStream(packStream);
  for (int round = 0; round < 2; ++round) {
    ByteStream* songStream = StreamOpenMemory(file.data(), static_cast<uint32_t>(file.size()), 1);
    EXPECT_EQ(0u, song.LoadStream(songStream, nullptr, 4)) << round;
    StreamClose(songStream);
  }
  EXPECT_EQ(1u, song.GetSampleStore()->loaded);
  StreamClose(packStream);
}
