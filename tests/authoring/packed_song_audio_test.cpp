// The plug-in playing a packed song writes, sample for sample, what the engine
// renders from the original module with the plug-in's settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/module_sets.h"
#include "support/engine_render.h"
#include "support/test_host.h"

using namespace zsftest;

namespace {

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
    // The whole module as the decode thread renders it with the default settings.
    std::vector<uint8_t> expected = RenderModule(FileKindOf(chosen[i]->name), chosen[i]->bytes).pcm;
    ASSERT_FALSE(expected.empty());
    std::vector<uint8_t> played = PluginPlays(dir.file(result.songs[i].fileName));
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected) << "the plug-in's audio differs from the module's";
  }
}

}  // namespace
