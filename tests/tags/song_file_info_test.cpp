// Title and length of a single song file for the host's playlist.
#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/file_info.h"
#include "ui/titles.h"

using zsftest::TempDir;
using zsftest::WriteFile;

namespace {

int computeCalls = 0;
int ComputeLength(const char*) {
  ++computeCalls;
  return 125000;
}

struct Info {
  std::string title;
  int lengthMs;
};

Info Get(const std::string& path, const PlayerSettings& settings) {
  char title[kHostTitleSize];
  Info info{"", 4242};
  GetSongFileInfo(path.c_str(), title, &info.lengthMs, settings, ComputeLength);
  info.title = title;
  return info;
}

std::string Song(const TempDir& dir, const std::string& text) {
  std::string path = dir.file("song.zsf");
  WriteFile(path, zsftest::WithTags(zsftest::NoiseBody(2000), text));
  return path;
}

}  // namespace

TEST(SongFileInfo, StoredLengthInWholeSeconds) {
  TempDir dir;
  PlayerSettings settings;
  EXPECT_EQ(Get(Song(dir, "title=T\nlength=215\n"), settings).lengthMs, 215000);
  EXPECT_EQ(Get(Song(dir, "LENGTH=7\n"), settings).lengthMs, 7000);
  EXPECT_EQ(Get(Song(dir, "length= +9x\n"), settings).lengthMs, 9000);
  EXPECT_EQ(Get(Song(dir, "length=0\n"), settings).lengthMs, -1000);
  EXPECT_EQ(Get(Song(dir, "length=abc\n"), settings).lengthMs, -1000);
  EXPECT_EQ(Get(Song(dir, "length=-5\n"), settings).lengthMs, -1000);
  EXPECT_EQ(Get(Song(dir, "length=99999999999\n"), settings).lengthMs, -1000);
  // ReadTags' rule: a last line without its line feed still gives the length.
  EXPECT_EQ(Get(Song(dir, "length=3"), settings).lengthMs, 3000);
}

TEST(SongFileInfo, MissingFileAndNullOutputs) {
  TempDir dir;
  PlayerSettings settings;
  Info info = Get(dir.file("missing.zsf"), settings);
  EXPECT_EQ(info.title, "Unknown title (Unknown artist)");
  EXPECT_EQ(info.lengthMs, -1000);

  std::string path = Song(dir, "title=x\nlength=5\n");
  GetSongFileInfo(path.c_str(), nullptr, nullptr, settings, ComputeLength);
  int length = 0;
  GetSongFileInfo(path.c_str(), nullptr, &length, settings, ComputeLength);
  EXPECT_EQ(length, 5000);
  char title[kHostTitleSize];
  GetSongFileInfo(path.c_str(), title, nullptr, settings, ComputeLength);
  EXPECT_STREQ(title, "x (Unknown artist)");
}

TEST(SongFileInfo, ReadsOnlyTheTrailerOfABigFile) {
  TempDir dir;
  std::string path = dir.file("big.zsf");
  // 8 MiB of body: the answer must not depend on reading it (see bench_titles for
  // the speed); a body that looks like tags must not be mistaken for them.
  std::string fakeTags;
  while (fakeTags.size() < 8u * 1024 * 1024) fakeTags += "title=body\nlength=1\n";
  std::vector<uint8_t> body(fakeTags.begin(), fakeTags.end());
  WriteFile(path, zsftest::WithTags(body, "title=real\n"));
  Info info = Get(path, PlayerSettings());
  EXPECT_EQ(info.title, "real (Unknown artist)");
  EXPECT_EQ(info.lengthMs, -1000);
}
