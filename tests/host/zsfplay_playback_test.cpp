// zsfplay playing real songs made by our own writers: the WAV it writes holds
// exactly the PCM the plug-in renders for the test host driving it the same way,
// in the format the settings store asks for, from the --seek target on; several
// songs go to a folder, one per song, and a failing one is named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/zgm_writer.h"
#include "support/song_maker.h"
#include "support/wav_file.h"
#include "support/files.h"
#include "support/process.h"
#include "support/settings_file.h"
#include "support/test_host.h"

namespace {

using zsftest::ProcessOptions;
using zsftest::ProcessResult;
using zsftest::TempDir;
using zsftest::TestHost;

const std::string kPlayer = ZSF_BINARY_DIR "/zsfplay";

class ZsfplayPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zsftest::MakeSongFromSpec(dir_, "first", zsfsynth::BasicSpec(0, 2, 2), zsftest::Titled("First")).ok);
    ASSERT_TRUE(zsftest::MakeSongFromSpec(dir_, "second", zsfsynth::BasicSpec(0, 2, 1), zsftest::Titled("Second")).ok);
    zsftest::WriteFile(registry_, std::string(""));
    reference_ = Render(dir_.file("first.zsf"), -1, &played_);
    if (played_ != 0) GTEST_SKIP() << "the plug-in does not play songs yet";
    ASSERT_FALSE(reference_.empty());
  }

  // What the plug-in writes for NAME, driven as zsfplay drives it: with SEEK_MS >= 0
  // the output offers no room until the seek has been performed.
  std::vector<uint8_t> Render(const std::string& name, int seekMs, int* played) {
    TestHost::Options options;
    options.registryPath = registry_;
    TestHost host(options);
    EXPECT_TRUE(host.ok()) << host.error();
    host.Init();
    if (seekMs >= 0) host.SetFreeBytes(0);
    *played = host.Play(name);
    if (*played != 0) return {};
    if (seekMs >= 0) {
      host.record()->SetOutputTime(seekMs);
      EXPECT_TRUE(host.WaitUntil([&] { return !host.Flushes().empty() && host.Flushes().back() == seekMs; }));
      host.SetFreeBytes(1 << 20);
    }
    EXPECT_TRUE(host.WaitForEndMessages(1));
    host.Stop();
    host.Quit();
    return host.WrittenSinceOpen();
  }

  ProcessResult Zsfplay(std::vector<std::string> args, const std::string& home = "") {
    args.insert(args.begin(), kPlayer);
    ProcessOptions options;
    options.env = {{"ZSF_REGISTRY", registry_}};
    if (!home.empty()) options.env.push_back({"HOME", home});
    options.workdir = dir_.path();
    return zsftest::RunProcess(args, options);
  }

  TempDir dir_;
  const std::string registry_ = dir_.file("registry.reg");
  std::vector<uint8_t> reference_;
  int played_ = -1;
};

TEST_F(ZsfplayPlayback, TheWavHoldsExactlyTheRenderedPcm) {
  ProcessResult r = Zsfplay({"-q", "-o", "out.wav", "first.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  zsftest::Wav w = zsftest::ReadWav(dir_.file("out.wav"));
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.format, 1u);
  EXPECT_EQ(w.channels, 2u);
  EXPECT_EQ(w.bits, 16u);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_TRUE(w.pcm == reference_) << w.pcm.size() << " bytes against " << reference_.size();
}

TEST_F(ZsfplayPlayback, TheStoreChoosesEightBitMonoAndTheHeaderSaysSo) {
  zsftest::StoredSettings eightBitMono;
  eightBitMono.mono = eightBitMono.loBit = true;
  zsftest::WriteSettings(registry_, eightBitMono);
  int played = -1;
  std::vector<uint8_t> expected = Render(dir_.file("first.zsf"), -1, &played);
  ASSERT_EQ(played, 0);
  ProcessResult r = Zsfplay({"-q", "-o", "mono8.wav", "first.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  zsftest::Wav w = zsftest::ReadWav(dir_.file("mono8.wav"));
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.channels, 1u);
  EXPECT_EQ(w.bits, 8u);
  EXPECT_EQ(w.pcm.size() * 4, reference_.size()) << "a quarter of 16-bit stereo";
  EXPECT_TRUE(w.pcm == expected);
}

TEST_F(ZsfplayPlayback, SeekStartsTheFileAtTheTarget) {
  int played = -1;
  std::vector<uint8_t> expected = Render(dir_.file("first.zsf"), 1000, &played);
  ASSERT_EQ(played, 0);
  ProcessResult r = Zsfplay({"-q", "--seek", "1000", "-o", "late.wav", "first.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  zsftest::Wav w = zsftest::ReadWav(dir_.file("late.wav"));
  ASSERT_TRUE(w.ok);
  EXPECT_TRUE(w.pcm == expected) << w.pcm.size() << " bytes against " << expected.size();
  // About one second (a whole number of 1024-frame blocks) shorter than the song.
  EXPECT_LT(w.pcm.size(), reference_.size());
  EXPECT_GT(w.pcm.size() + 44100 * 4 + 4096, reference_.size());
  // A target past the end: the song ends there, with no audio at all.
  r = Zsfplay({"-q", "--seek", "100000", "-o", "past.wav", "first.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  w = zsftest::ReadWav(dir_.file("past.wav"));
  ASSERT_TRUE(w.ok);
  EXPECT_TRUE(w.pcm.empty()) << w.pcm.size() << " bytes";
}

TEST_F(ZsfplayPlayback, SeveralSongsGoToAFolderAndAFailureIsNamed) {
  zsftest::WriteFile(dir_.file("broken.zsf"), std::string("ZSF1 but nothing more"));
  ProcessResult r = Zsfplay({"-o", "out/", "first.zsf", "broken.zsf", "second.zsf"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("broken.zsf: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not played: broken.zsf\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("First (Unknown artist)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-> out/first.wav"), std::string::npos) << r.out;
  zsftest::Wav first = zsftest::ReadWav(dir_.file("out/first.wav"));
  zsftest::Wav second = zsftest::ReadWav(dir_.file("out/second.wav"));
  ASSERT_TRUE(first.ok);
  ASSERT_TRUE(second.ok);
  EXPECT_TRUE(first.pcm == reference_);
  EXPECT_GT(second.pcm.size(), 0u);
  EXPECT_LT(second.pcm.size(), first.pcm.size()) << "one order against two";
  EXPECT_FALSE(zsftest::FileExists(dir_.file("out/broken.wav")));
}

TEST_F(ZsfplayPlayback, TheSameSongTwiceInAFolderKeepsBoth) {
  ProcessResult r = Zsfplay({"-q", "-o", "twice/", "first.zsf", "first.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(zsftest::ReadWav(dir_.file("twice/first.wav")).pcm == reference_);
  EXPECT_TRUE(zsftest::ReadWav(dir_.file("twice/first-2.wav")).pcm == reference_);
}

TEST_F(ZsfplayPlayback, TitlesComeFromThePlugin) {
  ProcessResult r = Zsfplay({"--titles", "first.zsf", "second.zsf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("First (Unknown artist)\t", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nSecond (Unknown artist)\t"), std::string::npos) << r.out;
}

TEST_F(ZsfplayPlayback, TheSoundDevicePathPlaysToTheEnd) {
  // libao's null driver as the default stands in for a sound card: the whole
  // device path (ring buffer, playback thread, IsPlaying draining) runs.
  TempDir home;
  zsftest::WriteFile(home.file(".libao"), std::string("default_driver=null\n"));
  ProcessResult r = Zsfplay({"-q", "second.zsf"}, home.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("sound device"), std::string::npos) << r.err;
  EXPECT_FALSE(zsftest::FileExists(dir_.file("second.wav")));
}

TEST_F(ZsfplayPlayback, WithoutASoundDeviceTheSongGoesToAWavHere) {
  TempDir home;
  zsftest::WriteFile(home.file(".libao"), std::string("default_driver=alsa\n"));
  ProcessResult r = Zsfplay({"-q", "first.zsf"}, home.path());
  if (r.err.find("cannot play to a sound device") == std::string::npos) {
    GTEST_SKIP() << "this machine has a sound device";
  }
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("./<song>.wav"), std::string::npos) << r.err;
  EXPECT_TRUE(zsftest::ReadWav(dir_.file("first.wav")).pcm == reference_);
}

TEST_F(ZsfplayPlayback, CollectionTracksPlayLikeSongs) {
  ZgmContents set;
  set.entries = {{kEntrySamplePack, "pack", zsftest::ReadFile(dir_.file("first.zsp"))},
                 {kEntryTune, "one", zsftest::ReadFile(dir_.file("first.zsf"))},
                 {kEntryTune, "two", zsftest::ReadFile(dir_.file("first.zsf"))}};
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;

  ProcessResult titles = Zsfplay({"--titles", "set.zgm,1", "zgm://set.zgm,2"});
  EXPECT_EQ(titles.exitCode, 0) << titles.err;
  // The tune carries the length its single-song play stored.
  const std::string line = "First (Unknown artist)\t" +
                           std::to_string(reference_.size() / (44100 * 4) * 1000) + "\n";
  EXPECT_EQ(titles.out, line + line);

  ProcessResult r = Zsfplay({"-q", "-o", "tracks/", "set.zgm,1", "zgm://set.zgm,2", "set.zgm,3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not played: set.zgm,3\n"), std::string::npos) << r.err;
  EXPECT_TRUE(zsftest::ReadWav(dir_.file("tracks/set-1.wav")).pcm == reference_);
  EXPECT_TRUE(zsftest::ReadWav(dir_.file("tracks/set-2.wav")).pcm == reference_);
  EXPECT_FALSE(zsftest::FileExists(dir_.file("tracks/set-3.wav")));
}

TEST_F(ZsfplayPlayback, AWavFileThatCannotBeWrittenIsTheReasonGiven) {
  const std::string out = dir_.file("no/such/folder/out.wav");
  ProcessResult r = Zsfplay({"-q", "-o", out, "first.zsf"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("first.zsf: " + out + ": cannot create: No such file"), std::string::npos)
      << r.err;
}

}  // namespace
