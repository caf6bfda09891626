// zsftool export and info on real files: the exported module is the original one,
// and failures name the file, the step and the reason.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/files.h"
#include "support/process.h"
#include "support/song_parts.h"

using namespace zsftest;

namespace {

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

std::string RunTool(const std::vector<std::string>& args, int* status) {
  std::vector<std::string> argv{kTool};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessResult r = RunProcess(argv);
  *status = r.exitCode;
  return r.out + r.err;
}

// A synthesised XM cut into DIR/tune.zsf (offsets only where the version has them)
// with its pack DIR/shared.zsp.
std::vector<uint8_t> WriteXmSong(const TempDir& dir, uint8_t major, uint8_t minor) {
  CutModule cut = Cut(zsfsynth::BasicSpec(1, 3, 2), 1);
  if (major < 2 && minor < 12) for (TestSample& s : cut.samples) s.offset = 0;
  WriteFile(dir.file("tune.zsf"), SongBytes(MakeZsf(major, minor, ".xm", cut.structure, cut.samples)));
  WriteFile(dir.file("shared.zsp"), MakePack(cut.samples));
  return cut.module;
}

}  // namespace

TEST(ExportCommand, ExportsTheOriginalDescribesAndNamesTheFailingStep) {
  ASSERT_TRUE(FileExists(kTool));
  TempDir dir;
  const std::vector<uint8_t> original = WriteXmSong(dir, 2, 2);
  int status = -1;
  std::string out = RunTool({"export", dir.file("tune.zsf"), "-o", dir.file("out.xm")}, &status);
  ASSERT_EQ(0, status) << out;
  EXPECT_TRUE(ReadFile(dir.file("out.xm")) == original);

  out = RunTool({"info", dir.file("tune.zsf")}, &status);
  ASSERT_EQ(0, status) << out;
  for (const char* line : {"version: 2.2", "module kind: 1 (Fast Tracker Module", "pack: shared.zsp", "samples: 3", "length: "})
    EXPECT_NE(std::string::npos, out.find(line)) << out;

  out = RunTool({"export", dir.file("tune.zsf"), "-o", dir.file("out.it")}, &status);
  EXPECT_EQ(1, status);
  EXPECT_NE(std::string::npos, out.find("out.it: check:")) << out;

  std::remove(dir.file("shared.zsp").c_str());
  std::remove(dir.file("out.xm").c_str());
  out = RunTool({"export", dir.file("tune.zsf"), "-o", dir.file("out.xm")}, &status);
  EXPECT_EQ(1, status);
  EXPECT_NE(std::string::npos, out.find("tune.zsf: load: sample pack")) << out;
  EXPECT_FALSE(FileExists(dir.file("out.xm")));

  WriteXmSong(dir, 1, 10);
  out = RunTool({"export", dir.file("tune.zsf"), "-o", dir.file("out.it")}, &status);
  EXPECT_EQ(1, status);
  EXPECT_NE(std::string::npos, out.find("tune.zsf: rebuild: the song stores no sample offsets")) << out;
}
