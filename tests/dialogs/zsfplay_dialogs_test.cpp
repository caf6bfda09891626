// The dialogs end to end: zsfplay loads the plug-in and runs its slots with the
// answers on standard input. A password typed at the prompt plays a scrambled pack
// exactly as the unscrambled song, a cancelled prompt fails the start, the settings
// chosen in the configuration dialog reach the store at Quit and a new Init, and the
// information dialog stores an added tag.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "support/wav_file.h"
#include "support/process.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

const std::string kPlayer = ZSF_BINARY_DIR "/zsfplay";

class ZsfplayDialogs : public ::testing::Test {
 protected:
  ProcessResult Zsfplay(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), kPlayer);
    ProcessOptions options;
    options.env = {{"ZSF_REGISTRY", registry_}};
    options.input = input;
    options.workdir = dir_.path();
    return RunProcess(args, options);
  }
  TempDir dir_;
  std::string registry_ = dir_.file("registry.reg");
};

TEST_F(ZsfplayDialogs, APasswordAtThePromptPlaysTheScrambledPackAsTheSong) {
  SongOptions options;
  options.password = "secret";
  MadeSong song = MakeTestSong(dir_, "locked", 1, options);
  const std::string wav = dir_.file("locked.wav");
  ProcessResult r = Zsfplay({"-q", "-o", wav, song.path}, "Secret\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Enter a Password"), std::string::npos) << "the prompt is shown";
  Wav out = ReadWav(wav);
  ASSERT_TRUE(out.ok);
  EXPECT_TRUE(out.pcm == RenderReference(song).pcm);
}

TEST_F(ZsfplayDialogs, ACancelledPromptFailsTheStart) {
  SongOptions options;
  options.password = "secret";
  MadeSong song = MakeTestSong(dir_, "locked", 1, options);
  const std::string wav = dir_.file("locked.wav");
  ProcessResult r = Zsfplay({"-q", "-o", wav, song.path}, "");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("(cancelled)"), std::string::npos);
  EXPECT_FALSE(FileExists(wav));
}

TEST_F(ZsfplayDialogs, TheConfigurationReachesTheStoreAndANewInit) {
  ProcessResult r = Zsfplay({"--config"}, "title [%title%]\n8bit on\nmono on\nok\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("ZSF Configuration"), std::string::npos);
  const std::vector<uint8_t> storeBytes = ReadFile(registry_);
  const std::string store(storeBytes.begin(), storeBytes.end());
  EXPECT_NE(store.find("\"LoBit\"=dword:00000001"), std::string::npos) << store;
  EXPECT_NE(store.find("\"TitleOutput\"=\"[%title%]\""), std::string::npos) << store;

  MadeSong song = MakeTaggedSong(dir_, "named", {{"title", "Named"}});
  TestHost::Options hostOptions;
  hostOptions.registryPath = registry_;
  TestHost host(hostOptions);
  ASSERT_TRUE(host.ok()) << host.error();
  host.Init();
  char title[512] = "";
  int length = 0;
  host.record()->GetFileInfo(song.path.c_str(), title, &length);
  EXPECT_STREQ(title, "[Named]");
  ASSERT_EQ(host.Play(song.path), 0);
  ASSERT_FALSE(host.Opens().empty());
  EXPECT_EQ(host.Opens()[0].channels, 1);
  EXPECT_EQ(host.Opens()[0].bits, 8);
  host.Stop();
}

TEST_F(ZsfplayDialogs, AboutAndTheInformationDialog) {
  ProcessResult about = Zsfplay({"--about"}, "");
  EXPECT_EQ(about.exitCode, 0);
  EXPECT_NE(about.out.find("Quorvath ZSF Player v1.666 (b 1073)"), std::string::npos);

  MadeSong song = MakeTaggedSong(dir_, "info", {{"title", "T"}});
  ProcessResult info = Zsfplay({"--info", song.path}, "add\nYear\n2004\nok\n");
  EXPECT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Title: T"), std::string::npos);
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "title=T\nyear=2004\n");
  std::free(text);
}

}  // namespace
