// Real modules of every kind load, report the playing time listed beside them, play
// to exactly that length, and a seek into one lands where straight playback is.
// Skipped when the shared module folder is absent.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/build_paths.h"
#include "support/engine_render.h"
#include "support/files.h"

using namespace zsftest;

TEST(RealModules, LoadWithTheirListedLengthAndPlayExactlyThatLong) {
  std::ifstream manifest(std::string(ZSF_SHARED_MODULES) + "/MANIFEST.tsv");
  if (!manifest) GTEST_SKIP() << "no shared modules at " << ZSF_SHARED_MODULES;
  int kinds[4] = {0, 0, 0, 0};
  std::string line;
  std::getline(manifest, line);  // header
  while (std::getline(manifest, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string field; std::getline(ss, field, '\t');) fields.push_back(field);
    if (fields.size() <= 7) continue;
    const std::string& file = fields[0];
    const double seconds = std::stod(fields[7]);
    const uint32_t kind = file.rfind("it/", 0) == 0 ? 0 : file.rfind("xm/", 0) == 0 ? 1 : file.rfind("s3m/", 0) == 0 ? 2 : 3;
    LoadedModule module(kind, ReadFile(std::string(ZSF_SHARED_MODULES) + "/" + file));
    ASSERT_NE(nullptr, module.duh) << file;
    ++kinds[kind];
    // Listed times come from other players; they agree to a fraction of a second.
    EXPECT_NEAR(seconds, module.length() / double(kSecond), 0.5) << file;
    long frames = SongRenderer(module.duh, 2, 0).FramesToEnd(FramesOf(seconds + 60));
    EXPECT_NEAR(module.length() / double(kSecond), frames / 44100.0, 0.01) << file;
    if (file != "it/pingus-data__rough_journey.it") continue;
    std::vector<int16_t> all = SongRenderer(module.duh, 2, 0).Frames(FramesOf(75));
    for (int second : {20, 65}) {
      std::vector<int16_t> landed = SongRenderer(module.duh, 2, second * kSecond).Frames(FramesOf(1.5));
      EXPECT_LT(LoudnessDifference(all, FramesOf(second), landed), 0.02) << second << " s";
    }
  }
  for (int kind = 0; kind < 4; ++kind) EXPECT_GT(kinds[kind], 0) << "kind " << kind;
}
