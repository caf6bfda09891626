// The plug-in playing a packed song writes, sample for sample, what the engine
// renders from the original module with the plug-in's settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "authoring_fixtures.h"
#include "engine/engine.h"
#include "support/test_host.h"

using namespace authoringtest;

namespace {

// The whole song as the decode thread renders it: 16-bit stereo at 44100 Hz in
// blocks of 1024 frames, volume 0.8, jump-to-order ignored, stopping at the end.
std::vector<uint8_t> EngineRenders(uint32_t kind, const std::vector<uint8_t>& module) {
  DUH* duh = EngineReadModule(kind, module.data(), static_cast<uint32_t>(module.size()));
  EXPECT_NE(duh, nullptr);
  if (!duh) return {};
  DUH_SIGRENDERER* sr = EngineStartRenderer(duh, 2, 0);
  ConfigureRenderer(sr);
  std::vector<uint8_t> out;
  std::vector<int16_t> block(1024 * 2);
  for (;;) {
    long frames = EngineRender(sr, 16, 0, 0.8f, 65536.0f / 44100.0f, 1024, block.data());
    if (frames <= 0) break;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(block.data());
    out.insert(out.end(), bytes, bytes + frames * 4);
  }
  EngineEndRenderer(sr);
  EngineUnload(duh);
  return out;
}

std::vector<uint8_t> PluginPlays(const std::string& song) {
  zsftest::TestHost host;
  EXPECT_TRUE(host.ok()) << host.error();
  if (!host.ok()) return {};
  host.Init();
  if (host.Play(song) != 0) {
    ADD_FAILURE() << "Play refused " << song;
    return {};
  }
  EXPECT_TRUE(host.WaitForEndMessages(1));
  host.Stop();
  return host.Written();
}

TEST(PackedSongAudio, ThePluginPlaysWhatTheEngineRendersFromTheModule) {
  EngineSetDefaultIgnoreJump(1);  // as the plug-in's Init does
  // Every kind: compressed IT, multi-sample XM, unsigned and signed S3M, MOD of 4
  // and 8 channels; the pack LZO-compressed.
  const std::vector<TestModule>& all = SynthModules();
  std::vector<const TestModule*> chosen = {&all[1], &all[4], &all[5], &all[6], &all[7], &all[8]};
  zsfpack::PackOptions o;
  o.packName = "audio.zsp";
  o.compress = true;
  zsfpack::PackResult result;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs(chosen), o, &result, &error)) << error.Text();
  zsftest::TempDir dir;
  ASSERT_TRUE(zsfpack::WritePackResult(result, dir.path(), dir.file("audio.zsp"), &error)) << error.Text();
  for (size_t i = 0; i < chosen.size(); ++i) {
    SCOPED_TRACE(chosen[i]->name);
    std::vector<uint8_t> expected = EngineRenders(FileKindOf(chosen[i]->name), chosen[i]->bytes);
    ASSERT_FALSE(expected.empty());
    std::vector<uint8_t> played = PluginPlays(dir.file(result.songs[i].fileName));
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected) << "the plug-in's audio differs from the module's";
  }
}

}  // namespace
