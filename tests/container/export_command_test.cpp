// zsftool export and info on real files: the exported module is the original one,
// and failures name the file, the step and the reason.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "song_fixtures.h"
#include "support/files.h"
#include "tools/synth/module_synth.h"

using namespace zsftest;

namespace {

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

struct ToolRun {
  int status;
  std::string output;  // standard output and standard error
};

ToolRun RunTool(const std::string& arguments) {
  ToolRun run{-1, {}};
  std::FILE* pipe = popen((kTool + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A synthesised XM cut into DIR/tune.zsf with its pack DIR/shared.zsp.
std::vector<uint8_t> WriteXmSong(const TempDir& dir, uint8_t major, uint8_t minor) {
  zsfsynth::ModuleFile module;
  std::string error;
  EXPECT_TRUE(zsfsynth::WriteModule(zsfsynth::BasicSpec(1, 3, 2), 1, &module, &error)) << error;
  std::vector<SampleSpan> spans;
  std::vector<TestSample> samples;
  for (const zsfsynth::WrittenSample& s : module.samples) {
    spans.push_back(SampleSpan{s.offset, s.bytes});
    samples.push_back(TestSample{s.pcm, s.bits, 0});
  }
  std::vector<uint8_t> structure;
  std::vector<uint32_t> offsets;
  EXPECT_TRUE(CutModuleImage(module.bytes, spans, &structure, &offsets, &error)) << error;
  for (size_t i = 0; i < samples.size(); ++i) samples[i].offset = minor >= 12 || major >= 2 ? offsets[i] : 0;
  WriteFile(dir.file("tune.zsf"), SongBytes(MakeSong(major, minor, ".xm", structure, samples)));
  WriteFile(dir.file("shared.zsp"), MakePack(samples));
  return module.bytes;
}

}  // namespace

TEST(ExportCommand, WritesTheOriginalModuleAndDescribesTheSong) {
  if (!FileExists(kTool)) GTEST_SKIP() << "zsftool is not built";
  TempDir dir;
  const std::vector<uint8_t> original = WriteXmSong(dir, 2, 2);
  ToolRun exported = RunTool("export " + dir.file("tune.zsf") + " -o " + dir.file("out.xm"));
  ASSERT_EQ(0, exported.status) << exported.output;
  EXPECT_TRUE(ReadFile(dir.file("out.xm")) == original);

  ToolRun info = RunTool("info " + dir.file("tune.zsf"));
  ASSERT_EQ(0, info.status) << info.output;
  EXPECT_NE(std::string::npos, info.output.find("version: 2.2")) << info.output;
  EXPECT_NE(std::string::npos, info.output.find("module kind: 1 (Fast Tracker Module")) << info.output;
  EXPECT_NE(std::string::npos, info.output.find("pack: shared.zsp")) << info.output;
  EXPECT_NE(std::string::npos, info.output.find("samples: 3")) << info.output;
  EXPECT_NE(std::string::npos, info.output.find("length: ")) << info.output;
}

TEST(ExportCommand, FailuresNameTheStep) {
  if (!FileExists(kTool)) GTEST_SKIP() << "zsftool is not built";
  TempDir dir;
  WriteXmSong(dir, 2, 2);
  ToolRun wrongKind = RunTool("export " + dir.file("tune.zsf") + " -o " + dir.file("out.it"));
  EXPECT_EQ(1, wrongKind.status);
  EXPECT_NE(std::string::npos, wrongKind.output.find("out.it: check:")) << wrongKind.output;

  std::remove(dir.file("shared.zsp").c_str());
  ToolRun noPack = RunTool("export " + dir.file("tune.zsf") + " -o " + dir.file("out.xm"));
  EXPECT_EQ(1, noPack.status);
  EXPECT_NE(std::string::npos, noPack.output.find("tune.zsf: load: sample pack")) << noPack.output;
  EXPECT_FALSE(FileExists(dir.file("out.xm")));

  WriteXmSong(dir, 1, 10);
  ToolRun noOffsets = RunTool("export " + dir.file("tune.zsf") + " -o " + dir.file("out.it"));
  EXPECT_EQ(1, noOffsets.status);
  EXPECT_NE(std::string::npos, noOffsets.output.find("tune.zsf: rebuild: the song stores no sample offsets"))
      << noOffsets.output;
}
