// Jump-to-order (effect B) is ignored everywhere: in playback, in the length, and
// in the seek checkpoints, so a seek lands where straight playback is at that time.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

constexpr double kOrderSeconds = 3.84;  // BasicSpec: 64 rows at speed 3, tempo 125

// ORDERS distinct patterns; the first ends with a jump to the last order. Notes
// fall irregularly, at varying volumes, so every stretch of the song has its own
// loudness curve.
zsfsynth::ModuleSpec ForwardJumpSpec(int orders, bool withJump) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 2, orders);
  for (int p = 0; p < orders; ++p) {
    zsfsynth::PatternSpec& pattern = spec.patterns[p];
    pattern.Resize(64, spec.channels);
    for (int row = 0; row < 64; ++row) {
      if ((row * 7 + p * 3) % 11 >= 3) continue;
      zsfsynth::Cell& c = pattern.At(static_cast<uint16_t>(row), 0, spec.channels);
      c.note = zsfsynth::NoteOf(4, (row + p) % 12);
      c.instrument = 1;
      c.volume = static_cast<uint8_t>(8 + (row * 13 + p * 7) % 57);
    }
  }
  spec.samples[0].decay = 3.0;
  if (withJump) {
    zsfsynth::Cell& c = spec.patterns.front().At(63, 1, spec.channels);
    c.effect = zsfsynth::kFxItJump;
    c.param = static_cast<uint8_t>(orders - 1);
  }
  return spec;
}

std::vector<int16_t> WholeSong(DUH* duh, double maxSeconds) {
  SongRenderer renderer(duh, 2, 0);
  return renderer.Frames(FramesOf(maxSeconds));
}

TEST(JumpToOrder, ForwardJumpPlaysTheSkippedOrdersInSequence) {
  LoadedModule jumping(0, zsfsynth::MakeItWithForwardJump(4));
  ASSERT_NE(jumping.duh, nullptr);
  EXPECT_NEAR(jumping.length() / double(kSecond), 4 * kOrderSeconds, 0.01);

  // The song with the jump sounds exactly like the same song without it.
  LoadedModule with(0, SynthBytes(ForwardJumpSpec(5, true), 0));
  LoadedModule without(0, SynthBytes(ForwardJumpSpec(5, false), 0));
  ASSERT_NE(with.duh, nullptr);
  ASSERT_NE(without.duh, nullptr);
  EXPECT_EQ(with.length(), without.length());
  std::vector<int16_t> a = WholeSong(with.duh, 60);
  std::vector<int16_t> b = WholeSong(without.duh, 60);
  EXPECT_NEAR(a.size() / 2 / 44100.0, 5 * kOrderSeconds, 0.03);
  EXPECT_TRUE(a == b) << "the jump changed what is heard";
}

TEST(JumpToOrder, SeekLandsWhereStraightPlaybackIsAtThatTime) {
  // 10 orders: 38.4 s, so seeks past 30 s start from the second checkpoint.
  LoadedModule module(0, SynthBytes(ForwardJumpSpec(10, true), 0));
  ASSERT_NE(module.duh, nullptr);
  ASSERT_NEAR(module.length() / double(kSecond), 10 * kOrderSeconds, 0.01);
  std::vector<int16_t> straight = WholeSong(module.duh, 60);

  const long compare = FramesOf(1.5);
  for (int second : {2, 9, 31, 34}) {
    SongRenderer seek(module.duh, 2, second * kSecond);
    ASSERT_NE(seek.sr, nullptr);
    std::vector<int16_t> landed = seek.Frames(compare);
    ASSERT_EQ(landed.size(), static_cast<size_t>(compare * 2));
    ASSERT_LE(static_cast<size_t>(FramesOf(second + 3.5)) * 2, straight.size());
    EXPECT_LT(LoudnessDifference(straight, FramesOf(second), landed), 0.01)
        << "seek to " << second << " s";
    // And it is not just any music: other places sound different.
    for (double off : {-0.5, 0.24, 1.0})
      EXPECT_GT(LoudnessDifference(straight, FramesOf(second + off), landed), 0.05)
          << "seek to " << second << " s vs " << off;
  }
}

TEST(JumpToOrder, DefaultSwitchAndSetupBothIgnoreTheJump) {
  // Whatever the process-wide default, the length is measured with B ignored and
  // ConfigureRenderer turns the switch on for playback.
  for (int on : {0, 1}) {
    EngineSetDefaultIgnoreJump(on);
    LoadedModule module(0, zsfsynth::MakeItWithForwardJump(4));
    ASSERT_NE(module.duh, nullptr);
    EXPECT_NEAR(module.length() / double(kSecond), 4 * kOrderSeconds, 0.01);
    SongRenderer renderer(module.duh, 2, 0);
    EXPECT_NEAR(renderer.FramesToEnd(FramesOf(60)) / 44100.0, 4 * kOrderSeconds, 0.03);
  }
  EngineSetDefaultIgnoreJump(1);
}

}  // namespace
