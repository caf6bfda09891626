// The render hook sees the freshly mixed samples (channels interleaved in the first
// array, 24-bit scale) before conversion, may change them, and is called also when
// the song has ended and no frames were made.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

struct Seen {
  int calls = 0;
  int zeroFrameCalls = 0;
  long frames = 0;
  int channels = 0;
  int32_t peak = 0;
  bool silence = false;  // replace the mix with silence
  bool invert = false;   // negate the mix
};

void Hook(void* data, int32_t** samples, int channels, long frames) {
  Seen* seen = static_cast<Seen*>(data);
  ++seen->calls;
  if (frames == 0) ++seen->zeroFrameCalls;
  seen->frames += frames;
  seen->channels = channels;
  for (long i = 0; i < frames * channels; ++i) {
    int32_t v = samples[0][i];
    if (v > seen->peak) seen->peak = v;
    if (-v > seen->peak) seen->peak = -v;
    if (seen->silence) samples[0][i] = 0;
    if (seen->invert) samples[0][i] = -v;
  }
}

std::vector<uint8_t> Song() { return SynthBytes(zsfsynth::BasicSpec(0, 2, 2), 0); }

TEST(RenderHook, SeesEveryFrameInterleavedAndIsCalledAtTheEnd) {
  LoadedModule module(0, Song());
  ASSERT_NE(module.duh, nullptr);
  for (int channels : {1, 2}) {
    Seen seen;
    SongRenderer renderer(module.duh, channels, 0);
    EngineSetRenderHook(renderer.sr, Hook, &seen);
    long frames = renderer.FramesToEnd(FramesOf(60));
    EXPECT_EQ(seen.frames, frames);
    EXPECT_EQ(seen.channels, channels);
    EXPECT_GT(seen.peak, 0x10000) << "the mix is at 24-bit scale";
    EXPECT_LT(seen.peak, 0x800000 * 2);
    EXPECT_EQ(seen.zeroFrameCalls, 1) << "the final empty render reaches the hook";
  }
}

TEST(RenderHook, ChangesReachTheOutput) {
  LoadedModule module(0, Song());
  ASSERT_NE(module.duh, nullptr);
  SongRenderer plain(module.duh, 2, 0);
  std::vector<int16_t> reference = plain.Frames(20000);

  Seen silence;
  silence.silence = true;
  SongRenderer silenced(module.duh, 2, 0);
  EngineSetRenderHook(silenced.sr, Hook, &silence);
  for (int16_t v : silenced.Frames(20000)) ASSERT_EQ(v, 0);

  Seen invert;
  invert.invert = true;
  SongRenderer inverted(module.duh, 2, 0);
  EngineSetRenderHook(inverted.sr, Hook, &invert);
  std::vector<int16_t> out = inverted.Frames(20000);
  ASSERT_EQ(out.size(), reference.size());
  long differing = 0;
  for (size_t i = 0; i < out.size(); ++i)
    if (std::abs(out[i] + reference[i]) > 1) ++differing;
  EXPECT_EQ(differing, 0) << "the output is the negated mix";

  // A hook that changes nothing leaves the output as it was; removed, it is not called.
  Seen seen;
  SongRenderer hooked(module.duh, 2, 0);
  EngineSetRenderHook(hooked.sr, Hook, &seen);
  EXPECT_TRUE(hooked.Frames(20000) == reference);
  int calls = seen.calls;
  EngineSetRenderHook(hooked.sr, nullptr, nullptr);
  hooked.Frames(4096);
  EXPECT_EQ(seen.calls, calls);
}

TEST(RenderHook, NoRendererMeansNothingHappens) {
  EngineSetRenderHook(nullptr, Hook, nullptr);
  ConfigureRenderer(nullptr);
  int16_t buffer[2048];
  EXPECT_EQ(EngineRender(nullptr, 16, 0, 0.8f, kDelta, 1024, buffer), 0);
  EngineEndRenderer(nullptr);
  EXPECT_EQ(EngineStartRenderer(nullptr, 2, 0), nullptr);
  EXPECT_EQ(EngineGetLength(nullptr), 0);
  EngineUnload(nullptr);
}

}  // namespace
