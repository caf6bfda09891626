// zsftool pack and collect on folders as people keep them: modules recognised by
// their content whatever their names, the damaged one skipped with its reason while
// the rest are packed, songs of the same name kept apart, existing files kept unless
// --force, and every song giving its module back byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "collection/collection.h"
#include "samples/zsp_format.h"
#include "support/build_paths.h"
#include "support/files.h"
#include "support/module_sets.h"
#include "support/process.h"
#include "tools/modules/module_formats.h"
#include "tools/modules/module_kind.h"

using namespace zsftest;

namespace {

ProcessResult Tool(std::vector<std::string> args) {
  args.insert(args.begin(), ZSF_BINARY_DIR "/zsftool");
  return RunProcess(args);
}

struct Placed {
  const char* path;       // under the input folder
  const TestModule* module;
  const char* song;       // its song's name, or null when it is skipped
  uint32_t kind;
};

}  // namespace

TEST(PackModuleKind, ComesFromTheContent) {
  const std::vector<TestModule>& m = SynthModules();
  std::vector<uint8_t> fifteenCut = m[9].bytes, fifteenTuned = m[9].bytes;
  fifteenCut.resize(fifteenCut.size() - 1);
  fifteenTuned[zsfmod::kModTitleSize + 24] = 15;  // the first sample's finetune and volume at their highest
  fifteenTuned[zsfmod::kModTitleSize + 25] = 64;
  const std::vector<std::pair<std::vector<uint8_t>, int>> cases = {
      {m[0].bytes, zsfmod::kKindIt}, {m[4].bytes, zsfmod::kKindXm}, {m[6].bytes, zsfmod::kKindS3m},
      {m[7].bytes, zsfmod::kKindMod}, {m[8].bytes, zsfmod::kKindMod}, {m[9].bytes, zsfmod::kKindMod},
      {fifteenTuned, zsfmod::kKindMod},
      // The old 15-sample MOD has no signature: taken only when its layout fits the file.
      {fifteenCut, -1}, {std::vector<uint8_t>(4000, ' '), -1}, {{}, -1}};
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::vector<uint8_t>& bytes = cases[i].first;
    uint32_t kind = 99;
    std::string why;
    const size_t head = std::min(bytes.size(), zsfmod::kModuleKindHeadBytes);
    EXPECT_EQ(cases[i].second >= 0, zsfmod::RecogniseModuleKind(bytes.data(), head, bytes.size(), &kind, &why)) << i;
    if (cases[i].second >= 0) {
      EXPECT_EQ(static_cast<uint32_t>(cases[i].second), kind) << i;
    } else {
      EXPECT_NE(std::string::npos, why.find("not a module")) << i << ": " << why;
    }
  }
  std::string why;
  uint32_t kind = 0;
  ASSERT_FALSE(zsfmod::RecogniseModuleKind(fifteenCut.data(), 1084, fifteenCut.size(), &kind, &why));
  EXPECT_NE(std::string::npos, why.find("15-sample MOD its 2 patterns and samples would need")) << why;
}

TEST(PackFolders, WrongNamesDamagedAndDuplicatesInOneRun) {
  const std::vector<TestModule>& m = SynthModules();
  TestModule damaged{"cut.s3m", std::vector<uint8_t>(m[5].bytes.begin(), m[5].bytes.begin() + m[5].bytes.size() / 2), {}};
  const std::vector<Placed> placed = {  // in the order of their paths
      {"a/deep/noname", &m[2], "noname", zsfmod::kKindIt},         // no extension at all
      {"a/deep/song.zik", &m[4], "song", zsfmod::kKindXm},
      {"a/theme.mod", &m[3], "theme", zsfmod::kKindXm},            // XM content named .mod
      {"a/tune.stm", &m[5], "tune", zsfmod::kKindS3m},
      {"b/Theme.mod", &m[7], "Theme-2", zsfmod::kKindMod},         // the same name, another folder
      {"b/fifteen.xm", &m[9], "fifteen", zsfmod::kKindMod},
      {"b/cut.s3m", &damaged, nullptr, zsfmod::kKindS3m},
      {"b/sample_mode.it", &m[0], "sample_mode", zsfmod::kKindIt},
  };
  TempDir dir;
  for (const char* folder : {"in", "in/a", "in/a/deep", "in/b"}) ASSERT_EQ(0, mkdir(dir.file(folder).c_str(), 0755));
  for (const Placed& p : placed) WriteFile(dir.file(std::string("in/") + p.path), p.module->bytes);
  WriteFile(dir.file("in/a/readme.txt"), std::string("not music\n"));
  WriteFile(dir.file("in/.hidden.it"), m[0].bytes);

  const std::vector<std::string> pack = {"pack", dir.file("in"), "--pack", "set.zsp", "-o", dir.file("out")};
  ProcessResult r = Tool(pack);
  EXPECT_EQ(2, r.exitCode) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("7 of 8 modules packed, 1 skipped; 1 other file under")) << r.out;
  for (const std::string& line : {dir.file("in/b/cut.s3m") + ": read: S3M", dir.file("in/a/theme.mod") +
                                  ": note: the name ends in .mod, but the content is an XM module: packed as XM"})
    EXPECT_NE(std::string::npos, r.err.find(line)) << r.err;
  size_t previous = 0;  // the songs come in the order of their paths
  for (const Placed& p : placed) {
    if (!p.song) {
      EXPECT_FALSE(FileExists(dir.file(std::string("out/") + "cut.zsf")));
      continue;
    }
    const std::string song = dir.file(std::string("out/") + p.song + ".zsf");
    const size_t at = r.out.find(song + ": ");
    EXPECT_TRUE(at != std::string::npos && at >= previous) << p.path << "\n" << r.out;
    previous = at;
    int step = -1;
    EXPECT_TRUE(Export(song, "", &step) == p.module->expected) << p.path;
    EXPECT_EQ(0, step) << p.path;
    Song loaded;
    ASSERT_EQ(0u, loaded.LoadFile(song.c_str()));
    EXPECT_EQ(p.kind, loaded.GetModuleKind()) << p.path << ": the song records the kind it really is";
  }

  // Nothing packed earlier is replaced without --force: not the pack (its songs read
  // their samples from it), not a song.
  const std::vector<uint8_t> before = ReadFile(dir.file("out/set.zsp"));
  r = Tool(pack);
  EXPECT_EQ(1, r.exitCode);
  EXPECT_NE(std::string::npos, r.err.find("set.zsp: check: exists")) << r.err;
  ASSERT_EQ(0, std::remove(dir.file("out/set.zsp").c_str()));
  r = Tool({"pack", dir.file("in/b/sample_mode.it"), dir.file("in/a/theme.mod"), "--pack", "new.zsp", "-o", dir.file("out")});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_NE(std::string::npos, r.err.find("sample_mode.zsf exists (--force replaces it) (skipped)")) << r.err;
  EXPECT_FALSE(FileExists(dir.file("out/new.zsp")));
  WriteFile(dir.file("out/set.zsp"), before);
  r = Tool({"pack", dir.file("in"), "--pack", "set.zsp", "-o", dir.file("out"), "--force", "--quiet"});
  EXPECT_EQ(2, r.exitCode);
  EXPECT_EQ("7 of 8 modules packed, 1 skipped; 1 other file under the folders holds no module\n", r.out);
  EXPECT_TRUE(ReadFile(dir.file("out/set.zsp")) == before) << "the same modules give the same pack";

  // collect takes the folder straight to one collection: the pack, then the tunes.
  r = Tool({"collect", "-o", dir.file("set.zgm"), dir.file("in/b")});
  EXPECT_EQ(2, r.exitCode) << r.out << r.err;
  Collection* c = CollectionCreate();
  ASSERT_EQ(0u, LoadCollection(c, dir.file("set.zgm").c_str(), 0, nullptr));
  ASSERT_EQ(4u, c->count);
  EXPECT_EQ(kEntrySamplePack, GetEntry(c, 0)->kind);
  for (uint32_t i = 1; i < 4; ++i) EXPECT_EQ(kEntryTune, GetEntry(c, i)->kind);
  EXPECT_EQ("fifteen", std::string(GetEntry(c, 2)->name, strnlen(GetEntry(c, 2)->name, 8)));
  CollectionDestroy(c);
  r = Tool({"collect", "-o", dir.file("none.zgm"), dir.file("in/b/cut.s3m")});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_FALSE(FileExists(dir.file("none.zgm")));
}

TEST(PackFolders, ASkippedModuleLeavesNoSamplesInThePack) {
  // The multisample XM is refused at its first 16-bit sample (a 1.25 pack cannot say
  // so), after its 8-bit ones were taken: the pack is that of the IT alone.
  zsfpack::PackOptions o;
  o.packName = "p.zsp";
  o.packMajor = 1;
  o.packMinor = 25;
  o.skipUnpackable = true;
  zsfpack::PackResult alone, both;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), o, &alone, &error)) << error.Text();
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[4], &SynthModules()[0]}), o, &both, &error)) << error.Text();
  ASSERT_EQ(1u, both.skipped.size());
  EXPECT_NE(std::string::npos, both.skipped[0].reason.find(VersionText(kZspWidthAttributeFrom)))
      << both.skipped[0].Text();
  EXPECT_TRUE(alone.pack == both.pack);
  // Without skipping, a module file that cannot be read or packed stops the run, named.
  o.skipUnpackable = false;
  TempDir dir;
  const std::vector<uint8_t>& it = SynthModules()[0].bytes;
  WriteFile(dir.file("cut.it"), std::vector<uint8_t>(it.begin(), it.begin() + 200));
  for (const char* name : {"gone.it", "cut.it"}) {
    EXPECT_FALSE(zsfpack::PackModuleFiles({zsfpack::ModuleSource{dir.file(name), "", 0}}, o, &both, &error)) << name;
    EXPECT_EQ(dir.file(name), error.path);
  }
}
