// Synthesised modules of every kind, cut with the ZSF writer and packed with the
// ZSP writer, rebuild to the very bytes they were made from.
#include <gtest/gtest.h>

#include "support/files.h"
#include "support/song_parts.h"

using namespace zsftest;

TEST(SynthRoundTrip, EveryModuleKindRebuildsByteIdentical) {
  static const char* const kExtensions[] = {".it", ".xm", ".s3m", ".mod"};
  for (uint32_t kind = 0; kind < 4; ++kind) {
    for (uint8_t major : {1, 2}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " major " + std::to_string(major));
      CutModule cut = Cut(zsfsynth::BasicSpec(kind, 5, 3), kind);
      ASSERT_FALSE(cut.module.empty());
      Song song;
      ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(major, major >= 2 ? 2 : 19, kExtensions[kind], cut.structure, cut.samples)),
                                   MakePack(cut.samples)));
      EXPECT_EQ(kind, song.GetModuleKind());
      uint32_t result = 1;
      std::vector<uint8_t> rebuilt = Rebuild(&song, &result);
      ASSERT_EQ(0u, result);
      EXPECT_TRUE(cut.module == rebuilt);
      EXPECT_TRUE(Rebuild(&song) == rebuilt);
    }
  }
  // Several samples per instrument, from a folder.
  CutModule cut = Cut(zsfsynth::XmMultiSampleSpec(), 1);
  TempDir dir;
  WriteFile(dir.file("shared.zsp"), MakePack(cut.samples));
  WriteFile(dir.file("multi.zsf"), SongBytes(MakeZsf(2, 2, ".xm", cut.structure, cut.samples)));
  Song song;
  ASSERT_EQ(0u, song.LoadFile(dir.file("multi.zsf").c_str()));
  EXPECT_TRUE(Rebuild(&song) == cut.module);
}
