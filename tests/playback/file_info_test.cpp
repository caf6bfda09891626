// Titles and lengths through the record's GetFileInfo, with the settings taken from
// the store before Init: a title cut to the host's buffer, LoadLen computing a length,
// and a null or empty name meaning the song that was last started.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/settings_file.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

class FileInfo : public ::testing::Test {
 protected:
  void Start(const StoredSettings& settings) {
    ASSERT_TRUE(host_.ok()) << host_.error();
    WriteSettings(host_.registryPath(), settings);
    host_.Init();
    SongOptions tagged;
    tagged.tags = {{"title", "Tune"}, {"artist", "Maker"}};
    song_ = MakeTestSong(dir_, "song", 2, tagged);
  }
  std::string Title(const char* name, int* length = nullptr) {
    char title[512];
    std::memset(title, 'x', sizeof title);
    host_.record()->GetFileInfo(name, title, length);
    return std::string(title, strnlen(title, sizeof title));
  }
  int Length(const char* name) {
    int length = 12345;
    host_.record()->GetFileInfo(name, nullptr, &length);
    return length;
  }
  TempDir dir_;
  TestHost host_;
  MadeSong song_;
};

TEST_F(FileInfo, ATitleLongerThanTheHostsBufferIsCut) {
  StoredSettings s;
  s.titleOutput.clear();
  for (int i = 0; i < 33; ++i) s.titleOutput += "%t%";  // 99 characters
  ASSERT_TRUE(host_.ok());
  WriteSettings(host_.registryPath(), s);
  host_.Init();
  SongOptions tagged;
  tagged.tags = {{"t", std::string(150, 'v')}};
  MadeSong song = MakeTestSong(dir_, "long", 1, tagged);
  char title[600];
  std::memset(title, '#', sizeof title);
  host_.record()->GetFileInfo(song.path.c_str(), title, nullptr);
  EXPECT_EQ(strnlen(title, 512), 511u) << "cut to the 512-byte buffer";
  EXPECT_EQ(title[511], '\0');
  EXPECT_EQ(std::string(title, 511), std::string(511, 'v')) << "each value cut to 99, then repeated";
  EXPECT_EQ(title[512], '#') << "nothing written past the host's buffer";
}

TEST_F(FileInfo, LoadLenComputesALengthForASongWithoutOne) {
  StoredSettings s;
  s.loadLen = true;
  Start(s);
  EXPECT_EQ(Length(song_.path.c_str()), 7000) << "2 orders of 3.84 s, whole seconds";
  MadeSong longer = MakeTestSong(dir_, "longer", 33);  // 126.72 s
  EXPECT_EQ(Length(longer.path.c_str()), 126000);
  EXPECT_EQ(Length(dir_.file("missing.zsf").c_str()), -1000);
}

TEST_F(FileInfo, ASongBeyondTheLengthBoundIsUnknownEverywhereAndStillPlays) {
  // Speed 255 at tempo 32: a row lasts 19.92 s, three 200-row patterns 3.3 hours.
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 1, 3);
  spec.speed = 255;
  spec.tempo = 32;
  for (auto& pattern : spec.patterns) {
    pattern.Resize(200, spec.channels);
    pattern.At(0, 0, spec.channels).note = zsfsynth::NoteOf(5, 0);
    pattern.At(0, 0, spec.channels).instrument = 1;
  }
  StoredSettings s;
  s.loadLen = true;
  Start(s);
  MadeSong endless = MakeSongFromSpec(dir_, "endless", spec);
  ASSERT_TRUE(endless.ok) << endless.error;
  EXPECT_EQ(Length(endless.path.c_str()), -1000) << "a computed length";
  host_.SetFreeBytes(0);
  ASSERT_EQ(host_.Play(endless.path), 0);
  EXPECT_EQ(host_.record()->GetLength(), -1000);
  host_.SetFreeBytes(1 << 20);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= 2; })) << "it plays";
  host_.Stop();
  uint16_t textLength = 0;
  char* text = ReadTagText(endless.path.c_str(), &textLength);
  const std::string tags = text ? std::string(text, textLength) : std::string();
  std::free(text);
  EXPECT_EQ(tags.find("length"), std::string::npos) << "no length tag for a length not known: " << tags;
}

TEST_F(FileInfo, WithoutLoadLenOnlyAStoredLengthCounts) {
  Start(StoredSettings{});
  EXPECT_EQ(Length(song_.path.c_str()), -1000);
  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  host_.Stop();
  EXPECT_EQ(Length(song_.path.c_str()), 7000) << "Play stored it";
}

TEST_F(FileInfo, ANullOrEmptyNameMeansTheSongLastStarted) {
  Start(StoredSettings{});
  MadeSong other = MakeTestSong(dir_, "other", 1);
  host_.SetPlayingPolls(-1);
  ASSERT_EQ(host_.Play(song_.path), 0);
  int length = 0;
  EXPECT_EQ(Title(nullptr, &length), "Tune (Maker)");
  EXPECT_EQ(length, 7000);
  EXPECT_EQ(Title(""), "Tune (Maker)");
  EXPECT_EQ(Length(""), 7000);
  EXPECT_NE(Title(other.path.c_str()), "Tune (Maker)") << "a given name is taken as it is";
  host_.Stop();
}

}  // namespace
