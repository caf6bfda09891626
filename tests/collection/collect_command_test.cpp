// zsftool collect writes a collection that the reader loads back entry for entry,
// and zsftool's collection listing shows each tune's tags.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "container/zsf_writer.h"
#include "support/files.h"
#include "support/pack_maker.h"
#include "support/process.h"

namespace {

using zsftest::TempDir;

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

std::vector<uint8_t> Tune(const std::string& tags) {
  ZsfSong song;
  song.packName = "set.zsp";
  song.structure.assign(64, 0x2A);
  song.tagText = tags;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteZsf(song, &out, &error)) << error;
  return out;
}

// Runs zsftool with ARGS; its exit status, and stdout+stderr in OUTPUT.
int RunTool(std::vector<std::string> args, std::string* output) {
  args.insert(args.begin(), kTool);
  zsftest::ProcessResult r = zsftest::RunProcess(args);
  *output = r.out + r.err;
  return r.exitCode;
}

TEST(CollectCommand, WritesPackTunesThenTextsReadsBackAndLists) {
  TempDir dir;
  const std::vector<uint8_t> pack = zsftest::MakePack({zsftest::Pcm(std::vector<uint8_t>(256, 7), 8, "square")});
  const std::vector<uint8_t> intro = Tune("title=Intro\nartist=Someone\nlength=215\n");
  const std::vector<uint8_t> stage = Tune("title=Stage_One\n");
  zsftest::WriteFile(dir.file("set.zsp"), pack);
  zsftest::WriteFile(dir.file("intro.ztf"), intro);
  zsftest::WriteFile(dir.file("stage_one_long.ztf"), stage);
  zsftest::WriteFile(dir.file("notes.txt"), std::string("hello\n"));

  const std::string out = dir.file("set.zgm");
  std::string log;
  ASSERT_EQ(RunTool({"collect", "-o", out, "--pack", dir.file("set.zsp"), "--info", "Test set", "--text",
                     "readme_first=" + dir.file("notes.txt"), dir.file("intro.ztf"), dir.file("stage_one_long.ztf")},
                    &log), 0) << log;

  Collection* c = CollectionCreate();
  ASSERT_EQ(LoadCollection(c, out.c_str(), 0, nullptr), 0u);
  ASSERT_EQ(c->count, 4u);
  EXPECT_STREQ(c->info, "Test set");
  struct Expect { uint8_t kind; const char* name; const std::vector<uint8_t>* data; };
  const std::vector<uint8_t> notes = {'h', 'e', 'l', 'l', 'o', '\n'};
  const Expect want[] = {{kEntrySamplePack, "set", &pack},
                         {kEntryTune, "intro", &intro},
                         {kEntryTune, "stage_on", &stage},
                         {kEntryText, "readme_f", &notes}};
  for (uint32_t i = 0; i < 4; ++i) {
    const CollectionEntry* e = GetEntry(c, i);
    EXPECT_EQ(e->kind, want[i].kind) << i;
    EXPECT_EQ(std::string(e->name, strnlen(e->name, 8)), want[i].name) << i;
    EXPECT_EQ(std::vector<uint8_t>(e->data, e->data + e->size), *want[i].data) << i;
  }
  CollectionDestroy(c);

  // zsftool info lists the entries and each tune's tags.
  std::string info;
  ASSERT_EQ(RunTool({"info", out}, &info), 0) << info;
  for (const char* line : {"pack      set", "tune      stage_on", "title=Intro", "title=Stage One",
                           "stored length: 215 s", "stored length: none"})
    EXPECT_NE(info.find(line), std::string::npos) << info;
}

TEST(CollectCommand, RefusesSwappedArgumentsAndLeavesNoFile) {
  TempDir dir;
  zsftest::WriteFile(dir.file("set.zsp"), zsftest::MakePack({zsftest::Pcm({1, 2})}));
  zsftest::WriteFile(dir.file("a.ztf"), Tune(""));
  const std::string out = dir.file("set.zgm");
  // The pack given as a tune and the tune as the pack.
  std::string log;
  EXPECT_NE(RunTool({"collect", "-o", out, "--pack", dir.file("a.ztf"), dir.file("set.zsp")}, &log), 0);
  EXPECT_NE(log.find("not a ZSP sample pack"), std::string::npos) << log;
  EXPECT_NE(RunTool({"collect", "-o", out, "--pack", dir.file("set.zsp"), dir.file("missing.ztf")}, &log), 0);
  EXPECT_NE(log.find("missing.ztf: read:"), std::string::npos) << log;
  EXPECT_FALSE(zsftest::FileExists(out));
}

}  // namespace
