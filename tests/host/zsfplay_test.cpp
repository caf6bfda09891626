// zsfplay as a user runs it, on songs made by our own writers: the WAV holds exactly
// the PCM the plug-in renders for the test host driving it the same way, in the
// format the settings store asks for, from the --seek target on; titles, collection
// tracks, the password prompt and About on standard input (the other dialogs: by keys
// in terminal_test), and every failure named.
#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "collection/zgm_writer.h"
#include "support/build_paths.h"
#include "support/engine_render.h"
#include "support/files.h"
#include "support/process.h"
#include "support/settings_file.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "support/wav_file.h"

namespace {

using namespace zsftest;

class Zsfplay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeSongFromSpec(dir_, "first", zsfsynth::BasicSpec(0, 2, 2), Titled("First")).ok);
    ASSERT_TRUE(MakeSongFromSpec(dir_, "second", zsfsynth::BasicSpec(0, 2, 1), Titled("Second")).ok);
    WriteFile(registry_, std::string(""));
    reference_ = Render("first.zsf", -1);
    ASSERT_FALSE(reference_.empty());
  }

  // What the plug-in writes for NAME, driven as zsfplay drives it: with SEEK_MS >= 0
  // the output offers no room until the seek has been performed.
  std::vector<uint8_t> Render(const std::string& name, int seekMs) {
    TestHost::Options options;
    options.registryPath = registry_;
    TestHost host(options);
    EXPECT_TRUE(host.ok()) << host.error();
    host.Init();
    return host.PlayToEnd(dir_.file(name), seekMs);
  }

  ProcessResult Run(std::vector<std::string> args, const std::string& input = "", const std::string& home = "") {
    args.insert(args.begin(), ZSF_BINARY_DIR "/zsfplay");
    ProcessOptions options;
    options.env = {{"ZSF_REGISTRY", registry_}};
    if (!home.empty()) options.env.push_back({"HOME", home});
    options.input = input;
    options.workdir = dir_.path();
    return RunProcess(args, options);
  }

  std::vector<uint8_t> Pcm(const std::string& wav) { return ReadWav(dir_.file(wav)).pcm; }

  TempDir dir_;
  const std::string registry_ = dir_.file("registry.reg");
  std::vector<uint8_t> reference_;
};

TEST_F(Zsfplay, TheWavHoldsExactlyTheRenderedPcmInTheStoredFormatFromTheSeekTarget) {
  ProcessResult r = Run({"-q", "-o", "out.wav", "first.zsf"});
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ("", r.out) << "-q prints nothing but errors";
  Wav w = ReadWav(dir_.file("out.wav"));
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 16, 44100}), (std::vector<uint32_t>{w.format, w.channels, w.bits, w.rate}));
  EXPECT_TRUE(w.pcm == reference_) << w.pcm.size() << " bytes against " << reference_.size();

  const std::vector<uint8_t> late = Render("first.zsf", 1000);
  ASSERT_EQ(0, Run({"-q", "--seek", "1000", "-o", "late.wav", "first.zsf"}).exitCode);
  EXPECT_TRUE(Pcm("late.wav") == late);
  EXPECT_LT(late.size(), reference_.size());
  EXPECT_GT(late.size() + 44100 * 4 + 4096, reference_.size()) << "about one second shorter";
  ASSERT_EQ(0, Run({"-q", "--seek", "100000", "-o", "past.wav", "first.zsf"}).exitCode);
  Wav past = ReadWav(dir_.file("past.wav"));
  EXPECT_TRUE(past.ok && past.pcm.empty()) << "a target past the end: no audio at all";

  StoredSettings eightBitMono;
  eightBitMono.mono = eightBitMono.loBit = true;
  WriteSettings(registry_, eightBitMono);
  ASSERT_EQ(0, Run({"-q", "-o", "mono8.wav", "first.zsf"}).exitCode);
  w = ReadWav(dir_.file("mono8.wav"));
  EXPECT_EQ(1u, w.channels);
  EXPECT_EQ(8u, w.bits);
  EXPECT_EQ(reference_.size(), w.pcm.size() * 4);
  EXPECT_TRUE(w.pcm == Render("first.zsf", -1));
}

TEST_F(Zsfplay, SeveralSongsAndCollectionTracksGoToAFolderAndFailuresAreNamed) {
  WriteFile(dir_.file("broken.zsf"), std::string("ZSF1 but nothing more"));
  ProcessResult r = Run({"-o", "out/", "first.zsf", "broken.zsf", "second.zsf", "first.zsf"});
  EXPECT_EQ(1, r.exitCode);
  // The plug-in's reason, told to the player's window: the step and the field.
  EXPECT_NE(std::string::npos, r.err.find("broken.zsf: header: version 32.98 is not supported (newest read: 2.2)\n"))
      << r.err;
  EXPECT_NE(std::string::npos, r.err.find("not played: broken.zsf\n")) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("First (Unknown artist)")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("-> out/first.wav")) << r.out;
  EXPECT_TRUE(Pcm("out/first.wav") == reference_);
  EXPECT_TRUE(Pcm("out/first-2.wav") == reference_) << "the same song twice keeps both";
  EXPECT_GT(Pcm("out/second.wav").size(), 0u);
  EXPECT_LT(Pcm("out/second.wav").size(), reference_.size()) << "one order against two";
  EXPECT_FALSE(FileExists(dir_.file("out/broken.wav")));

  ZgmContents set;
  set.entries = {{kEntrySamplePack, "pack", ReadFile(dir_.file("first.zsp"))},
                 {kEntryTune, "one", ReadFile(dir_.file("first.zsf"))},
                 {kEntryTune, "two", ReadFile(dir_.file("second.zsf"))}};
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;
  r = Run({"--titles", "first.zsf", "set.zgm,1", "zgm://set.zgm,2"});
  EXPECT_EQ(0, r.exitCode) << r.err;
  // Each tune carries the length its single-song play stored.
  EXPECT_EQ("First (Unknown artist)\t7000\nFirst (Unknown artist)\t7000\nSecond (Unknown artist)\t3000\n", r.out);
  // Track numbers count the collection's entries: 0 is the pack, without a number the
  // first tune plays; a collection without a pack plays nothing.
  set.entries.erase(set.entries.begin());
  ASSERT_TRUE(WriteZgmFile(dir_.file("nopack.zgm"), set, &reason)) << reason;
  r = Run({"-q", "-o", "tracks/", "set.zgm,1", "zgm://set.zgm,2", "set.zgm", "set.zgm,3", "set.zgm,0", "set.zgm,-2",
           "set.zgm,abc", "nopack.zgm", "zgm://nopack.zgm,1", "zgm://absent.zgm,1"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_NE(std::string::npos, r.err.find("not played: set.zgm,3, set.zgm,0, set.zgm,-2, set.zgm,abc, nopack.zgm, "
                                          "zgm://nopack.zgm,1, zgm://absent.zgm,1\n")) << r.err;
  for (const char* told : {"set.zgm,3: track: the collection has no entry 3\n",
                             "nopack.zgm: collection: it holds no sample pack\n"})
    EXPECT_NE(std::string::npos, r.err.find(told)) << r.err;
  EXPECT_TRUE(Pcm("tracks/set-1.wav") == reference_);
  EXPECT_TRUE(Pcm("tracks/set.wav") == reference_);
  EXPECT_TRUE(Pcm("tracks/set-2.wav") == Pcm("out/second.wav"));
  EXPECT_FALSE(FileExists(dir_.file("tracks/set-3.wav")) || FileExists(dir_.file("tracks/nopack.wav")));
}

TEST_F(Zsfplay, TheSoundDeviceOrAWavHere) {
  // libao's null driver as the default stands in for a sound card: the whole device
  // path (ring buffer, playback thread, draining) runs; without a device, a WAV here.
  TempDir home;
  WriteFile(home.file(".libao"), std::string("default_driver=null\n"));
  ProcessResult r = Run({"-q", "second.zsf"}, "", home.path());
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ(std::string::npos, r.err.find("sound device")) << r.err;
  EXPECT_FALSE(FileExists(dir_.file("second.wav")));
  WriteFile(home.file(".libao"), std::string("default_driver=alsa\n"));
  r = Run({"-q", "first.zsf"}, "", home.path());
  if (r.err.find("cannot play to a sound device") == std::string::npos) GTEST_SKIP() << "this machine has a sound device";
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("./<song>.wav")) << r.err;
  EXPECT_TRUE(Pcm("first.wav") == reference_);
}

TEST_F(Zsfplay, ThePasswordPromptAndAboutOnStandardInput) {
  SongOptions locked;
  locked.password = "secret";
  MadeSong song = MakeTestSong(dir_, "locked", 1, locked);
  ProcessResult r = Run({"-q", "-o", "locked.wav", song.path}, "Secret\n");
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Enter a Password")) << "the prompt is shown";
  EXPECT_TRUE(Pcm("locked.wav") == RenderReference(song).pcm) << "the password descrambles the pack";
  r = Run({"-q", "-o", "cancelled.wav", song.path});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_NE(std::string::npos, r.out.find("(cancelled)"));
  EXPECT_FALSE(FileExists(dir_.file("cancelled.wav")));

  r = Run({"--about"});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_NE(std::string::npos, r.out.find("Quorvath ZSF Player v1.666 (b 1073)"));
}

TEST_F(Zsfplay, UsageAndLoadingFailures) {
  const std::string missing = dir_.file("missing.zsf"), fake = dir_.file("fake.so");
  WriteFile(fake, std::string("not a library"));
  WriteFile(dir_.file("junk.zsf"), std::string("this is no song at all\n"));
  Dl_info libc{};
  // A function no sanitizer intercepts, so that it is found in the C library itself.
  ASSERT_NE(0, dladdr(reinterpret_cast<void*>(&gnu_get_libc_version), &libc));
  const std::string renamed = dir_.file("renamed.so");
  std::filesystem::copy_file(ZSF_PLUGIN_PATH, renamed);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> err;
  };
  const Case cases[] = {
      {{}, 1, {"no NAME"}},
      {{"--no-such-option", "x.zsf"}, 1, {}},
      {{"-o", "out.wav", "first.zsf", "second.zsf"}, 1, {"FOLDER/"}},
      {{"--titles", missing}, 1, {missing, "No such file"}},
      {{"--titles", "zgm://" + dir_.file("set.zgm") + ",2"}, 1, {"cannot open " + dir_.file("set.zgm")}},
      {{"-q", "-o", "./", "junk.zsf", missing}, 1, {"junk.zsf:", missing + ": cannot open", "not played: junk.zsf, " + missing}},
      {{"-q", "-o", "no/such/folder/out.wav", "first.zsf"}, 1, {"first.zsf: no/such/folder/out.wav: cannot create: No such file"}},
      {{"--plugin", dir_.file("nowhere/in_zsf.so"), "first.zsf"}, 1, {dir_.file("nowhere/in_zsf.so") + ": cannot load the plug-in"}},
      {{"--plugin", fake, "first.zsf"}, 1, {fake + ": cannot load the plug-in"}},
      {{"--plugin", libc.dli_fname, "first.zsf"}, 1, {"not a plug-in: no winampGetInModule2"}},
      {{"--plugin", renamed, "--titles", "first.zsf"}, 0, {}},  // found by its export alone
  };
  for (const Case& c : cases) {
    ProcessResult r = Run(c.args);
    SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
    EXPECT_EQ(c.status, r.exitCode) << r.err;
    for (const std::string& part : c.err) EXPECT_NE(std::string::npos, r.err.find(part)) << r.err;
  }
  ProcessResult r = Run({"--titles", missing});  // still one line per name, as the plug-in answered
  EXPECT_EQ("\t-1000\n", r.out.substr(r.out.find('\t')));
  for (const char* wav : {"junk.wav", "missing.wav", "out.wav"}) EXPECT_FALSE(FileExists(dir_.file(wav))) << wav;
}

}  // namespace
