// The sound-device output, run on libao's null driver (which takes audio at once):
// what CanWrite, IsPlaying and the two clocks report around pause, flush and close.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/audio_output.h"

namespace {

constexpr int kStereo16Nominal = 44100 * 4 / 2;  // half a second

// Waits for the output's thread to hand everything to the driver.
bool PlaysOut(AudioOutput& out) {
  for (int i = 0; i < 10000 && out.IsPlaying(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return out.IsPlaying() == 0;
}

class NullAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!AudioOutput::Probe(&why, "null")) GTEST_SKIP() << "libao null driver: " << why;
  }
  AudioOutput out_{"null"};
};

TEST_F(NullAudio, BuffersHalfASecondAndReportsItTruthfully) {
  ASSERT_EQ(out_.Open(44100, 2, 16, -1, -1), 500);
  EXPECT_EQ(out_.CanWrite(), kStereo16Nominal);
  EXPECT_EQ(out_.IsPlaying(), 0);
  EXPECT_EQ(out_.Pause(1), 0);

  std::vector<char> block(4096, 1);
  EXPECT_EQ(out_.Write(block.data(), 4096), 0);
  EXPECT_EQ(out_.CanWrite(), kStereo16Nominal - 4096);
  EXPECT_EQ(out_.IsPlaying(), 1) << "paused audio is still to be played";
  EXPECT_EQ(out_.GetWrittenTime(), 23);
  EXPECT_EQ(out_.GetOutputTime(), 0) << "nothing played while paused";

  // Fill the nominal size: no room is offered, yet a lengthened block still fits.
  int filled = 4096;
  while (out_.CanWrite() >= 4096) {
    ASSERT_EQ(out_.Write(block.data(), 4096), 0);
    filled += 4096;
  }
  int rest = out_.CanWrite();
  ASSERT_EQ(out_.Write(block.data(), rest), 0);
  filled += rest;
  EXPECT_EQ(out_.CanWrite(), 0);
  EXPECT_EQ(out_.Write(block.data(), 4096), 0);
  filled += 4096;
  // Far more than that is refused rather than overwriting what waits to be played.
  std::vector<char> huge(1 << 20);
  EXPECT_NE(out_.Write(huge.data(), int(huge.size())), 0);

  EXPECT_EQ(out_.Pause(0), 1);
  ASSERT_TRUE(PlaysOut(out_));
  EXPECT_EQ(out_.GetOutputTime(), filled * 1000LL / (44100 * 4));
  EXPECT_EQ(out_.GetOutputTime(), out_.GetWrittenTime());
  EXPECT_EQ(out_.CanWrite(), kStereo16Nominal);
  out_.Close();
}

TEST(AudioOutput, AnUnknownDriverCannotBeOpened) {
  std::string why;
  EXPECT_FALSE(AudioOutput::Probe(&why, "no-such-driver"));
  EXPECT_NE(why.find("no-such-driver"), std::string::npos) << why;
  AudioOutput out("no-such-driver");
  EXPECT_LT(out.Open(44100, 2, 16, -1, -1), 0);
  EXPECT_NE(out.error().find("no-such-driver"), std::string::npos);
  EXPECT_LT(out.Open(44100, 6, 16, -1, -1), 0);
}

}  // namespace
