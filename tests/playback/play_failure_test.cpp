// Starts that fail: a song whose rebuilt module the engine cannot read, an output
// that refuses to open, a song whose pack is missing, a file that is no song. Each
// fails Play with 1, leaves no thread and no open output, and stores no length.
#include <gtest/gtest.h>

#include "container/zsf_writer.h"
#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "samples/zsp_writer.h"

namespace {

using namespace zsftest;

class PlayFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
  }
  // Every Open is matched by a Close, no end message, nothing written.
  void ExpectNothingLeftOpen() {
    EXPECT_EQ(host_.CloseCount(), static_cast<int>(host_.Opens().size()));
    EXPECT_EQ(host_.EndMessages(), 0);
    EXPECT_TRUE(host_.WriteSizes().empty());
    EXPECT_EQ(host_.record()->GetLength(), -1000);
  }
  TempDir dir_;
  TestHost host_;
};

TEST_F(PlayFailure, ASongTheEngineCannotReadFailsAndStoresNoLength) {
  // A well-formed song whose module image is an IT header cut short: the song loads,
  // the engine refuses the image.
  ZsfSong song;
  song.packName = "empty.zsp";
  song.moduleExtension = ".IT";
  song.structure.assign(64, 0);
  const char magic[] = "IMPM";
  std::copy(magic, magic + 4, song.structure.begin());
  song.tagText = "title=Broken\n";
  std::vector<uint8_t> bytes, pack;
  std::string error;
  ASSERT_TRUE(WriteZsf(song, &bytes, &error)) << error;
  ASSERT_TRUE(WriteZsp({}, ZspWriteOptions{}, &pack, &error)) << error;
  WriteFile(dir_.file("broken.zsf"), bytes);
  WriteFile(dir_.file("empty.zsp"), pack);

  EXPECT_EQ(host_.Play(dir_.file("broken.zsf")), 1);
  EXPECT_EQ(host_.Opens().size(), 1u) << "the output was opened before the load";
  ExpectNothingLeftOpen();
  EXPECT_TRUE(ReadFile(dir_.file("broken.zsf")) == bytes) << "no length tag stored";
  host_.Stop();
  EXPECT_EQ(host_.CloseCount(), 1) << "Stop closes nothing more";
}

TEST_F(PlayFailure, AnOutputThatRefusesToOpenFailsThePlay) {
  MadeSong song = MakeTestSong(dir_, "song", 1);
  const std::vector<uint8_t> before = ReadFile(song.path);
  host_.SetOpenResult(-1);
  EXPECT_EQ(host_.Play(song.path), 1);
  EXPECT_EQ(host_.CloseCount(), 0) << "nothing was opened";
  EXPECT_TRUE(host_.SaVsaInits().empty());
  EXPECT_TRUE(host_.WriteSizes().empty());
  EXPECT_TRUE(ReadFile(song.path) == before);
  host_.SetOpenResult(500);
  EXPECT_EQ(host_.Play(song.path), 0) << "the next play works";
  ASSERT_TRUE(host_.WaitForEndMessages(1));
}

TEST_F(PlayFailure, AMissingPackFailsAndClosesTheOutput) {
  MadeSong song = MakeTestSong(dir_, "song", 1);
  ASSERT_EQ(std::remove(song.packPath.c_str()), 0);
  const std::vector<uint8_t> before = ReadFile(song.path);
  EXPECT_EQ(host_.Play(song.path), 1);
  ExpectNothingLeftOpen();
  EXPECT_TRUE(ReadFile(song.path) == before);
}

TEST_F(PlayFailure, NamesThatAreNoSong) {
  WriteFile(dir_.file("short.zsf"), std::string("ZS"));
  WriteFile(dir_.file("other.zsf"), std::string("RIFF....WAVE"));
  EXPECT_EQ(host_.Play(dir_.file("short.zsf")), 1);
  EXPECT_EQ(host_.Play(dir_.file("other.zsf")), 1);
  EXPECT_EQ(host_.Play(dir_.file("missing.zsf")), 1);
  EXPECT_TRUE(host_.Opens().empty());
  ExpectNothingLeftOpen();
}

}  // namespace
