// Seeks through SetOutputTime: the engine restarts at the whole second below the
// target, the output is flushed to the exact target and the next block is stamped
// with it; a seek asked for as soon as Play returns is performed, as is one while
// paused and one after the last block while the output still plays, and the song
// then ends once; a target at or past the end ends the song without audio.
#include <gtest/gtest.h>

#include <algorithm>

#include "collection/zgm_writer.h"
#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

constexpr int kFree = 1 << 20;

class Seek : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
  }
  bool HasFlush(int ms) const {
    std::vector<int> f = host_.Flushes();
    return std::find(f.begin(), f.end(), ms) != f.end();
  }
  TempDir dir_;
  TestHost host_;
};

TEST_F(Seek, To61500StartsTheEngineAt61SecondsAndStampsTheTarget) {
  MadeSong song = MakeTestSong(dir_, "long", 17);  // 65.28 s
  Reference from61 = RenderReference(song, 2, 16, 61);
  ASSERT_GT(from61.length / 65536, 62);
  ASSERT_FALSE(from61.pcm.empty());

  host_.SetFreeBytes(0);  // hold the rendering so the seek comes before any block
  ASSERT_EQ(host_.Play(song.path), 0);
  // Asked for as soon as Play returns (a player resuming a song): never lost.
  host_.record()->SetOutputTime(61500);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(61500); }));
  EXPECT_EQ(host_.Flushes().back(), 61500);
  EXPECT_TRUE(host_.Written().empty());
  EXPECT_EQ(host_.OutputTimeMs(), 61500);
  host_.SetFreeBytes(kFree);
  ASSERT_TRUE(host_.WaitForEndMessages(1));

  std::vector<uint8_t> written = host_.Written();
  ASSERT_GE(written.size(), 4096u);
  EXPECT_TRUE(std::equal(written.begin(), written.begin() + 4096, from61.pcm.begin()))
      << "the first block after the seek is the engine's output from 61 s";
  EXPECT_TRUE(written == from61.pcm);
  std::vector<PcmCall> sa = host_.SaPcm();
  ASSERT_GE(sa.size(), 2u);
  EXPECT_EQ(sa[0].timestamp, 61500);
  EXPECT_EQ(sa[1].timestamp, 61523);
  EXPECT_EQ(host_.VsaPcm()[0].timestamp, 61500);
}

TEST_F(Seek, AskedForAsSoonAsPlayReturnsIsNeverLost) {
  // A collection track returns from Play at once, so the request races the decode
  // thread's start (a player resuming where it left off). Each round waits until the
  // thread has polled the held output twice after the request: by then a kept
  // request has been performed.
  MadeSong song = MakeTestSong(dir_, "song", 3);
  ZgmContents set;
  set.entries = {{kEntrySamplePack, "pack", ReadFile(song.packPath)}, {kEntryTune, "one", ReadFile(song.path)}};
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;
  const std::string track = "zgm://" + dir_.file("set.zgm") + ",1";
  for (int round = 0; round < 20; ++round) {
    host_.SetFreeBytes(0);
    ASSERT_EQ(host_.Play(track), 0);
    host_.record()->SetOutputTime(3000 + round);
    const int polls = host_.CanWriteCalls();
    ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= polls + 2; }));
    EXPECT_TRUE(HasFlush(3000 + round)) << "round " << round << ": the seek was lost";
    host_.Stop();
  }
}

TEST_F(Seek, WhilePausedIsPerformed) {
  MadeSong song = MakeTestSong(dir_, "song", 3);
  host_.SetPlayingPolls(-1);  // the thread may render the whole song before the pause
  ASSERT_EQ(host_.Play(song.path), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= 3; }));
  host_.record()->Pause();
  host_.SetFreeBytes(0);  // a paused output fills up and takes nothing more
  EXPECT_EQ(host_.record()->IsPaused(), 1);
  host_.record()->SetOutputTime(5000);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(5000); }));
  const size_t atSeek = host_.WriteSizes().size();
  EXPECT_EQ(host_.PauseCalls(), std::vector<int>{1});

  host_.record()->UnPause();
  EXPECT_EQ(host_.record()->IsPaused(), 0);
  EXPECT_EQ(host_.PauseCalls(), (std::vector<int>{1, 0}));
  host_.SetFreeBytes(kFree);
  host_.SetPlayingPolls(0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_TRUE(WrittenFrom(host_, atSeek) == RenderReference(song, 2, 16, 5).pcm)
      << "after the seek the output holds the engine's PCM from 5 s";
  EXPECT_EQ(host_.SaPcm()[atSeek].timestamp, 5000);
}

TEST_F(Seek, AfterTheLastBlockWhileDrainingResumesFromTheTarget) {
  MadeSong song = MakeTestSong(dir_, "song", 1);
  host_.SetPlayingPolls(-1);
  ASSERT_EQ(host_.Play(song.path), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= 2; })) << "draining";
  const size_t atSeek = host_.WriteSizes().size();
  host_.record()->SetOutputTime(1500);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(1500) && host_.IsPlayingCalls() >= 4; }));
  EXPECT_EQ(host_.EndMessages(), 0);
  host_.SetPlayingPolls(0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  ASSERT_TRUE(host_.WaitForClose(1));
  EXPECT_EQ(host_.EndMessages(), 1);
  EXPECT_TRUE(WrittenFrom(host_, atSeek) == RenderReference(song, 2, 16, 1).pcm)
      << "rendering resumed from 1 s";
  EXPECT_EQ(host_.SaPcm()[atSeek].timestamp, 1500);
}

TEST_F(Seek, OutputTimeIsTheOutputModulesAnswer) {
  MadeSong song = MakeTestSong(dir_, "song", 1);
  host_.SetFreeBytes(0);
  ASSERT_EQ(host_.Play(song.path), 0);
  host_.record()->SetOutputTime(2345);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(2345); }));
  EXPECT_EQ(host_.record()->GetOutputTime(), host_.OutputTimeMs());
  EXPECT_EQ(host_.record()->GetOutputTime(), 2345);
  host_.Stop();
  EXPECT_EQ(host_.EndMessages(), 0);
}

}  // namespace

namespace {

using namespace zsftest;

class SeekBounds : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
    song_ = MakeTestSong(dir_, "song", 1);  // 3.84 s
    host_.SetFreeBytes(0);
  }
  bool HasFlush(int ms) const {
    std::vector<int> f = host_.Flushes();
    return std::find(f.begin(), f.end(), ms) != f.end();
  }
  TempDir dir_;
  TestHost host_;
  MadeSong song_;
};

TEST_F(SeekBounds, AtOrPastTheEndEndsTheSongWithoutAudio) {
  // The run-up to a target never wraps to the song's start, and positions are not
  // cut to 32 bits: the end, past it, and beyond what the engine can address.
  int ends = 0;
  for (int target : {3850, 3900, 40000, 100000, 40000000, 0x7FFFFFFF}) {
    host_.SetFreeBytes(0);
    ASSERT_EQ(host_.Play(song_.path), 0);
    host_.record()->SetOutputTime(target);
    ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(target); })) << target;
    host_.SetFreeBytes(kFree);
    ASSERT_TRUE(host_.WaitForEndMessages(++ends)) << target;
    host_.Stop();
    EXPECT_EQ(host_.EndMessages(), ends) << target;
    EXPECT_TRUE(host_.Written().empty()) << target << ": " << host_.Written().size() << " bytes";
  }
  // Just before the end the rest plays, and only that.
  host_.SetFreeBytes(0);
  ASSERT_EQ(host_.Play(song_.path), 0);
  host_.record()->SetOutputTime(3500);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(3500); }));
  host_.SetFreeBytes(kFree);
  ASSERT_TRUE(host_.WaitForEndMessages(++ends));
  EXPECT_TRUE(host_.Written() == RenderReference(song_, 2, 16, 3).pcm);
}

TEST_F(SeekBounds, ANegativeTargetStartsFromTheBeginning) {
  ASSERT_EQ(host_.Play(song_.path), 0);
  host_.record()->SetOutputTime(-5000);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.Flushes().size() >= 1; }));
  EXPECT_EQ(host_.Flushes().back(), 0) << "no time before the song's start";
  host_.SetFreeBytes(kFree);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_TRUE(host_.Written() == RenderReference(song_).pcm);
  EXPECT_EQ(host_.SaPcm()[0].timestamp, 0);
}

}  // namespace
