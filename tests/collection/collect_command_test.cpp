// zsftool collect writes a collection that the reader loads back entry for entry,
// and zsftool's collection listing shows each tune's tags.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "support/files.h"

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

std::vector<uint8_t> Pack() {
  ZspEntry e;
  e.kind = ZspEntry::Kind::Pcm;
  e.pcm.assign(256, 7);
  e.name = "square";
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteZsp({e}, ZspWriteOptions{}, &out, &error)) << error;
  return out;
}

int RunTool(const std::string& args, const std::string& outFile) {
  std::string cmd = kTool + " " + args + " >" + outFile + " 2>&1";
  return std::system(cmd.c_str());
}

std::string Text(const std::string& path) {
  std::vector<uint8_t> b = zsftest::ReadFile(path);
  return std::string(b.begin(), b.end());
}

TEST(CollectCommand, WritesPackTunesThenTextsAndReadsBack) {
  if (!zsftest::FileExists(kTool)) GTEST_SKIP() << "zsftool not built";
  TempDir dir;
  const std::vector<uint8_t> pack = Pack();
  const std::vector<uint8_t> intro = Tune("title=Intro\nartist=Someone\nlength=215\n");
  const std::vector<uint8_t> stage = Tune("title=Stage_One\n");
  zsftest::WriteFile(dir.file("set.zsp"), pack);
  zsftest::WriteFile(dir.file("intro.ztf"), intro);
  zsftest::WriteFile(dir.file("stage_one_long.ztf"), stage);
  zsftest::WriteFile(dir.file("notes.txt"), std::string("hello\n"));

  const std::string out = dir.file("set.zgm");
  ASSERT_EQ(RunTool("collect -o " + out + " --pack " + dir.file("set.zsp") +
                    " --info 'Test set' --text readme_first=" + dir.file("notes.txt") + " " +
                    dir.file("intro.ztf") + " " + dir.file("stage_one_long.ztf"),
                dir.file("log")),
            0)
      << Text(dir.file("log"));

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

}

// The listing zsftool info prints for collections: entries, and each tune's tags.
TEST(CollectCommand, InfoListsEntriesAndTuneTags) {
  if (!zsftest::FileExists(kTool)) GTEST_SKIP() << "zsftool not built";
  TempDir dir;
  RunTool("--help", dir.file("help"));
  if (Text(dir.file("help")).find("\n  info") == std::string::npos)
    GTEST_SKIP() << "zsftool has no info command yet";
  zsftest::WriteFile(dir.file("set.zsp"), Pack());
  zsftest::WriteFile(dir.file("intro.ztf"), Tune("title=Intro\nlength=215\n"));
  zsftest::WriteFile(dir.file("stage.ztf"), Tune("title=Stage_One\n"));
  const std::string out = dir.file("set.zgm");
  ASSERT_EQ(RunTool("collect -o " + out + " --pack " + dir.file("set.zsp") + " " +
                        dir.file("intro.ztf") + " " + dir.file("stage.ztf"),
                    dir.file("log")),
            0)
      << Text(dir.file("log"));
  ASSERT_EQ(RunTool("info " + out, dir.file("info")), 0) << Text(dir.file("info"));
  const std::string info = Text(dir.file("info"));
  EXPECT_NE(info.find("pack      set"), std::string::npos) << info;
  EXPECT_NE(info.find("tune      stage"), std::string::npos) << info;
  EXPECT_NE(info.find("title=Intro"), std::string::npos) << info;
  EXPECT_NE(info.find("title=Stage One"), std::string::npos) << info;
  EXPECT_NE(info.find("stored length: 215 s"), std::string::npos) << info;
  EXPECT_NE(info.find("stored length: none"), std::string::npos) << info;
}

TEST(CollectCommand, RefusesSwappedArgumentsAndLeavesNoFile) {
  if (!zsftest::FileExists(kTool)) GTEST_SKIP() << "zsftool not built";
  TempDir dir;
  zsftest::WriteFile(dir.file("set.zsp"), Pack());
  zsftest::WriteFile(dir.file("a.ztf"), Tune(""));
  const std::string out = dir.file("set.zgm");
  // The pack given as a tune and the tune as the pack.
  EXPECT_NE(RunTool("collect -o " + out + " --pack " + dir.file("a.ztf") + " " + dir.file("set.zsp"),
                dir.file("log")),
            0);
  EXPECT_NE(Text(dir.file("log")).find("not a ZSP sample pack"), std::string::npos)
      << Text(dir.file("log"));
  EXPECT_NE(RunTool("collect -o " + out + " --pack " + dir.file("set.zsp") + " " +
                    dir.file("missing.ztf"),
                dir.file("log")),
            0);
  EXPECT_NE(Text(dir.file("log")).find("missing.ztf: read:"), std::string::npos)
      << Text(dir.file("log"));
  EXPECT_FALSE(zsftest::FileExists(out));
}

}  // namespace
