// Every song ends and seeks land where straight playback is: jumps (effect B) are
// ignored in playback, length and seek checkpoints; an XM speed of zero stops the
// song; a start at or past the end never wraps; a song too long to measure still
// plays. And the render hook sees (and may change) every mixed frame.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/jump_songs.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

constexpr double kOrderSeconds = 3.84;  // BasicSpec: 64 rows at speed 3, tempo 125

// ORDERS distinct patterns; the first may end with a jump to the last order. Notes
// fall irregularly, at varying volumes, so every stretch has its own loudness curve.
zsfsynth::ModuleSpec ForwardJumpSpec(int orders, bool withJump) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 2, orders);
  for (int p = 0; p < orders; ++p) {
    spec.patterns[p].Resize(64, spec.channels);
    for (int row = 0; row < 64; ++row) {
      if ((row * 7 + p * 3) % 11 >= 3) continue;
      zsfsynth::Cell& c = spec.patterns[p].At(static_cast<uint16_t>(row), 0, spec.channels);
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

double Seconds(long frames) { return frames / 44100.0; }

}  // namespace

TEST(SongEnd, JumpsAreIgnoredEverywhere) {
  // A forward jump: the song sounds exactly like the same song without it, whatever
  // the process-wide default (the renderer setup turns the switch on).
  for (int on : {0, 1}) {
    EngineSetDefaultIgnoreJump(on);
    LoadedModule jumping(0, MakeItWithForwardJump(4));
    EXPECT_NEAR(4 * kOrderSeconds, jumping.length() / double(kSecond), 0.01);
    EXPECT_NEAR(4 * kOrderSeconds, Seconds(SongRenderer(jumping.duh, 2, 0).FramesToEnd(FramesOf(60))), 0.03);
  }
  EngineSetDefaultIgnoreJump(1);
  LoadedModule with(0, SynthBytes(ForwardJumpSpec(5, true), 0)), without(0, SynthBytes(ForwardJumpSpec(5, false), 0));
  EXPECT_EQ(without.length(), with.length());
  std::vector<int16_t> a = SongRenderer(with.duh, 2, 0).Frames(FramesOf(60));
  EXPECT_NEAR(5 * kOrderSeconds, Seconds(a.size() / 2), 0.03);
  EXPECT_TRUE(a == SongRenderer(without.duh, 2, 0).Frames(FramesOf(60))) << "the jump changed what is heard";
  // A jump back to the start (B00): each order plays once.
  for (int orders : {1, 3, 5}) {
    LoadedModule module(0, MakeItWithLoopJump(orders));
    EXPECT_NEAR(orders * kOrderSeconds, module.length() / double(kSecond), 0.01) << orders;
    EXPECT_NEAR(orders * kOrderSeconds, Seconds(SongRenderer(module.duh, 2, 0).FramesToEnd(FramesOf(60))), 0.03);
  }
}

TEST(SongEnd, SeekLandsWhereStraightPlaybackIsAtThatTime) {
  // 10 orders: 38.4 s, so seeks past 30 s start from the second checkpoint.
  LoadedModule module(0, SynthBytes(ForwardJumpSpec(10, true), 0));
  ASSERT_NEAR(10 * kOrderSeconds, module.length() / double(kSecond), 0.01);
  std::vector<int16_t> straight = SongRenderer(module.duh, 2, 0).Frames(FramesOf(60));
  for (int second : {2, 9, 31, 34}) {
    std::vector<int16_t> landed = SongRenderer(module.duh, 2, second * kSecond).Frames(FramesOf(1.5));
    ASSERT_EQ(static_cast<size_t>(FramesOf(1.5) * 2), landed.size());
    EXPECT_LT(LoudnessDifference(straight, FramesOf(second), landed), 0.01) << "seek to " << second << " s";
    for (double off : {-0.5, 0.24, 1.0})  // and it is not just any music
      EXPECT_GT(LoudnessDifference(straight, FramesOf(second + off), landed), 0.05) << second << " s vs " << off;
  }
}

TEST(SongEnd, SpeedZeroStartsPastTheEndAndSongsTooLongToMeasure) {
  for (int row : {0, 8, 40}) {  // rows before the F00 play at speed 6, tempo 125: 0.12 s each
    LoadedModule module(1, MakeXmWithSpeedZero(row));
    EXPECT_NEAR(row * 0.12, module.length() / double(kSecond), 0.01) << "row " << row;
    EXPECT_NEAR(row * 0.12, Seconds(SongRenderer(module.duh, 2, 0).FramesToEnd(FramesOf(60))), 0.03) << "row " << row;
  }
  // Near the end only the rest plays; at or past it (or beyond what the engine can
  // address) there is no renderer at all, never the song again from its start.
  LoadedModule two(0, MakeItWithLoopJump(2));
  EXPECT_NEAR(2 * kOrderSeconds - 7, Seconds(SongRenderer(two.duh, 2, 7 * kSecond).FramesToEnd(FramesOf(60))), 0.03);
  for (int64_t past : {int64_t{8} * kSecond, int64_t{100} * kSecond, kEngineMaxPosition + 1})
    EXPECT_EQ(nullptr, EngineStartRenderer(two.duh, 2, past)) << past;
  LoadedModule endless(0, SynthBytes(EndlessSpec(), 0));
  EXPECT_EQ(kEngineLengthUnknown, endless.length());
  EXPECT_EQ(4096u * 2, SongRenderer(endless.duh, 2, 0).Frames(4096).size());
  EXPECT_EQ(1024u * 2, SongRenderer(endless.duh, 2, 3600 * kSecond).Frames(1024).size())
      << "checkpoints exist up to two hours";
}

namespace {

struct Seen {
  int calls = 0, zeroFrameCalls = 0, channels = 0;
  long frames = 0;
  int32_t peak = 0;
  int change = 0;  // 0 keep, 1 silence, 2 negate
};

void Hook(void* data, int32_t** samples, int channels, long frames) {
  Seen* seen = static_cast<Seen*>(data);
  ++seen->calls;
  seen->zeroFrameCalls += frames == 0;
  seen->frames += frames;
  seen->channels = channels;
  for (long i = 0; i < frames * channels; ++i) {
    seen->peak = std::max(seen->peak, std::abs(samples[0][i]));
    samples[0][i] = seen->change == 0 ? samples[0][i] : seen->change == 1 ? 0 : -samples[0][i];
  }
}

}  // namespace

TEST(RenderHook, SeesEveryFrameInterleavedAtTwentyFourBitsAndMayChangeThem) {
  LoadedModule module(0, SynthBytes(zsfsynth::BasicSpec(0, 2, 2), 0));
  for (int channels : {1, 2}) {
    Seen seen;
    SongRenderer renderer(module.duh, channels, 0);
    EngineSetRenderHook(renderer.sr, Hook, &seen);
    EXPECT_EQ(renderer.FramesToEnd(FramesOf(60)), seen.frames);
    EXPECT_EQ(channels, seen.channels);
    EXPECT_GT(seen.peak, 0x10000) << "the mix is at 24-bit scale";
    EXPECT_LT(seen.peak, 0x800000 * 2);
    EXPECT_EQ(1, seen.zeroFrameCalls) << "the final empty render reaches the hook";
  }
  std::vector<int16_t> reference = SongRenderer(module.duh, 2, 0).Frames(20000);
  for (int change : {0, 1, 2}) {
    Seen seen;
    seen.change = change;
    SongRenderer hooked(module.duh, 2, 0);
    EngineSetRenderHook(hooked.sr, Hook, &seen);
    std::vector<int16_t> out = hooked.Frames(20000);
    ASSERT_EQ(reference.size(), out.size());
    long differing = 0;
    for (size_t i = 0; i < out.size(); ++i)
      differing += std::abs(out[i] - (change == 0 ? reference[i] : change == 1 ? 0 : -reference[i])) > (change == 2);
    EXPECT_EQ(0, differing) << "change " << change;
    const int calls = seen.calls;
    EngineSetRenderHook(hooked.sr, nullptr, nullptr);  // removed, it is not called
    hooked.Frames(4096);
    EXPECT_EQ(calls, seen.calls);
  }
  EngineSetRenderHook(nullptr, Hook, nullptr);  // no renderer: nothing happens
  ConfigureRenderer(nullptr);
  int16_t buffer[2048];
  EXPECT_EQ(0, EngineRender(nullptr, 16, 0, 0.8f, kDelta, 1024, buffer));
  EngineEndRenderer(nullptr);
  EXPECT_EQ(nullptr, EngineStartRenderer(nullptr, 2, 0));
  EXPECT_EQ(0, EngineGetLength(nullptr));
  EngineUnload(nullptr);
}
