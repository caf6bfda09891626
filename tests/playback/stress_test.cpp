// Random sequences of the player's calls, as a restless user makes them (plays, seeks
// also while draining and right before a stop, pauses, stops, queries), against a host
// whose output room and playing state change under the thread. Seeded, bounded; run
// under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <random>

#include "support/engine_render.h"
#include "support/test_host.h"

using namespace zsftest;

TEST(PlaybackStress, RandomCallsKeepTheThreadAndOutputConsistent) {
  TempDir dir;
  TestHost host;
  ASSERT_TRUE(host.ok()) << host.error();
  host.Init();
  std::vector<MadeSong> songs;
  std::vector<std::string> names = {dir.file("missing.zsf")};
  for (auto [kind, rows] : std::vector<std::pair<uint32_t, uint16_t>>{{0, 16}, {1, 24}, {3, 8}}) {
    zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(kind, 2, 1);
    for (zsfsynth::PatternSpec& p : spec.patterns) p.cells.resize((p.rows = rows) * spec.channels);  // short plays
    SongOptions options;
    options.kind = kind;
    songs.push_back(MakeSongFromSpec(dir, "song" + std::to_string(kind), spec, options));
    ASSERT_TRUE(songs.back().ok) << songs.back().error;
    names.push_back(songs.back().path);
  }
  In_Module* rec = host.record();
  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  int started = 0;
  for (int i = 0; i < 3000; ++i) {
    char title[512];
    int length = 0;
    switch (pick(10)) {
      case 0:
        if (pick(4) != 0) host.Stop();  // the player usually stops first
        started += host.Play(names[static_cast<size_t>(pick(4))]) == 0;
        break;
      case 1:
        rec->SetOutputTime(pick(2500));
        if (pick(2)) host.Stop();  // a stop right behind a seek
        break;
      case 2:
        pick(2) ? rec->Pause() : rec->UnPause();
        break;
      case 3:
        host.Stop();
        break;
      case 4:
        length = rec->GetLength();
        ASSERT_TRUE(length == -1000 || (length >= 0 && length % 1000 == 0)) << length;
        ASSERT_GE(rec->GetOutputTime(), 0);
        break;
      case 5:
        rec->GetFileInfo(pick(5) == 4 ? (pick(2) ? "" : nullptr) : names[static_cast<size_t>(pick(4))].c_str(), title, &length);
        ASSERT_TRUE(length == -1000 || length % 1000 == 0) << length;
        break;
      case 6:  // the output's room comes and goes
        host.SetFreeBytes(pick(3) == 0 ? pick(8192) : 1 << 20);
        break;
      case 7:  // the output still plays (the thread drains) or has played out
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
  EXPECT_GT(started, 50);
  EXPECT_EQ(static_cast<int>(host.Opens().size()), host.CloseCount()) << "every open output was closed";
  EXPECT_LE(host.EndMessages(), started);
  EXPECT_EQ(-1000, rec->GetLength());
  // The player still works normally afterwards.
  const size_t before = host.WriteSizes().size();
  const int ends = host.EndMessages();
  ASSERT_EQ(0, host.Play(songs[0].path));
  ASSERT_TRUE(host.WaitForEndMessages(ends + 1));
  host.Stop();
  EXPECT_TRUE(WrittenFrom(host, before) == RenderReference(songs[0]).pcm);
}
