// The Song's states: new, loaded, reset, failed loads (which must not leak what
// they left in the body), kinds handed to LoadStream, and the sample store.
#include <gtest/gtest.h>

#include "samples/sample_store.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {
const std::vector<TestSample> kSamples = {{{1, 2, 3, 4}, 8, 4}, {{5, 6}, 8, 12}};
}

TEST(SongLifecycle, ResetReleasesTheSongAndLeavesKindZero) {
  Song song;
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, ".S3M", Ramp(32), kSamples)), MakePack(kSamples)));
  EXPECT_EQ(2, song.GetModuleKind());
  EXPECT_EQ(0u, song.Reset());
  EXPECT_EQ(0, song.GetModuleKind());
  EXPECT_FALSE(song.Loaded());
  EXPECT_EQ(nullptr, song.Body().structure);
  EXPECT_EQ(0u, song.Body().sampleCount);
  EXPECT_EQ(1u, song.Reset());
  // The pack entries stay until released.
  EXPECT_EQ(1u, song.GetSampleStore()->loaded);
  song.ReleaseSamples();
  EXPECT_EQ(0u, song.GetSampleStore()->loaded);
}

TEST(SongLifecycle, LoadStreamTakesZtfAsZsfAndRefusesUnknownKinds) {
  const std::vector<uint8_t> file = SongBytes(MakeZsf(1, 19, ".MOD", Ramp(32), kSamples));
  const std::vector<uint8_t> pack = MakePack(kSamples);
  Song song;
  uint32_t count = 0;
  EXPECT_EQ(0u, LoadFromMemory(&song, file, pack, &count, 5));
  EXPECT_EQ(2u, count);
  EXPECT_EQ(3, song.GetModuleKind());

  count = 0;
  EXPECT_EQ(1u, LoadFromMemory(&song, file, pack, &count, 7));
  EXPECT_EQ(666u, count);
  EXPECT_FALSE(song.Loaded());
  EXPECT_EQ(1u, LoadFromMemory(&song, file, pack, &count, 6));
  EXPECT_EQ(1u, song.LoadStream(nullptr, &count, 4));
}

TEST(SongLifecycle, FailedLoadsLeaveNothingBehind) {
  // Each of these fails after the body holds structure, arrays or samples; the
  // leak checker of the sanitizer build sees whether they were released.
  const std::vector<uint8_t> pack = MakePack(kSamples);
  ZsfSong mismatch = MakeZsf(2, 2, ".IT", Ramp(64), kSamples);
  mismatch.v2Samples[1].size = 3;
  ZsfSong badEntry = MakeZsf(1, 19, ".IT", Ramp(64), kSamples);
  badEntry.samples[1].entry = 9;
  ZsfSong badCode = MakeZsf(1, 19, ".IT", Ramp(64), kSamples);
  badCode.samples[1].code = 5;
  Song song;
  ASSERT_EQ(0u, LoadFromMemory(&song, SongBytes(MakeZsf(2, 2, ".IT", Ramp(64), kSamples)), pack));
  for (const ZsfSong* spec : {&mismatch, &badEntry, &badCode}) {
    uint32_t count = 0;
    EXPECT_EQ(1u, LoadFromMemory(&song, SongBytes(*spec), pack, &count));
    EXPECT_EQ(2u, count);
    EXPECT_FALSE(song.Loaded());
    EXPECT_EQ(nullptr, song.Body().structure);
    EXPECT_EQ(nullptr, song.Body().records);
    EXPECT_EQ(1u, song.Reset());
  }
}
