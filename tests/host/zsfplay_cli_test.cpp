// zsfplay at the command line: options, messages and exit status for names that
// cannot be played.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/files.h"
#include "support/process.h"

namespace {

using zsftest::ProcessOptions;
using zsftest::ProcessResult;
using zsftest::RunProcess;
using zsftest::TempDir;

const std::string kPlayer = ZSF_BINARY_DIR "/zsfplay";

// Runs zsfplay with its settings store in DIR, so no test touches the user's.
ProcessResult Zsfplay(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), kPlayer);
  ProcessOptions options;
  options.env = {{"ZSF_REGISTRY", dir.file("registry.reg")}};
  options.workdir = dir.path();
  return RunProcess(args, options);
}

TEST(ZsfplayCli, UsageErrorsFailWithStatusOne) {
  TempDir dir;
  ProcessResult r = Zsfplay(dir, {});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no NAME"), std::string::npos) << r.err;
  EXPECT_EQ(Zsfplay(dir, {"--no-such-option", "x.zsf"}).exitCode, 1);
  r = Zsfplay(dir, {"-o", dir.file("out.wav"), "a.zsf", "b.zsf"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("FOLDER/"), std::string::npos) << r.err;
}

TEST(ZsfplayCli, TitlesOfAMissingFileNameItAndFail) {
  TempDir dir;
  const std::string missing = dir.file("missing.zsf");
  ProcessResult r = Zsfplay(dir, {"--titles", missing});
  EXPECT_EQ(r.exitCode, 1);
  // Still one line per name, as the plug-in answered; the failure goes to stderr.
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_NE(r.out.find('\t'), std::string::npos);
  EXPECT_NE(r.out.find("-1000\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;
}

TEST(ZsfplayCli, TitlesOfAMissingCollectionNameTheCollectionFile) {
  TempDir dir;
  ProcessResult r = Zsfplay(dir, {"--titles", "zgm://" + dir.file("set.zgm") + ",2"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot open " + dir.file("set.zgm")), std::string::npos) << r.err;
}

TEST(ZsfplayCli, EveryNameThatFailsIsNamedAndTheStatusIsOne) {
  TempDir dir;
  const std::string notASong = dir.file("not_a_song.zsf");
  zsftest::WriteFile(notASong, std::string("this is no song at all\n"));
  const std::string missing = dir.file("missing.zsf");
  ProcessResult r = Zsfplay(dir, {"-q", "-o", dir.path() + "/", notASong, missing});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(notASong + ":"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(missing + ": cannot open"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not played: " + notASong + ", " + missing), std::string::npos) << r.err;
  // No file is left behind for a song that did not play.
  EXPECT_FALSE(zsftest::FileExists(dir.file("not_a_song.wav")));
  EXPECT_FALSE(zsftest::FileExists(dir.file("missing.wav")));
  EXPECT_EQ(r.out, "") << "-q prints nothing but errors";
}

TEST(ZsfplayCli, APluginThatCannotBeLoadedIsNamed) {
  TempDir dir;
  const std::string plugin = dir.file("nowhere/in_zsf.so");
  ProcessResult missing = Zsfplay(dir, {"--plugin", plugin, "song.zsf"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find(plugin + ": cannot load the plug-in"), std::string::npos) << missing.err;

  const std::string fake = dir.file("fake.so");
  zsftest::WriteFile(fake, std::string("not a library"));
  ProcessResult r = Zsfplay(dir, {"--plugin", fake, "song.zsf"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(fake + ": cannot load the plug-in"), std::string::npos) << r.err;

  // A real library without the export: the C library itself.
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::printf), &info), 0);
  r = Zsfplay(dir, {"--plugin", info.dli_fname, "song.zsf"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a plug-in: no winampGetInModule2"), std::string::npos) << r.err;
}

}  // namespace
