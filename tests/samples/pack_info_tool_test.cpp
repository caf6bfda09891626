// zsftool pack-info on packs from our writer: listing, password, wanted list, dump
// and the failures a user sees.
#include <gtest/gtest.h>

#include <string>

#include "support/pack_maker.h"
#include "support/files.h"
#include "support/process.h"

using namespace zsftest;

namespace {

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

// Runs zsftool with ARGS; the exit code, and stdout+stderr in OUTPUT.
int RunTool(std::vector<std::string> args, std::string* output) {
  args.insert(args.begin(), kTool);
  ProcessResult r = RunProcess(args);
  *output = r.out + r.err;
  return r.exitCode;
}

}  // namespace

TEST(PackInfoTool, ListsDumpsAndFails) {
  ASSERT_TRUE(FileExists(kTool));
  TempDir dir;
  ZspWriteOptions o;
  o.compress = true;
  o.scrambleKey = ZspKeyFromPassword("Pass");
  WriteFile(dir.file("p.zsp"), MakePack({Pcm({1, 2, 3, 4}, 16, "kick", 5, 9), Empty(), Pcm({7}, 8)}, o));

  std::string out;
  ASSERT_EQ(RunTool({"pack-info", dir.file("p.zsp"), "--password", "pass", "--want", "0", "--dump", dir.file("d")}, &out), 0)
      << out;
  EXPECT_NE(out.find("\"kick\""), std::string::npos) << out;
  EXPECT_NE(out.find("empty"), std::string::npos);
  EXPECT_NE(out.find("3 slots"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.file("d/0000.raw")), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_FALSE(FileExists(dir.file("d/0002.raw")));  // not wanted

  EXPECT_EQ(RunTool({"pack-info", dir.file("missing.zsp")}, &out), 1);
  EXPECT_NE(out.find("missing.zsp: open:"), std::string::npos) << out;
  WriteFile(dir.file("song.zsf"), std::string("ZSF1 not a pack"));
  EXPECT_EQ(RunTool({"pack-info", dir.file("song.zsf")}, &out), 1);
  EXPECT_NE(out.find("not a ZSP sample pack"), std::string::npos) << out;
  WriteFile(dir.file("new.zsp"), std::vector<uint8_t>{'Z', 'S', 'P', '1', 2, 4, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(RunTool({"pack-info", dir.file("new.zsp")}, &out), 1);
  EXPECT_NE(out.find("version 2.4"), std::string::npos) << out;
}
