// Real modules of every kind load, report the playing time listed beside them, and
// play to exactly that length. Skipped when the shared module folder is absent.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "support/engine_render.h"
#include "support/files.h"

using namespace zsftest;

namespace {

const std::string kModules = ZSF_SHARED_MODULES;

// file (relative) -> duration in seconds, from the folder's MANIFEST.tsv.
std::map<std::string, double> Durations() {
  std::map<std::string, double> out;
  std::ifstream in(kModules + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, '\t')) fields.push_back(field);
    if (fields.size() > 7) out[fields[0]] = std::stod(fields[7]);
  }
  return out;
}

uint32_t KindOf(const std::string& file) {
  if (file.rfind("it/", 0) == 0) return 0;
  if (file.rfind("xm/", 0) == 0) return 1;
  if (file.rfind("s3m/", 0) == 0) return 2;
  return 3;
}

TEST(RealModules, LoadWithTheirListedLengthAndPlayExactlyThatLong) {
  std::map<std::string, double> durations = Durations();
  if (durations.empty()) GTEST_SKIP() << "no shared modules at " << kModules;
  int kinds[4] = {0, 0, 0, 0};
  for (const auto& [file, seconds] : durations) {
    uint32_t kind = KindOf(file);
    LoadedModule module(kind, zsftest::ReadFile(kModules + "/" + file));
    ASSERT_NE(module.duh, nullptr) << file;
    ++kinds[kind];
    // Listed times come from other players; they agree to a fraction of a second.
    EXPECT_NEAR(module.length() / double(kSecond), seconds, 0.5) << file;
    SongRenderer renderer(module.duh, 2, 0);
    long frames = renderer.FramesToEnd(FramesOf(seconds + 60));
    EXPECT_NEAR(frames / 44100.0, module.length() / double(kSecond), 0.01) << file;
  }
  for (int kind = 0; kind < 4; ++kind) EXPECT_GT(kinds[kind], 0) << "kind " << kind;
}

TEST(RealModules, SeekIntoARealSongMatchesStraightPlayback) {
  const std::string file = kModules + "/it/pingus-data__rough_journey.it";
  if (!zsftest::FileExists(file)) GTEST_SKIP() << "no " << file;
  LoadedModule module(0, zsftest::ReadFile(file));
  ASSERT_NE(module.duh, nullptr);
  SongRenderer straight(module.duh, 2, 0);
  std::vector<int16_t> all = straight.Frames(FramesOf(75));
  for (int second : {20, 65}) {
    SongRenderer seek(module.duh, 2, second * kSecond);
    std::vector<int16_t> landed = seek.Frames(FramesOf(1.5));
    EXPECT_LT(LoudnessDifference(all, FramesOf(second), landed), 0.02) << second << " s";
  }
}

}  // namespace
