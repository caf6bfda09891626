// Random sequences of the player's calls, as a restless user makes them: plays,
// seeks (also while draining, and right before a stop), pauses, stops, length and
// time queries and titles, against a host whose output room and playing state
// change under the thread. Seeded, bounded in count; run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <random>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

// A short song: RowCount rows of one order, so full plays stay small in memory.
MadeSong ShortSong(const TempDir& dir, const std::string& base, uint32_t kind, uint16_t rows) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(kind, 2, 1);
  for (zsfsynth::PatternSpec& p : spec.patterns) {
    p.rows = rows;
    p.cells.resize(static_cast<size_t>(rows) * spec.channels);
  }
  SongOptions options;
  options.kind = kind;
  MadeSong song = MakeSongFromSpec(dir, base, spec, options);
  EXPECT_TRUE(song.ok) << song.error;
  return song;
}

TEST(PlaybackStress, RandomCallsKeepTheThreadAndOutputConsistent) {
  TempDir dir;
  TestHost host;
  ASSERT_TRUE(host.ok()) << host.error();
  host.Init();
  std::vector<MadeSong> songs = {ShortSong(dir, "a", 0, 16), ShortSong(dir, "b", 1, 24),
                                 ShortSong(dir, "c", 3, 8)};
  std::vector<std::string> names;
  for (const MadeSong& s : songs) names.push_back(s.path);
  names.push_back(dir.file("missing.zsf"));
  In_Module* rec = host.record();

  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  int plays = 0, started = 0;
  for (int i = 0; i < 3000; ++i) {
    switch (pick(12)) {
      case 0:
        if (pick(4) != 0) host.Stop();  // the player usually stops first
        ++plays;
        if (host.Play(names[static_cast<size_t>(pick(static_cast<int>(names.size())))]) == 0) ++started;
        break;
      case 1:
        rec->SetOutputTime(pick(2500));
        break;
      case 2:  // a stop right behind a seek
        rec->SetOutputTime(pick(2500));
        host.Stop();
        break;
      case 3:
        rec->Pause();
        break;
      case 4:
        rec->UnPause();
        break;
      case 5:
        host.Stop();
        break;
      case 6: {
        int length = rec->GetLength();
        ASSERT_TRUE(length == -1000 || (length >= 0 && length % 1000 == 0)) << length;
        break;
      }
      case 7:
        ASSERT_GE(rec->GetOutputTime(), 0);
        break;
      case 8: {
        char title[512];
        int length = 0;
        const int which = pick(static_cast<int>(names.size()) + 2);
        const char* name = which < static_cast<int>(names.size()) ? names[static_cast<size_t>(which)].c_str()
                                                                   : (which == static_cast<int>(names.size()) ? "" : nullptr);
        rec->GetFileInfo(name, title, &length);
        ASSERT_TRUE(length == -1000 || length % 1000 == 0) << length;
        break;
      }
      case 9:  // the output's room comes and goes
        host.SetFreeBytes(pick(3) == 0 ? pick(8192) : 1 << 20);
        break;
      case 10:  // the output still plays (the thread drains) or has played out
        host.SetPlayingPolls(pick(3) == 0 ? -1 : pick(20));
        break;
      default:
        host.SetDspActive(pick(4) == 0);
        break;
    }
  }
  host.SetFreeBytes(1 << 20);
  host.SetPlayingPolls(0);
  host.Stop();
  EXPECT_GT(started, 50) << "of " << plays << " plays";
  EXPECT_EQ(host.CloseCount(), static_cast<int>(host.Opens().size())) << "every open output was closed";
  EXPECT_LE(host.EndMessages(), started);
  EXPECT_EQ(rec->GetLength(), -1000);
  // The player still works normally afterwards.
  const size_t before = host.WriteSizes().size();
  const int ends = host.EndMessages();
  ASSERT_EQ(host.Play(songs[0].path), 0);
  ASSERT_TRUE(host.WaitForEndMessages(ends + 1));
  host.Stop();
  EXPECT_TRUE(WrittenFrom(host, before) == RenderReference(songs[0]).pcm);
}

}  // namespace
