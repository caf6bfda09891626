// zsftool at the command line on files made by our own writers: synth, pack, export,
// info, tags, collect and pack-info do their work, and every failure names the file,
// the step and the reason, with exit status 1 and no file half-written.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "collection/collection.h"
#include "collection/zgm_format.h"
#include "container/zsf_format.h"
#include "container/zsf_writer.h"
#include "samples/zsp_format.h"
#include "support/build_paths.h"
#include "support/files.h"
#include "support/module_sets.h"
#include "support/song_parts.h"
#include "support/process.h"
#include "support/tagged_file.h"
#include "ui/tags.h"

using namespace zsftest;

namespace {

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Tool(std::vector<std::string> args) {
  args.insert(args.begin(), ZSF_BINARY_DIR "/zsftool");
  ProcessResult r = RunProcess(args);
  return {r.exitCode, r.out + r.err};
}

// Expects status 1 and every part in the output.
void ExpectFailure(const std::vector<std::string>& args, const std::vector<std::string>& parts) {
  ToolRun r = Tool(args);
  EXPECT_EQ(1, r.status) << args[0] << " " << r.out;
  for (const std::string& part : parts) EXPECT_NE(std::string::npos, r.out.find(part)) << r.out;
}

std::string TagsOf(const std::string& path) {
  uint16_t n = 0;
  char* text = ReadTagText(path.c_str(), &n);
  std::string out = text ? std::string(text, n) : "";
  std::free(text);
  return out;
}

}  // namespace

TEST(Zsftool, SynthPackExportAndInfo) {
  TempDir dir;
  ASSERT_EQ(0, Tool({"synth", "demo", "-o", dir.file("demo.it")}).status);
  EXPECT_TRUE(ReadFile(dir.file("demo.it")) == zsfsynth::MakeDemoTune());
  ASSERT_EQ(0, Tool({"synth", "glide", "-o", dir.file("glide.s3m")}).status);
  EXPECT_TRUE(ReadFile(dir.file("glide.s3m")) == SynthBytes(zsfsynth::GlideSpec(), zsfmod::kKindS3m));
  WriteFile(dir.file("multi.xm"), SynthModules()[4].bytes);
  ToolRun r = Tool({"pack", dir.file("demo.it"), dir.file("multi.xm"), "--pack", "both.zsp", "-o", dir.file("out"), "--tune",
                "--version", "1.19", "--pack-version", "1.36", "--compress", "--password", "Swordfish", "--tag", "album=Both"});
  ASSERT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("both.zsp")) << r.out;
  const std::vector<uint8_t> song = ReadFile(dir.file("out/demo.ztf"));
  ASSERT_GT(song.size(), 6u);
  EXPECT_EQ(1 * 256 + 19, song[4] * 256 + song[5]);
  EXPECT_EQ("title=zsf demo tune\nalbum=Both\n", TagsOf(dir.file("out/demo.ztf")));
  ASSERT_EQ(0, Tool({"export", dir.file("out/multi.ztf"), "--password", "Swordfish", "-o", dir.file("back.xm")}).status);
  EXPECT_TRUE(ReadFile(dir.file("back.xm")) == SynthModules()[4].bytes);
  ASSERT_EQ(0, Tool({"export", dir.file("out/demo.ztf"), "--password", "swordfish", "-o", dir.file("back.it")}).status)
      << "the password ignores case";
  EXPECT_TRUE(ReadFile(dir.file("back.it")) == zsfsynth::MakeDemoTune());

  // A song cut by hand (an XM with offsets, version 2.2) exports as the original.
  CutModule cut = Cut(zsfsynth::BasicSpec(1, 3, 2), 1);
  WriteFile(dir.file("tune.zsf"), SongBytes(MakeZsf(2, 2, ".xm", cut.structure, cut.samples)));
  WriteFile(dir.file("shared.zsp"), MakePack(cut.samples));
  ASSERT_EQ(0, Tool({"export", dir.file("tune.zsf"), "-o", dir.file("out.xm")}).status);
  EXPECT_TRUE(ReadFile(dir.file("out.xm")) == cut.module);
  r = Tool({"info", dir.file("tune.zsf")});
  ASSERT_EQ(0, r.status) << r.out;
  for (const char* line : {"version: 2.2", "module kind: 1 (Fast Tracker Module", "pack: shared.zsp", "samples: 3", "length: "})
    EXPECT_NE(std::string::npos, r.out.find(line)) << r.out;
  ExpectFailure({"export", dir.file("tune.zsf"), "-o", dir.file("out.it")}, {"out.it: check:"});
  // Broken inputs: the refusal names the step and the field, offset or limit it met.
  const std::vector<uint8_t> tune = ReadFile(dir.file("tune.zsf"));
  WriteFile(dir.file("cut.zsf"), std::vector<uint8_t>(tune.begin(), tune.begin() + 20));
  WriteFile(dir.file("two.zsp"), MakePack(std::vector<TestSample>(cut.samples.begin(), cut.samples.begin() + 2)));
  WriteFile(dir.file("short.zsf"), SongBytes(MakeZsf(2, 2, ".xm", cut.structure, cut.samples, "two.zsp")));
  for (TestSample& s : cut.samples) s.offset = 0;
  WriteFile(dir.file("old.zsf"), SongBytes(MakeZsf(1, 10, ".xm", cut.structure, cut.samples)));
  for (auto [name, output, reason] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"cut.zsf", "broken.xm", "header: the file ends after 20 bytes, inside the pack name (bytes 6 to 31)"},
           {"short.zsf", "broken.xm", "samples: sample 2: pack entry 2 does not exist (the pack has 2 slots)"},
           {"old.zsf", "broken.it", "rebuild: the song stores no sample offsets (songs store them from version 1.12)"},
       }) {
    ExpectFailure({"info", dir.file(name)}, {name + ": " + reason});
    ExpectFailure({"export", dir.file(name), "-o", dir.file(output)}, {name + ": " + reason});
    EXPECT_FALSE(FileExists(dir.file(output)));
  }
  WriteFile(dir.file("cut.zgm"), std::string("ZGM1 and no more"));
  ExpectFailure({"info", dir.file("cut.zgm")},
                {"cut.zgm: header: the file ends after 16 bytes, inside the 110-byte header"});
  std::remove(dir.file("shared.zsp").c_str());
  std::remove(dir.file("out.xm").c_str());
  ExpectFailure({"export", dir.file("tune.zsf"), "-o", dir.file("out.xm")},
                {"tune.zsf: sample pack: " + dir.file("shared.zsp") + ": cannot open: No such file or directory"});
  EXPECT_FALSE(FileExists(dir.file("out.xm")));
}

TEST(Zsftool, PackFailures) {
  TempDir dir;
  WriteFile(dir.file("bad.mod"), std::string("too short"));
  WriteFile(dir.file("a.it"), SynthModules()[0].bytes);
  const std::string p = "p.zsp", o = dir.path();
  ExpectFailure({"pack", dir.file("bad.mod"), "--pack", p, "-o", o}, {"zsftool: " + dir.file("bad.mod") + ": read: "});
  ExpectFailure({"pack", dir.file("missing.it"), "--pack", p, "-o", o}, {"zsftool: " + dir.file("missing.it") + ": open: "});
  ExpectFailure({"pack", dir.file("a.it"), "--pack", "/tmp/elsewhere.zsp", "-o", dir.file("o")}, {"must lie in the output folder"});
  ExpectFailure({"pack", dir.file("a.it"), "--pack", p, "-o", o, "--tag", "x"}, {"NAME=VALUE"});
  // A song version that cannot hold sample offsets is written, but not without a word.
  ToolRun old = Tool({"pack", dir.file("a.it"), "--pack", p, "-o", o, "--version", "1.11", "-q"});
  EXPECT_EQ(0, old.status) << old.out;
  EXPECT_NE(std::string::npos, old.out.find("a.zsf: songs of version 1.11 hold no sample offsets (they came with 1.12)"))
      << old.out;
  std::remove(dir.file(p).c_str());
  for (const char* version : {"two", "1.256", "1000.1"})
    ExpectFailure({"pack", dir.file("a.it"), "--pack", p, "-o", o, "--version", version}, {"--version: check"});
  ExpectFailure({"synth", "demo", "-o", dir.file("demo.xm")}, {"*.it"});
  ExpectFailure({"synth", "glide", "-o", dir.file("glide.it")}, {"*.s3m"});
  ExpectFailure({"synth", "multisample", "-o", dir.file("multi.it")}, {"*.xm"});
}

TEST(Zsftool, TagsPrintsSetsRemovesAndRefuses) {
  TempDir dir;
  const std::string song = dir.file("song.zsf");
  std::vector<uint8_t> body(kZsfMagic, kZsfMagic + sizeof kZsfMagic);
  const std::vector<uint8_t> noise = NoiseBody(500);
  body.insert(body.end(), noise.begin(), noise.end());
  WriteFile(song, WithTags(body, "TITLE=Old\nlength=12\n"));
  EXPECT_EQ("TITLE=Old\nlength=12\n", Tool({"tags", song}).out);
  ToolRun r = Tool({"tags", song, "title=New_Name", "Artist=Me"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("title=New Name\nlength=12\nartist=Me\n", r.out);
  EXPECT_EQ(WithTags(body, "title=New_Name\nlength=12\nartist=Me\n"), ReadFile(song));
  EXPECT_EQ("title=New Name\nartist=Me\n", Tool({"tags", song, "--remove", "LENGTH"}).out);
  const std::vector<uint8_t> before = ReadFile(song);
  ExpectFailure({"tags", dir.file("missing.zsf")}, {"missing.zsf: open:"});
  ExpectFailure({"tags", song, "note=" + std::string(65600, 'n')}, {"text too long"});
  EXPECT_EQ(before, ReadFile(song));
  std::vector<uint8_t> bad(body.begin(), body.begin() + sizeof kZsfMagic);
  bad.insert(bad.end(), {0x40, 0x00});
  WriteFile(dir.file("bad.zsf"), bad);
  ExpectFailure({"tags", dir.file("bad.zsf"), "title=x"}, {"no valid tag block"});
  EXPECT_EQ(6u, ReadFile(dir.file("bad.zsf")).size());
  const std::vector<uint8_t> zgmMagic(zgm::kMagic, zgm::kMagic + zgm::kMagicSize);
  WriteFile(dir.file("set.zgm"), WithTags(zgmMagic, "title=x\n"));
  ExpectFailure({"tags", dir.file("set.zgm"), "title=y"}, {"not a ZSF/ZTF song"});
}

TEST(Zsftool, CollectWritesPackTunesThenTextsAndInfoListsThem) {
  TempDir dir;
  auto tune = [](const std::string& tags) {
    ZsfSong song;
    song.packName = "set.zsp";
    song.structure.assign(64, 0x2A);
    song.tagText = tags;
    return SongBytes(song);
  };
  const std::vector<uint8_t> pack = MakePack({Pcm(std::vector<uint8_t>(256, 7), 8, "square")});
  const std::vector<uint8_t> intro = tune("title=Intro\nartist=Someone\nlength=215\n"), stage = tune("title=Stage_One\n");
  WriteFile(dir.file("set.zsp"), pack);
  WriteFile(dir.file("intro.ztf"), intro);
  WriteFile(dir.file("stage_one_long.ztf"), stage);
  WriteFile(dir.file("notes.txt"), std::string("hello\n"));
  const std::string out = dir.file("set.zgm");
  ExpectFailure({"collect", "-o", out, "--pack", dir.file("intro.ztf"), dir.file("set.zsp")}, {"not a ZSP sample pack"});
  ExpectFailure({"collect", "-o", out, "--pack", dir.file("set.zsp"), dir.file("missing.ztf")}, {"missing.ztf: read:"});
  EXPECT_FALSE(FileExists(out));
  ToolRun r = Tool({"collect", "-o", out, "--pack", dir.file("set.zsp"), "--info", "Test set", "--text",
                "readme_first=" + dir.file("notes.txt"), dir.file("intro.ztf"), dir.file("stage_one_long.ztf")});
  ASSERT_EQ(0, r.status) << r.out;
  Collection* c = CollectionCreate();
  ASSERT_EQ(0u, LoadCollection(c, out.c_str(), 0, nullptr));
  EXPECT_STREQ("Test set", c->info);
  const std::vector<uint8_t> notes = {'h', 'e', 'l', 'l', 'o', '\n'};
  const std::vector<std::tuple<uint8_t, std::string, const std::vector<uint8_t>*>> want = {
      {kEntrySamplePack, "set", &pack}, {kEntryTune, "intro", &intro}, {kEntryTune, "stage_on", &stage}, {kEntryText, "readme_f", &notes}};
  ASSERT_EQ(want.size(), c->count);
  for (uint32_t i = 0; i < c->count; ++i) {
    const CollectionEntry* e = GetEntry(c, i);
    EXPECT_EQ(std::get<0>(want[i]), e->kind) << i;
    EXPECT_EQ(std::get<1>(want[i]), std::string(e->name, strnlen(e->name, 8))) << i;
    EXPECT_EQ(*std::get<2>(want[i]), std::vector<uint8_t>(e->data, e->data + e->size)) << i;
  }
  CollectionDestroy(c);
  r = Tool({"info", out});
  ASSERT_EQ(0, r.status) << r.out;
  for (const char* line : {"pack      set", "tune      stage_on", "title=Intro", "title=Stage One", "stored length: 215 s",
                           "stored length: none"})
    EXPECT_NE(std::string::npos, r.out.find(line)) << r.out;
}

TEST(Zsftool, PackInfoListsDumpsAndFails) {
  TempDir dir;
  ZspWriteOptions o;
  o.compress = true;
  o.scrambleKey = ZspKeyFromPassword("Pass");
  WriteFile(dir.file("p.zsp"), MakePack({Pcm({1, 2, 3, 4}, 16, "kick", 5, 9), Empty(), Pcm({7}, 8)}, o));
  ToolRun r = Tool({"pack-info", dir.file("p.zsp"), "--password", "pass", "--want", "0", "--dump", dir.file("d")});
  ASSERT_EQ(0, r.status) << r.out;
  for (const char* part : {"\"kick\"", "empty", "3 slots"}) EXPECT_NE(std::string::npos, r.out.find(part)) << r.out;
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), ReadFile(dir.file("d/0000.raw")));
  EXPECT_FALSE(FileExists(dir.file("d/0002.raw"))) << "not wanted";
  std::filesystem::create_directories(dir.file("e/0000.raw"));
  ExpectFailure({"pack-info", dir.file("p.zsp"), "--password", "pass", "--dump", dir.file("e")},
                {dir.file("e/0000.raw") + ": dump: Is a directory"});
  WriteFile(dir.file("song.zsf"), std::string("ZSF1 not a pack"));
  const FormatVersion newer{kZspHighest.major, uint8_t(kZspHighest.minor + 1)};
  std::vector<uint8_t> newPack(kZspMagic, kZspMagic + sizeof kZspMagic);
  newPack.insert(newPack.end(), {newer.major, newer.minor, 0, 0, 0, 0, 0, 0});
  WriteFile(dir.file("new.zsp"), newPack);
  ExpectFailure({"pack-info", dir.file("missing.zsp")}, {"missing.zsp: open:"});
  ExpectFailure({"pack-info", dir.file("song.zsf")}, {"not a ZSP sample pack"});
  ExpectFailure({"pack-info", dir.file("new.zsp")}, {"version " + VersionText(newer)});
}
