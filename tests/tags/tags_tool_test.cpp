// zsftool tags on real files: prints, sets, replaces and removes, and refuses
// what it cannot store with a message and exit status 1.
#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/process.h"
#include "support/tagged_file.h"

using zsftest::ReadFile;
using zsftest::TempDir;
using zsftest::WriteFile;

namespace {

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Tool(std::vector<std::string> args) {
  args.insert(args.begin(), {kTool, "tags"});
  zsftest::ProcessResult r = zsftest::RunProcess(args);
  return {r.exitCode, r.out + r.err};
}

std::vector<uint8_t> SongBody() {
  std::vector<uint8_t> body = {'Z', 'S', 'F', '1'};
  std::vector<uint8_t> rest = zsftest::NoiseBody(500);
  body.insert(body.end(), rest.begin(), rest.end());
  return body;
}

}  // namespace

TEST(TagsTool, SetsReplacesRemovesAndPrints) {
  ASSERT_TRUE(zsftest::FileExists(kTool));
  TempDir dir;
  std::string song = dir.file("song.zsf");
  std::vector<uint8_t> body = SongBody();
  WriteFile(song, zsftest::WithTags(body, "TITLE=Old\nlength=12\n"));

  ToolRun r = Tool({song});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "TITLE=Old\nlength=12\n");

  r = Tool({song, "title=New_Name", "Artist=Me"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "title=New Name\nlength=12\nartist=Me\n");
  EXPECT_EQ(ReadFile(song), zsftest::WithTags(body, "title=New_Name\nlength=12\nartist=Me\n"));

  r = Tool({song, "--remove", "LENGTH"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "title=New Name\nartist=Me\n");
}

TEST(TagsTool, RefusalsNameFileAndReasonAndLeaveFileUnchanged) {
  ASSERT_TRUE(zsftest::FileExists(kTool));
  TempDir dir;
  ToolRun r = Tool({dir.file("missing.zsf")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("missing.zsf: open:"), std::string::npos) << r.out;

  std::string bad = dir.file("bad.zsf");
  WriteFile(bad, std::vector<uint8_t>{'Z', 'S', 'F', '1', 0x40, 0x00});
  r = Tool({bad, "title=x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no valid tag block"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(bad).size(), 6u);

  std::string song = dir.file("song.zsf");
  std::vector<uint8_t> original = zsftest::WithTags(SongBody(), "title=x\n");
  WriteFile(song, original);
  r = Tool({song, "note=" + std::string(65600, 'n')});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("text too long"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(song), original);

  std::string collection = dir.file("set.zgm");
  WriteFile(collection, zsftest::WithTags({'Z', 'G', 'M', '1'}, "title=x\n"));
  r = Tool({collection, "title=y"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not a ZSF/ZTF song"), std::string::npos) << r.out;
}
