// The test host records what the plug-in does and behaves as told: one song played
// through it leaves the full trace of calls, a host that is "still playing" holds
// the end back, and one without room holds the rendering back.
#include <gtest/gtest.h>

#include <numeric>

#include "song_files.h"
#include "support/test_host.h"

namespace {

using zsftest::TempDir;
using zsftest::TestHost;

class TestHostRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSong(dir_, "song.zsf", "song.zsp", zsfsynth::BasicSpec(0, 2, 1), "Song");
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
  }
  TempDir dir_;
  TestHost host_;
};

TEST_F(TestHostRecording, APlayedSongLeavesItsWholeTrace) {
  ASSERT_EQ(host_.Play(dir_.file("song.zsf")), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  host_.Stop();
  ASSERT_EQ(host_.Opens().size(), 1u);
  const zsftest::OpenCall open = host_.Opens()[0];
  EXPECT_EQ(open.sampleRate, 44100);
  EXPECT_EQ(open.channels, 2);
  EXPECT_EQ(open.bits, 16);
  ASSERT_FALSE(host_.Flushes().empty());
  EXPECT_EQ(host_.Flushes()[0], 0);
  std::vector<int> sizes = host_.WriteSizes();
  EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), size_t(0)), host_.Written().size());
  std::vector<zsftest::PcmCall> sa = host_.SaPcm();
  ASSERT_EQ(sa.size(), sizes.size());
  for (size_t i = 0; i < sa.size(); ++i) EXPECT_EQ(sa[i].timestamp, int(i) * 23);
  EXPECT_EQ(host_.VsaPcm().size(), sa.size());
  EXPECT_EQ(host_.CloseCount(), 1);
  EXPECT_EQ(host_.EndMessages(), 1);
  EXPECT_EQ(host_.OutputTimeMs(), int(host_.Written().size() * 1000 / (44100 * 4)));
}

TEST_F(TestHostRecording, StillPlayingHoldsTheEndBackUntilStop) {
  host_.SetPlayingPolls(-1);
  ASSERT_EQ(host_.Play(dir_.file("song.zsf")), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= 5; }));
  host_.Stop();
  EXPECT_EQ(host_.EndMessages(), 0) << "killed while draining: no end message";
  EXPECT_EQ(host_.CloseCount(), 1);
}

TEST_F(TestHostRecording, PlayingForSomePollsEndsAfterThem) {
  host_.SetPlayingPolls(3);
  ASSERT_EQ(host_.Play(dir_.file("song.zsf")), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_EQ(host_.IsPlayingCalls(), 4) << "three times playing, then done";
}

TEST_F(TestHostRecording, NoRoomHoldsTheRenderingBack) {
  host_.SetFreeBytes(0);
  ASSERT_EQ(host_.Play(dir_.file("song.zsf")), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= 5; }));
  EXPECT_TRUE(host_.Written().empty());
  host_.SetFreeBytes(1 << 20);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_FALSE(host_.Written().empty());
}

TEST_F(TestHostRecording, TheEffectHookSeesEveryBlock) {
  int blocks = 0;
  host_.SetDspActive(true);
  host_.SetDsp([&](short* samples, int frames, int bits, int channels, int rate) {
    ++blocks;
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100);
    for (int i = 0; i < frames * channels; ++i) samples[i] = 0;
    return frames;
  });
  ASSERT_EQ(host_.Play(dir_.file("song.zsf")), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  host_.Stop();
  EXPECT_EQ(size_t(blocks), host_.WriteSizes().size());
  for (uint8_t b : host_.Written()) ASSERT_EQ(b, 0) << "what the hook did reaches the output";
}

}  // namespace
