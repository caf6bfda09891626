// A song played through the plug-in to its end: the output holds exactly what the
// engine renders for the module, block by block with 23 ms stamps and a short last
// block; the end message arrives once, and never after a kill while draining; the
// length is whole seconds and is stored in the file.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

SongOptions ModSong() {
  SongOptions o;
  o.kind = 3;
  return o;
}

class SongEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
    song_ = MakeTestSong(dir_, "song", 2);
  }
  TempDir dir_;
  TestHost host_;
  MadeSong song_;
};

TEST_F(SongEnd, OutputHoldsExactlyTheEnginesPcmInBlocksStampedEvery23Ms) {
  Reference ref = RenderReference(song_);
  ASSERT_GT(ref.blockFrames.size(), 100u);
  ASSERT_LT(ref.blockFrames.back(), 1024) << "the song must end inside a block";

  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  ASSERT_TRUE(host_.WaitForClose(1));

  std::vector<int> sizes = host_.WriteSizes();
  ASSERT_EQ(sizes.size(), ref.blockFrames.size());
  for (size_t i = 0; i < sizes.size(); ++i) ASSERT_EQ(sizes[i], ref.blockFrames[i] * 4) << "block " << i;
  EXPECT_LT(sizes.back(), 4096) << "the last block holds fewer frames";
  EXPECT_TRUE(host_.Written() == ref.pcm) << "written PCM differs from the engine's";

  std::vector<PcmCall> sa = host_.SaPcm(), vsa = host_.VsaPcm();
  ASSERT_EQ(sa.size(), sizes.size());
  ASSERT_EQ(vsa.size(), sizes.size());
  for (size_t i = 0; i < sa.size(); ++i) {
    EXPECT_EQ(sa[i].timestamp, static_cast<int>(i) * 23);
    EXPECT_EQ(vsa[i].timestamp, sa[i].timestamp);
    EXPECT_EQ(sa[i].channels, 2);
    EXPECT_EQ(sa[i].bits, 16);
  }
  ASSERT_EQ(host_.Flushes(), std::vector<int>{0});
  EXPECT_EQ(host_.EndMessages(), 1);
  EXPECT_EQ(host_.CloseCount(), 1);
  host_.Stop();
  EXPECT_EQ(host_.EndMessages(), 1) << "Stop after the end posts nothing more";
}

TEST_F(SongEnd, LengthIsWholeSecondsWhilePlayingAndStoredInTheFile) {
  Reference ref = RenderReference(song_, 2, 16, 0, 0);
  ASSERT_EQ(ref.length / 65536, 7) << "two orders of 3.84 s";
  In_Module* rec = host_.record();
  EXPECT_EQ(rec->GetLength(), -1000) << "nothing loaded";
  int stored = 0;
  rec->GetFileInfo(song_.path.c_str(), nullptr, &stored);
  EXPECT_EQ(stored, -1000) << "no length before the first play";

  host_.SetPlayingPolls(-1);  // the output keeps playing: the module stays loaded
  ASSERT_EQ(host_.Play(song_.path), 0);
  EXPECT_EQ(rec->GetLength(), 7000);
  rec->GetFileInfo(song_.path.c_str(), nullptr, &stored);
  EXPECT_EQ(stored, 7000) << "Play stores the length tag";
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= 2; }));
  EXPECT_EQ(rec->GetLength(), 7000) << "still loaded while draining";

  host_.SetPlayingPolls(0);
  ASSERT_TRUE(host_.WaitForClose(1));
  EXPECT_EQ(rec->GetLength(), -1000) << "the thread released the module at the end";
  host_.Stop();
}

TEST_F(SongEnd, KillWhileDrainingPostsNoEndMessage) {
  host_.SetPlayingPolls(-1);
  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= 3; }));
  host_.Stop();
  EXPECT_EQ(host_.EndMessages(), 0);
  EXPECT_EQ(host_.CloseCount(), 1);
  EXPECT_EQ(host_.record()->GetLength(), -1000);
}

TEST_F(SongEnd, TwoSongsInARowEachEndOnce) {
  MadeSong other = MakeTestSong(dir_, "other", 1, ModSong());
  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  host_.Stop();
  const size_t first = host_.WriteSizes().size();
  ASSERT_EQ(host_.Play(other.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(2));
  ASSERT_TRUE(host_.WaitForClose(2));
  host_.Stop();
  EXPECT_EQ(host_.EndMessages(), 2);
  EXPECT_TRUE(WrittenFrom(host_, first) == RenderReference(other).pcm) << "the MOD song's PCM";
}

}  // namespace
