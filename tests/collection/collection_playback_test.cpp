// Playing collection tracks through the plug-in as the media player does: the
// track numbers of a pack, tune, tune collection, the first tune for addresses
// without a number, no sample pack, and a collection tune sounding exactly like
// the same tune played as a single song with its pack beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/zgm_writer.h"
#include "support/files.h"
#include "support/song_parts.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

ZgmEntrySource Entry(uint8_t kind, const std::string& name, const std::vector<uint8_t>& data) {
  ZgmEntrySource e;
  e.kind = kind;
  e.name = name;
  e.data = data;
  return e;
}

// An IT of ORDERS orders whose samples are pack entries 0..n-1, in sample order.
std::vector<uint8_t> MakeTune(int orders, const std::string& title, std::vector<uint8_t>* pack) {
  CutModule cut = Cut(zsfsynth::BasicSpec(0, 2, orders), 0);
  ZsfSong song = MakeZsf(2, 2, ".IT", cut.structure, cut.samples);
  song.tagText = "title=" + title + "\n";
  *pack = MakePack(cut.samples);
  return SongBytes(song);
}

// Two tunes of different lengths over the same samples, their shared pack, and the
// files made from them: set.zgm (pack, tune, tune), nopack.zgm (tune, tune) and the
// first tune as a single song with the pack beside it.
class CollectionPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> secondPack;
    first_ = MakeTune(2, "First", &pack_);
    second_ = MakeTune(3, "Second", &secondPack);
    ASSERT_EQ(pack_, secondPack) << "tunes must share samples";

    ZgmContents set;
    set.entries = {Entry(kEntrySamplePack, "shared", pack_), Entry(kEntryTune, "first", first_),
                   Entry(kEntryTune, "second", second_)};
    std::string reason;
    ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;
    ZgmContents noPack;
    noPack.entries = {set.entries[1], set.entries[2]};
    ASSERT_TRUE(WriteZgmFile(dir_.file("nopack.zgm"), noPack, &reason)) << reason;
    zsftest::WriteFile(dir_.file("shared.zsp"), pack_);
    zsftest::WriteFile(dir_.file("first.zsf"), first_);
  }

  // What NAME writes to the output when played to its end; PLAYED gets Play's result.
  std::vector<uint8_t> PlayToEnd(const std::string& name, int* played) {
    TestHost host;
    EXPECT_TRUE(host.ok()) << host.error();
    if (!host.ok()) return {};
    host.Init();
    *played = host.Play(name);
    if (*played != 0) return {};
    EXPECT_TRUE(host.WaitForEndMessages(1));
    host.Stop();
    return host.WrittenSinceOpen();
  }

  int PlayResult(const std::string& name) {
    TestHost host;
    EXPECT_TRUE(host.ok()) << host.error();
    if (!host.ok()) return -1;
    host.Init();
    int result = host.Play(name);
    host.Stop();
    return result;
  }

  TempDir dir_;
  std::vector<uint8_t> first_, second_;
  std::vector<uint8_t> pack_;
};

TEST_F(CollectionPlayback, TrackNumbersOfPackTuneTune) {
  const std::string set = dir_.file("set.zgm");
  EXPECT_EQ(PlayResult("zgm://" + set + ",1"), 0);
  EXPECT_EQ(PlayResult(set + ",2"), 0);
  EXPECT_EQ(PlayResult("ZGM://" + set + ",2"), 0);  // the scheme in capitals
  EXPECT_EQ(PlayResult("zgm://" + set + ",0"), 1);  // the pack is not a song
  EXPECT_EQ(PlayResult("zgm://" + set + ",3"), 1);  // past the last entry
  EXPECT_EQ(PlayResult("zgm://" + set + ",-2"), 1);
  EXPECT_EQ(PlayResult(set + ",abc"), 1);           // reads as 0: the pack again
}

TEST_F(CollectionPlayback, TunesSoundLikeTheSingleSongAndWithoutNumberTheFirstPlays) {
  int played = -1;
  const std::vector<uint8_t> single = PlayToEnd(dir_.file("first.zsf"), &played);
  ASSERT_EQ(played, 0);
  bool sounds = false;
  for (uint8_t b : single) sounds |= b != 0;
  ASSERT_TRUE(sounds) << "the song must not be silence";
  for (const std::string& name : {"zgm://" + dir_.file("set.zgm") + ",1", "zgm://" + dir_.file("set.zgm"),
                                  dir_.file("set.zgm") + ",-1", dir_.file("set.zgm")}) {
    SCOPED_TRACE(name);
    played = -1;
    std::vector<uint8_t> out = PlayToEnd(name, &played);
    ASSERT_EQ(played, 0);
    EXPECT_TRUE(out == single) << out.size() << " bytes against " << single.size();
  }
  // The longer second tune really is another track.
  const std::vector<uint8_t> second = PlayToEnd("zgm://" + dir_.file("set.zgm") + ",2", &played);
  ASSERT_EQ(played, 0);
  EXPECT_GT(second.size(), single.size());
}

TEST_F(CollectionPlayback, NoSamplePackPlaysNothing) {
  const std::string noPack = dir_.file("nopack.zgm");
  EXPECT_EQ(PlayResult(noPack), 1);
  EXPECT_EQ(PlayResult(noPack + ",0"), 1);
  EXPECT_EQ(PlayResult("zgm://" + noPack), 1);
  EXPECT_EQ(PlayResult("zgm://" + dir_.file("absent.zgm") + ",1"), 1);
}

}  // namespace
