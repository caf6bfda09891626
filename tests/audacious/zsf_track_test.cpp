// Tracks as the Audacious plug-in plays them: the same samples as the Winamp plug-in
// for songs and collection tunes, at both output settings and after a seek; tags and
// lengths in their fields; protected packs opened from a password list; and two
// threads working on tracks at once without sharing anything (run under TSan too).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "audacious/zsf_track.h"
#include "collection/zgm_writer.h"
#include "support/engine_render.h"
#include "support/files.h"
#include "support/settings_file.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;
using zsftrack::TrackOptions;
using zsftrack::TrackPlayer;
using zsftrack::TrackRef;

std::vector<uint8_t> PlayAll(TrackPlayer& player, int seekMs = -1) {
  if (seekMs >= 0) player.Seek(seekMs);
  std::vector<uint8_t> out;
  std::vector<uint8_t> block(1024 * 4);
  while (long frames = player.Render(block.data(), 1024)) {
    out.insert(out.end(), block.begin(), block.begin() + frames * player.channels() * player.bits() / 8);
  }
  return out;
}

class ZsfTrack : public ::testing::Test {
 protected:
  void SetUp() override {
    SongOptions tagged;
    tagged.tags = {{"title", "Tune"}, {"artist", "Someone"}, {"game", "A Game"}};
    song_ = MakeTestSong(dir_, "song", 2, tagged);
    ASSERT_TRUE(song_.ok);
    ZgmContents set;
    set.entries = {{kEntrySamplePack, "pack", ReadFile(song_.packPath)},
                   {kEntryTune, "tune", ReadFile(song_.path)}};
    std::string reason;
    ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;
  }

  // What the Winamp plug-in writes for NAME with these settings and seek.
  std::vector<uint8_t> PluginPlays(const std::string& name, bool loBit, bool mono, int seekMs) {
    TestHost::Options options;
    options.registryPath = dir_.file("registry.reg");
    WriteSettings(options.registryPath, {loBit, mono, false});
    TestHost host(options);
    host.Init();
    return host.PlayToEnd(name, seekMs);
  }

  TempDir dir_;
  MadeSong song_;
};

TEST_F(ZsfTrack, SoundsLikeThePluginForSongsAndTunesAtBothSettingsAndAfterSeeks) {
  struct Case {
    std::string name;
    TrackRef ref;
    bool loBit, mono;
    int seekMs;
  };
  const std::string set = dir_.file("set.zgm");
  const Case cases[] = {
      {song_.path, {song_.path, zsftrack::kSongFile}, false, false, -1},
      {song_.path, {song_.path, zsftrack::kSongFile}, true, true, -1},
      {"zgm://" + set + ",1", {set, 1}, false, false, -1},
      {"zgm://" + set + ",1", {set, 1}, true, true, 2500},
      {song_.path, {song_.path, zsftrack::kSongFile}, false, false, 5300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " seek " + std::to_string(c.seekMs) + (c.loBit ? " 8-bit mono" : ""));
    TrackOptions options;
    options.loBit = c.loBit;
    options.mono = c.mono;
    TrackPlayer player;
    std::string error;
    ASSERT_TRUE(player.Open(c.ref, options, &error)) << error;
    const std::vector<uint8_t> ours = PlayAll(player, c.seekMs);
    ASSERT_FALSE(ours.empty());
    EXPECT_TRUE(ours == PluginPlays(c.name, c.loBit, c.mono, c.seekMs));
  }
  // A seek past the end ends the track, as in the plug-in.
  TrackPlayer player;
  std::string error;
  ASSERT_TRUE(player.Open({song_.path, zsftrack::kSongFile}, {}, &error)) << error;
  EXPECT_TRUE(PlayAll(player, player.lengthMs() + 1000).empty());
}

TEST_F(ZsfTrack, TagsLengthsTunesAndRefusals) {
  zsftrack::TrackTags tags;
  std::string error;
  ASSERT_TRUE(zsftrack::ReadTrackTags({song_.path, zsftrack::kSongFile}, {}, "%artist%: %title%", &tags, &error));
  EXPECT_EQ(tags.title, "Tune");
  EXPECT_EQ(tags.artist, "Someone");
  EXPECT_EQ(tags.game, "A Game");
  EXPECT_EQ(tags.formattedTitle, "Someone: Tune");
  EXPECT_EQ(tags.lengthMs, -1);  // nothing stored, nothing measured

  TrackOptions measure;
  measure.computeLength = true;
  TrackPlayer player;
  ASSERT_TRUE(player.Open({song_.path, zsftrack::kSongFile}, {}, &error)) << error;
  ASSERT_GT(player.lengthMs(), 0);
  for (const TrackRef& ref : {TrackRef{song_.path, zsftrack::kSongFile}, TrackRef{dir_.file("set.zgm"), 1}}) {
    ASSERT_TRUE(zsftrack::ReadTrackTags(ref, measure, nullptr, &tags, &error)) << error;
    EXPECT_EQ(tags.lengthMs, player.lengthMs());
    EXPECT_EQ(tags.title, "Tune");
  }
  ASSERT_EQ(WriteTagText(song_.path.c_str(), "title=Tune\nlength=215\n"), 0u);
  ASSERT_TRUE(zsftrack::ReadTrackTags({song_.path, zsftrack::kSongFile}, measure, nullptr, &tags, &error));
  EXPECT_EQ(tags.lengthMs, 215000);  // a stored length wins over measuring

  std::vector<int32_t> tunes;
  ASSERT_TRUE(zsftrack::ListTunes(dir_.file("set.zgm"), &tunes, &error));
  EXPECT_EQ(tunes, std::vector<int32_t>{1});
  EXPECT_TRUE(zsftrack::IsCollectionFile(dir_.file("set.zgm")));
  EXPECT_FALSE(zsftrack::IsCollectionFile(song_.path));

  // Each refusal says why.
  const std::pair<TrackRef, std::string> refused[] = {
      {{dir_.file("set.zgm"), 0}, "cannot be read: header: version 2.3 is not supported"},  // the pack is no song
      {{dir_.file("set.zgm"), 7}, "no entry 7"},
      {{dir_.file("absent.zsf"), zsftrack::kSongFile}, "cannot be read: open: No such file or directory"},
      {{song_.path, 1}, "not a readable collection: header: not a ZGM collection"},
  };
  for (const auto& [ref, why] : refused) {
    SCOPED_TRACE(ref.file + "," + std::to_string(ref.entry));
    error.clear();
    EXPECT_FALSE(player.Open(ref, {}, &error));
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
}

TEST_F(ZsfTrack, ProtectedPacksOpenWithTheFirstListedPasswordThatFits) {
  // Samples long enough to be worth coding: a coded entry is the only check of a key.
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 2, 1);
  for (zsfsynth::SampleSpec& sample : spec.samples) sample.frames = 20000;
  SongOptions coded;
  coded.vorbis = true;
  MadeSong open = MakeSongFromSpec(dir_, "open", spec, coded);
  coded.password = "secret";
  MadeSong locked = MakeSongFromSpec(dir_, "locked", spec, coded);
  ASSERT_TRUE(open.ok && locked.ok) << open.error << locked.error;
  TrackPlayer reference;
  std::string error;
  ASSERT_TRUE(reference.Open({open.path, zsftrack::kSongFile}, {}, &error)) << error;
  const std::vector<uint8_t> expected = PlayAll(reference);

  TrackOptions options;
  TrackPlayer player;
  EXPECT_FALSE(player.Open({locked.path, zsftrack::kSongFile}, options, &error));
  EXPECT_NE(error.find("protected by a password"), std::string::npos) << error;
  options.passwords = {"wrong"};
  EXPECT_FALSE(player.Open({locked.path, zsftrack::kSongFile}, options, &error));
  EXPECT_NE(error.find("none of the passwords"), std::string::npos) << error;
  options.passwords = {"wrong", "", "SECRET"};  // letters' case does not count
  ASSERT_TRUE(player.Open({locked.path, zsftrack::kSongFile}, options, &error)) << error;
  EXPECT_TRUE(PlayAll(player) == expected);
}

// The engine's IT sample decompressor once kept its state in statics: two threads
// reading IT modules with compressed samples, and tracks opened, measured and played
// on two threads at once, must not meet (ThreadSanitizer checks this run).
TEST_F(ZsfTrack, ThreadsWorkOnTracksAtOnce) {
  zsfsynth::ModuleFile compressed;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteModule(zsfsynth::ItInstrumentSpec(), 0, &compressed, &error)) << error;
  TrackOptions measure;
  measure.computeLength = true;
  auto work = [&](const TrackRef& ref, std::vector<uint8_t>* played, int* modules) {
    for (int i = 0; i < 3; ++i) {
      LoadedModule module(0, compressed.bytes);
      *modules += module.duh != nullptr;
      zsftrack::TrackTags tags;
      std::string why;
      zsftrack::ReadTrackTags(ref, measure, "%title%", &tags, &why);
    }
    TrackPlayer player;
    std::string why;
    if (player.Open(ref, {}, &why)) *played = PlayAll(player);
  };
  std::vector<uint8_t> first, second;
  int modulesFirst = 0, modulesSecond = 0;
  std::thread other(work, TrackRef{dir_.file("set.zgm"), 1}, &second, &modulesSecond);
  work({song_.path, zsftrack::kSongFile}, &first, &modulesFirst);
  other.join();
  EXPECT_EQ(modulesFirst + modulesSecond, 6);
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(first == second);  // the tune is the song
}

}  // namespace
