// Packing then exporting gives the module back byte for byte: for every module kind
// the synthesiser makes and every real module present, in song and pack versions at
// each layout change, with and without compression and scrambling. IT modules with
// compressed samples come back as their plain-PCM rewrite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

struct Versions {
  uint8_t major, minor;
};
// The song versions that rebuild, at their layout changes, and the pack versions
// at theirs (type byte, scrambling, widths, coded and empty slots, version 2).
const Versions kSongVersions[] = {{1, 12}, {1, 19}, {2, 2}};
const Versions kPackVersions[] = {{0, 0}, {1, 23}, {1, 26}, {1, 29}, {2, 0}, {2, 3}};
const char kPassword[] = "Rosebud";

bool HasWidth(Versions p) { return p.major >= 2 || (p.major == 1 && p.minor >= 26); }

// Packs MODULES into one shared pack, writes everything into a folder and exports
// every song again.
void ExpectRoundTrip(const std::vector<TestModule>& modules, const zsfpack::PackOptions& o, bool packHasWidth) {
  std::vector<const TestModule*> packable;
  for (const TestModule& m : modules) {
    if (m.sixteenBitConverted && !packHasWidth) {
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
  TempDir dir;
  WriteFile(dir.file("shared.zsp"), result.pack);
  for (const zsfpack::PackedSong& song : result.songs) WriteFile(dir.file(song.fileName), song.bytes);
  for (size_t i = 0; i < packable.size(); ++i) {
    const TestModule& m = *packable[i];
    SCOPED_TRACE(m.name);
    EXPECT_EQ(result.songs[i].fileName, Stem(m.name) + ".zsf");
    EXPECT_TRUE(result.songs[i].module == m.expected);
    int step = -1;
    std::vector<uint8_t> back = Export(dir.file(result.songs[i].fileName), o.password, &step);
    ASSERT_EQ(step, 0);
    EXPECT_TRUE(back == m.expected) << "the exported module differs";
  }
}

TEST(PackRoundTrip, EveryModuleComesBackByteForByteInEveryVersion) {
  int round = 0;
  for (const Versions& s : kSongVersions) {
    for (const Versions& p : kPackVersions) {
      // Compression and scrambling alternate over the versions; scrambling needs a
      // pack that has the flag (1.23 on).
      const bool compress = round % 2 == 0;
      const bool scramble = round++ % 3 != 0 && (p.major >= 2 || p.minor >= 23);
      SCOPED_TRACE(testing::Message() << "song " << int(s.major) << "." << int(s.minor) << " pack " << int(p.major)
                                      << "." << int(p.minor) << (compress ? " lzo" : "") << (scramble ? " scrambled" : ""));
      zsfpack::PackOptions o;
      o.songMajor = s.major;
      o.songMinor = s.minor;
      o.packMajor = p.major;
      o.packMinor = p.minor;
      o.compress = compress;
      o.password = scramble ? kPassword : "";
      o.packName = "shared.zsp";
      ExpectRoundTrip(SynthModules(), o, HasWidth(p));
      ExpectRoundTrip(RealModules(), o, HasWidth(p));
    }
  }
  // Compressed IT samples come back as their plain-PCM rewrite: both instrument
  // modules hold some; the plain sample-mode IT does not.
  int rewritten = 0;
  for (const TestModule& m : SynthModules()) rewritten += m.bytes != m.expected;
  EXPECT_EQ(rewritten, 2);
}

}  // namespace
