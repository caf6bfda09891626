// Block sizes and the room the decode thread waits for: 8-bit mono blocks of 1024
// bytes, nothing written while the output has less room than a block (twice a block
// with an active effect hook), and an effect hook that lengthens a block is written
// whole.
#include <gtest/gtest.h>

#include <cstring>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/settings_file.h"
#include "support/song_maker.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

class BlockSize : public ::testing::Test {
 protected:
  void Start(bool eightBitMono) {
    ASSERT_TRUE(host_.ok()) << host_.error();
    StoredSettings s;
    s.loBit = s.mono = eightBitMono;
    WriteSettings(host_.registryPath(), s);
    host_.Init();
    song_ = MakeTestSong(dir_, "song", 1);
  }
  // Holds the output at FREE bytes and checks that nothing is written over several
  // polls, then gives exactly ENOUGH and checks that blocks come.
  void ExpectRoomThreshold(int enough) {
    host_.SetFreeBytes(enough - 1);
    ASSERT_EQ(host_.Play(song_.path), 0);
    ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= 4; }));
    EXPECT_TRUE(host_.WriteSizes().empty()) << "written with " << enough - 1 << " bytes free";
    host_.SetFreeBytes(enough);
    ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= 2; }));
  }
  TempDir dir_;
  TestHost host_;
  MadeSong song_;
};

TEST_F(BlockSize, EightBitMonoWritesBlocksOf1024BytesAndAShortLastOne) {
  Start(true);
  ExpectRoomThreshold(1024);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  ASSERT_EQ(host_.Opens().size(), 1u);
  EXPECT_EQ(host_.Opens()[0].bits, 8);
  EXPECT_EQ(host_.Opens()[0].channels, 1);
  ASSERT_EQ(host_.SetInfos().size(), 1u);
  EXPECT_EQ(host_.SetInfos()[0].bitrate, 8);
  EXPECT_EQ(host_.SetInfos()[0].sampleRate, 44);
  EXPECT_EQ(host_.SetInfos()[0].stereo, 1);
  EXPECT_EQ(host_.VsaSetInfos(), (std::vector<std::pair<int, int>>{{44100, 1}}));

  Reference ref = RenderReference(song_, 1, 8);
  std::vector<int> sizes = host_.WriteSizes();
  ASSERT_EQ(sizes.size(), ref.blockFrames.size());
  for (size_t i = 0; i + 1 < sizes.size(); ++i) ASSERT_EQ(sizes[i], 1024) << "block " << i;
  EXPECT_LT(sizes.back(), 1024);
  EXPECT_EQ(sizes.back(), ref.blockFrames.back());
  EXPECT_TRUE(host_.Written() == ref.pcm) << "unsigned 8-bit mono PCM of the engine";
  for (const PcmCall& c : host_.SaPcm()) {
    EXPECT_EQ(c.channels, 1);
    EXPECT_EQ(c.bits, 8);
  }
}

TEST_F(BlockSize, EightBitMonoWithAnEffectHookWaitsFor2048Bytes) {
  Start(true);
  host_.SetDspActive(true);
  ExpectRoomThreshold(2048);
  host_.Stop();
}

TEST_F(BlockSize, SixteenBitStereoWaitsFor4096AndWithAnEffectHook8192) {
  Start(false);
  ExpectRoomThreshold(4096);
  host_.Stop();
  host_.SetDspActive(true);
  const size_t before = host_.WriteSizes().size();
  host_.SetFreeBytes(8191);
  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= 40; }));
  EXPECT_EQ(host_.WriteSizes().size(), before);
  host_.SetFreeBytes(8192);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= before + 2; }));
  host_.Stop();
}

TEST_F(BlockSize, AnEffectHookThatDoublesABlockIsWrittenWhole) {
  Start(false);
  host_.SetDspActive(true);
  // Every frame twice: the block grows to 2048 frames in place.
  host_.SetDsp([](short* samples, int frames, int, int channels, int) {
    for (int f = frames - 1; f >= 0; --f) {
      for (int c = 0; c < channels; ++c) {
        samples[(2 * f + 1) * channels + c] = samples[f * channels + c];
        samples[(2 * f) * channels + c] = samples[f * channels + c];
      }
    }
    return frames * 2;
  });
  ASSERT_EQ(host_.Play(song_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  Reference ref = RenderReference(song_);
  std::vector<int> sizes = host_.WriteSizes();
  ASSERT_EQ(sizes.size(), ref.blockFrames.size());
  for (size_t i = 0; i < sizes.size(); ++i) ASSERT_EQ(sizes[i], ref.blockFrames[i] * 8);
  std::vector<uint8_t> written = host_.Written();
  ASSERT_EQ(written.size(), ref.pcm.size() * 2);
  for (size_t f = 0; f < ref.pcm.size() / 4; f += 997) {
    EXPECT_EQ(std::memcmp(&written[f * 8], &ref.pcm[f * 4], 4), 0) << "frame " << f;
    EXPECT_EQ(std::memcmp(&written[f * 8 + 4], &ref.pcm[f * 4], 4), 0) << "frame " << f;
  }
  // The visualisation saw the blocks before the effect, stamped as usual.
  std::vector<PcmCall> sa = host_.SaPcm();
  ASSERT_EQ(sa.size(), sizes.size());
  EXPECT_EQ(sa.back().timestamp, static_cast<int>(sa.size() - 1) * 23);
}

}  // namespace
