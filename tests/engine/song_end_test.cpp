// Every song ends: a jump back to the start (B00) is ignored, an XM speed of zero
// stops the song, a start past the end does not wrap, and a song too long to
// measure still loads, with its length unknown, and plays.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

// BasicSpec: 64-row patterns at speed 3, tempo 125: 64 * 3 * 2.5 / 125 = 3.84 s.
constexpr double kOrderSeconds = 3.84;

TEST(SongEnd, LoopJumpToStartPlaysEachOrderOnce) {
  for (int orders : {1, 3, 5}) {
    LoadedModule module(0, zsfsynth::MakeItWithLoopJump(orders));
    ASSERT_NE(module.duh, nullptr);
    const double expected = orders * kOrderSeconds;
    EXPECT_NEAR(module.length() / double(kSecond), expected, 0.01) << orders << " orders";

    SongRenderer renderer(module.duh, 2, 0);
    long frames = renderer.FramesToEnd(FramesOf(expected * 3));
    EXPECT_NEAR(frames / 44100.0, expected, 0.03) << "playback stops after one pass";
  }
}

TEST(SongEnd, XmSpeedZeroEndsTheSongThere) {
  for (int row : {0, 8, 40}) {
    LoadedModule module(1, zsfsynth::MakeXmWithSpeedZero(row));
    ASSERT_NE(module.duh, nullptr);
    // Rows before the F00 play at speed 6, tempo 125: 0.12 s each.
    const double expected = row * 0.12;
    EXPECT_NEAR(module.length() / double(kSecond), expected, 0.01) << "row " << row;

    SongRenderer renderer(module.duh, 2, 0);
    long frames = renderer.FramesToEnd(FramesOf(60));
    EXPECT_NEAR(frames / 44100.0, expected, 0.03) << "row " << row;
  }
}

TEST(SongEnd, AStartNearOrPastTheEndNeverWraps) {
  // The run-up to a start position stops at the song's end as playing does: near the
  // end only the rest plays; at or past it (or beyond what the engine can address)
  // there is no renderer at all, never the song again from its start.
  LoadedModule module(0, zsfsynth::MakeItWithLoopJump(2));
  ASSERT_NE(module.duh, nullptr);
  const double length = 2 * kOrderSeconds;
  SongRenderer near(module.duh, 2, 7 * kSecond);
  ASSERT_NE(near.sr, nullptr);
  EXPECT_NEAR(near.FramesToEnd(FramesOf(length)) / 44100.0, length - 7, 0.03);
  for (int64_t past : {int64_t{8} * kSecond, int64_t{100} * kSecond, kEngineMaxPosition + 1}) {
    DUH_SIGRENDERER* sr = EngineStartRenderer(module.duh, 2, past);
    EXPECT_EQ(sr, nullptr) << past;
    EngineEndRenderer(sr);
  }
}

TEST(SongEnd, LengthBeyondTwoHoursIsUnknownButTheSongPlays) {
  // Speed 255 at tempo 32: a row lasts 255 * 2.5 / 32 = 19.92 s, so three 200-row
  // patterns take 3.3 hours.
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 1, 3);
  spec.speed = 255;
  spec.tempo = 32;
  for (auto& pattern : spec.patterns) {
    pattern.Resize(200, spec.channels);
    pattern.At(0, 0, spec.channels).note = zsfsynth::NoteOf(5, 0);
    pattern.At(0, 0, spec.channels).instrument = 1;
  }
  spec.samples[0].loop = true;
  LoadedModule module(0, SynthBytes(spec, 0));
  ASSERT_NE(module.duh, nullptr);
  EXPECT_EQ(module.length(), kEngineLengthUnknown);

  SongRenderer start(module.duh, 2, 0);
  EXPECT_EQ(start.Frames(4096).size(), 4096u * 2);
  // A seek into the measured part (checkpoints exist up to two hours) works too.
  SongRenderer later(module.duh, 2, 3600 * kSecond);
  ASSERT_NE(later.sr, nullptr);
  EXPECT_EQ(later.Frames(1024).size(), 1024u * 2);
}

}  // namespace
