// What `zsftool pack` promises beyond the round trip: shared samples stored once,
// old song versions that pack but do not rebuild, tags, clear refusals naming the
// module, files written whole, and the command line itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/module_sets.h"
#include "samples/sample_store.h"
#include "container/byte_stream.h"
#include "support/process.h"
#include "ui/tags.h"

using namespace zsftest;

namespace {

zsfpack::PackOptions Defaults() {
  zsfpack::PackOptions o;
  o.packName = "shared.zsp";
  return o;
}

TestModule Synth(const std::string& name, const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  return MakeTestModule(name, spec, kind);
}

uint32_t EntriesIn(const std::vector<uint8_t>& pack) {
  ByteStream* stream = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0);
  SampleStore* store = SampleStoreCreate();
  uint32_t count = SampleStoreLoad(store, stream, nullptr, 0) == 0 ? store->entryCount : 0;
  SampleStoreDestroy(store);
  StreamClose(stream);
  return count;
}

std::string TagsOf(const std::vector<uint8_t>& song) {
  zsftest::TempDir dir;
  zsftest::WriteFile(dir.file("t.zsf"), song);
  uint16_t length = 0;
  char* text = ReadTagText(dir.file("t.zsf").c_str(), &length);
  std::string out = text ? std::string(text, length) : std::string();
  std::free(text);
  return out;
}

TEST(PackSharing, SamplesShardByModulesAreStoredOnce) {
  // Two IT songs of different lengths over the same four samples, and an S3M whose
  // samples the rebuild converts: its entries differ from the IT ones.
  TestModule a = Synth("first.it", zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 2), zsfmod::kKindIt);
  TestModule b = Synth("second.it", zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 3), zsfmod::kKindIt);
  ASSERT_NE(a.bytes, b.bytes);
  zsfpack::PackResult result;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&a, &b}), Defaults(), &result, &error)) << error.Text();
  EXPECT_EQ(result.sampleCount, 8u);
  EXPECT_EQ(result.entryCount, 4u);
  EXPECT_EQ(EntriesIn(result.pack), 4u);

  // A module that lists the same sample twice stores it once too.
  zsfsynth::ModuleSpec twice = zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1);
  twice.samples.push_back(twice.samples[0]);
  TestModule c = Synth("twice.it", twice, zsfmod::kKindIt);
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&c}), Defaults(), &result, &error)) << error.Text();
  EXPECT_EQ(result.sampleCount, 3u);
  EXPECT_EQ(result.entryCount, 2u);
  zsftest::TempDir dir;
  ASSERT_TRUE(zsfpack::WritePackResult(result, dir.path(), dir.file("shared.zsp"), &error));
  int step = -1;
  EXPECT_TRUE(Export(dir.file("twice.zsf"), "", &step) == c.expected);
}

TEST(PackOldVersions, SongsWithoutOffsetsPackButDoNotRebuild) {
  const TestModule& it = SynthModules()[0];
  for (auto v : {std::make_pair(0, 5), std::make_pair(1, 0), std::make_pair(1, 9), std::make_pair(1, 11)}) {
    SCOPED_TRACE(std::to_string(v.first) + "." + std::to_string(v.second));
    zsfpack::PackOptions o = Defaults();
    o.songMajor = static_cast<uint8_t>(v.first);
    o.songMinor = static_cast<uint8_t>(v.second);
    zsfpack::PackResult result;
    zsfpack::PackError error;
    ASSERT_TRUE(zsfpack::PackModules(Inputs({&it}), o, &result, &error)) << error.Text();
    zsftest::TempDir dir;
    ASSERT_TRUE(zsfpack::WritePackResult(result, dir.path(), dir.file("shared.zsp"), &error));
    const std::vector<uint8_t> file = zsftest::ReadFile(dir.file("sample_mode.zsf"));
    EXPECT_EQ(file[4], v.first);
    EXPECT_EQ(file[5], v.second);
    int step = -1;
    Export(dir.file("sample_mode.zsf"), "", &step);
    EXPECT_EQ(step, 2) << "loads, but the rebuild has no offsets";
  }
  // Before 1.11 a song cannot say which kind of module it holds: only IT.
  zsfpack::PackOptions o = Defaults();
  o.songMajor = 1;
  o.songMinor = 10;
  zsfpack::PackResult result;
  zsfpack::PackError error;
  EXPECT_FALSE(zsfpack::PackModules(Inputs({&SynthModules()[3]}), o, &result, &error));
  EXPECT_EQ(error.path, "basic.xm");
  EXPECT_NE(error.reason.find("1.11"), std::string::npos) << error.Text();
}

TEST(PackTags, TitleFromTheModuleAndTagsAddedOrReplaced) {
  zsfpack::PackOptions o = Defaults();
  zsfpack::PackResult result;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), o, &result, &error));
  EXPECT_EQ(TagsOf(result.songs[0].bytes), "title=zsf basic\n");

  o.tags = {{"ARTIST", "Somebody Else"}, {"Title", "Renamed"}, {"game", "Demo"}};
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), o, &result, &error));
  EXPECT_EQ(TagsOf(result.songs[0].bytes), "title=Renamed\nartist=Somebody Else\ngame=Demo\n");
}

TEST(PackRefusals, EachNamesTheModuleOrOptionAndTheReason) {
  struct Case {
    std::string what;
    zsfpack::PackOptions options;
    std::vector<zsfpack::ModuleInput> modules;
    std::string path, reason;
  };
  const TestModule& it = SynthModules()[0];
  std::vector<uint8_t> truncated(it.bytes.begin(), it.bytes.begin() + it.bytes.size() / 2);
  std::vector<uint8_t> garbage(300, 0x5A);
  auto with = [](auto change) {
    zsfpack::PackOptions o = Defaults();
    change(&o);
    return o;
  };
  const std::vector<Case> cases = {
      {"truncated module", Defaults(), {{"cut.it", truncated}}, "cut.it", "past the end"},
      {"not a module", Defaults(), {{"noise.xm", garbage}}, "noise.xm", ""},
      {"unknown extension", Defaults(), {{"song.wav", it.bytes}}, "song.wav", "not a module"},
      {"two songs of one name", Defaults(), {{"a/x.it", it.bytes}, {"b/x.it", it.bytes}}, "b/x.it", "a/x.it"},
      {"song version 2.3", with([](zsfpack::PackOptions* o) { o->songMinor = 3; }), {{"a.it", it.bytes}},
       "--version", "2.3"},
      {"pack version 3.0", with([](zsfpack::PackOptions* o) { o->packMajor = 3; o->packMinor = 0; }),
       {{"a.it", it.bytes}}, "--pack-version", "3.0"},
      {"long pack name", with([](zsfpack::PackOptions* o) { o->packName = std::string(27, 'p'); }),
       {{"a.it", it.bytes}}, std::string(27, 'p'), "26"},
      {"scrambling an old pack",
       with([](zsfpack::PackOptions* o) { o->password = "x"; o->packMajor = 1; o->packMinor = 22; }),
       {{"a.it", it.bytes}}, "shared.zsp", "1.23"},
      // "2" hashes to 50: the key would be 0 and the samples would stay readable.
      {"password without a key", with([](zsfpack::PackOptions* o) { o->password = "2"; }),
       {{"a.it", it.bytes}}, "--password", "key 0"},
      {"tag name with =", with([](zsfpack::PackOptions* o) { o->tags = {{"a=b", "c"}}; }),
       {{"a.it", it.bytes}}, "--tag", "no tag name"},
      {"no modules", Defaults(), {}, "pack", "no modules"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zsfpack::PackResult result;
    zsfpack::PackError error;
    EXPECT_FALSE(zsfpack::PackModules(c.modules, c.options, &result, &error));
    EXPECT_EQ(error.path, c.path) << error.Text();
    EXPECT_FALSE(error.reason.empty());
    EXPECT_NE(error.reason.find(c.reason), std::string::npos) << error.Text();
  }
}

TEST(PackWriting, FilesAppearWholeOrNotAtAll) {
  zsfpack::PackResult result;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0], &SynthModules()[3]}), Defaults(), &result,
                                   &error));
  zsftest::TempDir dir;
  // A folder in the way of the second song: nothing at all is written.
  ASSERT_EQ(mkdir(dir.file("basic.zsf").c_str(), 0755), 0);
  EXPECT_FALSE(zsfpack::WritePackResult(result, dir.path(), dir.file("shared.zsp"), &error));
  EXPECT_EQ(error.path, dir.file("basic.zsf"));
  struct stat st;
  EXPECT_NE(stat(dir.file("shared.zsp").c_str(), &st), 0);
  EXPECT_NE(stat(dir.file("sample_mode.zsf").c_str(), &st), 0);
  rmdir(dir.file("basic.zsf").c_str());
  // Missing folders are made.
  const std::string deep = dir.file("a/b");
  ASSERT_TRUE(zsfpack::WritePackResult(result, deep, deep + "/shared.zsp", &error)) << error.Text();
  EXPECT_TRUE(zsftest::ReadFile(deep + "/shared.zsp") == result.pack);
  EXPECT_TRUE(zsftest::ReadFile(deep + "/basic.zsf") == result.songs[1].bytes);
}

// ---- The command line ----

const std::string kTool = std::string(ZSF_BINARY_DIR) + "/zsftool";

TEST(PackCommand, SynthPackAndExportFromTheCommandLine) {
  zsftest::TempDir dir;
  zsftest::ProcessResult r = zsftest::RunProcess({kTool, "synth", "demo", "-o", dir.file("demo.it")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(zsftest::ReadFile(dir.file("demo.it")) == zsfsynth::MakeDemoTune());
  zsftest::WriteFile(dir.file("multi.xm"), SynthModules()[4].bytes);

  r = zsftest::RunProcess({kTool, "pack", dir.file("demo.it"), dir.file("multi.xm"), "--pack", "both.zsp", "-o",
                           dir.file("out"), "--tune", "--version", "1.19", "--pack-version", "1.36",
                           "--compress", "--password", "Swordfish", "--tag", "album=Both"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("both.zsp"), std::string::npos) << r.out;
  const std::vector<uint8_t> song = zsftest::ReadFile(dir.file("out/demo.ztf"));
  ASSERT_GT(song.size(), 6u);
  EXPECT_EQ(song[4], 1);
  EXPECT_EQ(song[5], 19);
  EXPECT_EQ(TagsOf(song), "title=zsf demo tune\nalbum=Both\n");

  r = zsftest::RunProcess({kTool, "export", dir.file("out/multi.ztf"), "--password", "Swordfish", "-o",
                           dir.file("back.xm")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(zsftest::ReadFile(dir.file("back.xm")) == SynthModules()[4].bytes);
  r = zsftest::RunProcess({kTool, "export", dir.file("out/demo.ztf"), "--password", "swordfish", "-o",
                           dir.file("back.it")});
  ASSERT_EQ(r.exitCode, 0) << r.err;  // the password ignores case
  EXPECT_TRUE(zsftest::ReadFile(dir.file("back.it")) == zsfsynth::MakeDemoTune());
}

TEST(PackCommand, FailuresNameTheFileTheStepAndTheReason) {
  zsftest::TempDir dir;
  zsftest::WriteFile(dir.file("bad.mod"), std::string("too short"));
  zsftest::ProcessResult r =
      zsftest::RunProcess({kTool, "pack", dir.file("bad.mod"), "--pack", "p.zsp", "-o", dir.path()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("zsftool: " + dir.file("bad.mod") + ": read: ", 0), 0u) << r.err;

  r = zsftest::RunProcess({kTool, "pack", dir.file("missing.it"), "--pack", "p.zsp", "-o", dir.path()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("zsftool: " + dir.file("missing.it") + ": open: ", 0), 0u) << r.err;

  zsftest::WriteFile(dir.file("a.it"), SynthModules()[0].bytes);
  r = zsftest::RunProcess({kTool, "pack", dir.file("a.it"), "--pack", "/tmp/elsewhere.zsp", "-o", dir.file("o")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("must lie in the output folder"), std::string::npos) << r.err;

  r = zsftest::RunProcess({kTool, "pack", dir.file("a.it"), "--pack", "p.zsp", "-o", dir.path(), "--tag", "x"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("NAME=VALUE"), std::string::npos) << r.err;

  r = zsftest::RunProcess({kTool, "pack", dir.file("a.it"), "--pack", "p.zsp", "-o", dir.path(), "--version", "two"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--version: check"), std::string::npos) << r.err;

  r = zsftest::RunProcess({kTool, "synth", "demo", "-o", dir.file("demo.xm")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("*.it"), std::string::npos) << r.err;
  r = zsftest::RunProcess({kTool, "synth", "glide", "-o", dir.file("glide.it")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("*.s3m"), std::string::npos) << r.err;
}

}  // namespace
