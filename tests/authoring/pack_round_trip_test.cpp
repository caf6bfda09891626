// Packing then exporting gives the module back byte for byte: for every module kind
// the synthesiser makes and every real module present, in every song version that
// rebuilds (1.12 on), every pack version, with and without compression and
// scrambling. IT modules with compressed samples come back as their plain-PCM
// rewrite.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "authoring_fixtures.h"

using namespace authoringtest;

namespace {

struct Versions {
  uint8_t major, minor;
};
const Versions kSongVersions[] = {{1, 12}, {1, 15}, {1, 19}, {2, 0}, {2, 1}, {2, 2}};
const Versions kPackVersions[] = {{0, 0}, {1, 0},  {1, 23}, {1, 26}, {1, 28},
                                  {1, 29}, {1, 36}, {2, 0},  {2, 2},  {2, 3}};
const char kPassword[] = "Rosebud";

using Param = std::tuple<Versions, Versions, bool, bool>;  // song, pack, compress, scramble

std::string ParamName(const testing::TestParamInfo<Param>& info) {
  const Versions& s = std::get<0>(info.param);
  const Versions& p = std::get<1>(info.param);
  return "song" + std::to_string(s.major) + "_" + std::to_string(s.minor) + "_pack" +
         std::to_string(p.major) + "_" + std::to_string(p.minor) +
         (std::get<2>(info.param) ? "_lzo" : "") + (std::get<3>(info.param) ? "_scrambled" : "");
}

std::vector<Param> AllParams() {
  std::vector<Param> out;
  for (const Versions& s : kSongVersions)
    for (const Versions& p : kPackVersions)
      for (bool compress : {false, true})
        for (bool scramble : {false, true}) {
          // Scrambling needs a pack that has the flag (1.23 on); refusal tested apart.
          if (scramble && p.major < 2 && !(p.major == 1 && p.minor >= 23)) continue;
          out.emplace_back(s, p, compress, scramble);
        }
  return out;
}

class PackRoundTrip : public testing::TestWithParam<Param> {
 protected:
  zsfpack::PackOptions Options() const {
    zsfpack::PackOptions o;
    o.songMajor = std::get<0>(GetParam()).major;
    o.songMinor = std::get<0>(GetParam()).minor;
    o.packMajor = std::get<1>(GetParam()).major;
    o.packMinor = std::get<1>(GetParam()).minor;
    o.compress = std::get<2>(GetParam());
    o.password = std::get<3>(GetParam()) ? kPassword : "";
    o.packName = "shared.zsp";
    return o;
  }
  bool PackHasWidth() const {
    const Versions& p = std::get<1>(GetParam());
    return p.major >= 2 || (p.major == 1 && p.minor >= 26);
  }

  // Packs MODULES into one shared pack, writes everything into a folder and
  // exports every song again.
  void ExpectRoundTrip(const std::vector<TestModule>& modules) {
    zsfpack::PackOptions o = Options();
    std::vector<const TestModule*> packable;
    for (const TestModule& m : modules) {
      if (m.sixteenBitConverted && !PackHasWidth()) {
        // Such a pack cannot say that a sample is 16-bit, and the rebuild would
        // convert it as 8-bit: the packer refuses, naming the module.
        zsfpack::PackResult refused;
        zsfpack::PackError error;
        EXPECT_FALSE(zsfpack::PackModules(Inputs({&m}), o, &refused, &error)) << m.name;
        EXPECT_EQ(error.path, m.name);
        EXPECT_NE(error.reason.find("1.26"), std::string::npos) << error.Text();
        continue;
      }
      packable.push_back(&m);
    }
    if (packable.empty()) return;
    zsfpack::PackResult result;
    zsfpack::PackError error;
    ASSERT_TRUE(zsfpack::PackModules(Inputs(packable), o, &result, &error)) << error.Text();
    ASSERT_EQ(result.songs.size(), packable.size());
    zsftest::TempDir dir;
    zsftest::WriteFile(dir.file("shared.zsp"), result.pack);
    for (const zsfpack::PackedSong& song : result.songs) zsftest::WriteFile(dir.file(song.fileName), song.bytes);
    for (size_t i = 0; i < packable.size(); ++i) {
      const TestModule& m = *packable[i];
      SCOPED_TRACE(m.name);
      EXPECT_EQ(result.songs[i].fileName, Stem(m.name) + ".zsf");
      EXPECT_TRUE(result.songs[i].module == m.expected);
      int step = -1;
      std::vector<uint8_t> back = Export(dir.file(result.songs[i].fileName), o.password, &step);
      ASSERT_EQ(step, 0);
      EXPECT_EQ(back.size(), m.expected.size());
      EXPECT_TRUE(back == m.expected) << "the exported module differs";
    }
  }
};

TEST_P(PackRoundTrip, SynthesisedModulesComeBackByteForByte) { ExpectRoundTrip(SynthModules()); }

TEST_P(PackRoundTrip, RealModulesComeBackByteForByte) {
  if (RealModules().empty()) GTEST_SKIP() << "no real modules in " << ZSF_SHARED_MODULES;
  ExpectRoundTrip(RealModules());
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, PackRoundTrip, testing::ValuesIn(AllParams()), ParamName);

TEST(PackRoundTripInputs, CompressedItModulesComeBackAsTheirPlainPcmRewrite) {
  int rewritten = 0;
  for (const TestModule& m : SynthModules()) {
    if (m.bytes != m.expected) {
      ++rewritten;
      EXPECT_LT(m.bytes.size(), m.expected.size()) << m.name << ": the compressed form is the smaller";
    }
  }
  // Both instrument modules hold compressed samples; the plain sample-mode IT does not.
  EXPECT_EQ(rewritten, 2);
  EXPECT_TRUE(SynthModules()[0].bytes == SynthModules()[0].expected);
}

}  // namespace
