// Packing then exporting gives every module back byte for byte (IT samples as their
// plain-PCM rewrite), for every kind the synthesiser makes and every real module
// present, over the song and pack versions at each layout change, with and without
// compression and scrambling; Vorbis packs keep the size and sound close; and what
// the packer promises besides: shared samples stored once, tags, refusals naming
// the module, files written whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "container/zsf_format.h"
#include "samples/zsp_format.h"
#include "support/module_sets.h"
#include "support/song_parts.h"
#include "ui/tags.h"

using namespace zsftest;

namespace {

zsfpack::PackOptions Options(uint8_t songMajor = 2, uint8_t songMinor = 2, uint8_t packMajor = 2, uint8_t packMinor = 3) {
  zsfpack::PackOptions o;
  o.packName = "shared.zsp";
  o.songMajor = songMajor;
  o.songMinor = songMinor;
  o.packMajor = packMajor;
  o.packMinor = packMinor;
  return o;
}

// Packs MODULES, writes the result into DIR and exports each song again.
zsfpack::PackResult PackAndExport(const std::vector<const TestModule*>& modules, const zsfpack::PackOptions& o,
                                  const TempDir& dir, std::vector<std::vector<uint8_t>>* exported) {
  zsfpack::PackResult result;
  zsfpack::PackError error;
  EXPECT_TRUE(zsfpack::PackModules(Inputs(modules), o, &result, &error)) << error.Text();
  EXPECT_TRUE(zsfpack::WritePackResult(result, dir.path(), dir.file(o.packName), &error)) << error.Text();
  for (const zsfpack::PackedSong& song : result.songs) {
    int step = -1;
    exported->push_back(Export(dir.file(song.fileName), o.password, &step));
    EXPECT_EQ(0, step) << song.fileName;
  }
  return result;
}

// The tag text at the end of a song's bytes.
std::string Trailer(const std::vector<uint8_t>& song) {
  const size_t length = song[song.size() - 2] | song.back() << 8;
  return std::string(song.end() - 2 - length, song.end() - 2);
}

std::vector<const TestModule*> All(const std::vector<TestModule>& modules) {
  std::vector<const TestModule*> out;
  for (const TestModule& m : modules) out.push_back(&m);
  return out;
}

}  // namespace

TEST(PackRoundTrip, EveryModuleComesBackByteForByteInEveryVersion) {
  const FormatVersion songVersions[] = {kZsfSampleOffsetFrom, kZsfExtraEntriesFrom, kZsfHighestAccepted};
  const FormatVersion packVersions[] = {{0, 0},           kZspScrambleFlagFrom, kZspWidthAttributeFrom,
                                        kZspEmptySlotFrom, kZspTypedListFrom,    kZspHighest};
  int round = 0;
  for (auto [songMajor, songMinor] : songVersions) {
    for (auto [packMajor, packMinor] : packVersions) {
      zsfpack::PackOptions o = Options(songMajor, songMinor, packMajor, packMinor);
      // Compression and scrambling alternate; scrambling needs a pack with the flag.
      o.compress = round % 2 == 0;
      o.password = round++ % 3 != 0 && ZspHasScrambleFlag(packMajor, packMinor) ? "Rosebud" : "";
      const bool widths = VersionAtLeast(packMajor, packMinor, kZspWidthAttributeFrom);
      SCOPED_TRACE(testing::Message() << "song " << int(songMajor) << "." << int(songMinor) << " pack " << int(packMajor)
                                      << "." << int(packMinor) << (o.compress ? " lzo" : "") << " " << o.password);
      for (const std::vector<TestModule>* set : {&SynthModules(), &RealModules()}) {
        std::vector<const TestModule*> packable;
        for (const TestModule& m : *set) {
          if (!m.sixteenBitConverted || widths) {
            packable.push_back(&m);
            continue;
          }
          // Such a pack cannot say a sample is 16-bit, and the rebuild would convert
          // it as 8-bit: the packer refuses, naming the module.
          zsfpack::PackResult refused;
          zsfpack::PackError error;
          EXPECT_FALSE(zsfpack::PackModules(Inputs({&m}), o, &refused, &error)) << m.name;
          EXPECT_EQ(m.name, error.path);
          EXPECT_NE(std::string::npos, error.reason.find(VersionText(kZspWidthAttributeFrom))) << error.Text();
        }
        if (packable.empty()) continue;
        TempDir dir;
        std::vector<std::vector<uint8_t>> back;
        zsfpack::PackResult result = PackAndExport(packable, o, dir, &back);
        ASSERT_EQ(packable.size(), back.size());
        for (size_t i = 0; i < packable.size(); ++i) {
          EXPECT_EQ(Stem(packable[i]->name) + ".zsf", result.songs[i].fileName);
          EXPECT_TRUE(result.songs[i].module == packable[i]->expected) << packable[i]->name;
          EXPECT_TRUE(back[i] == packable[i]->expected) << packable[i]->name << ": the exported module differs";
        }
      }
    }
  }
  int rewritten = 0;  // both instrument ITs hold compressed samples; the sample-mode IT does not
  for (const TestModule& m : SynthModules()) rewritten += m.bytes != m.expected;
  EXPECT_EQ(2, rewritten);
}

TEST(PackVorbis, ModulesKeepTheirSizeAndSoundClose) {
  for (const std::vector<TestModule>* set : {&SynthModules(), &RealModules()}) {
    if (set->empty()) continue;
    zsfpack::PackOptions o = Options();
    o.vorbis = true;
    o.vorbisQuality = 0.5f;
    TempDir dir;
    std::vector<std::vector<uint8_t>> back;
    zsfpack::PackResult result = PackAndExport(All(*set), o, dir, &back);
    for (size_t i = 0; i < back.size(); ++i) {
      const TestModule& m = (*set)[i];
      ASSERT_EQ(m.expected.size(), back[i].size()) << m.name;
      zsfmod::ModuleLayout layout;
      std::string reason;
      ASSERT_TRUE(zsfmod::ReadModuleLayout(m.expected, FileKindOf(m.name), &layout, &reason)) << reason;
      std::vector<bool> inSample(back[i].size(), false);
      double signal = 0, noise = 0;
      for (const zsfmod::SampleLayout& s : layout.samples) {
        std::fill(inSample.begin() + s.offset, inSample.begin() + s.offset + s.bytes, true);
        std::vector<uint8_t> a, c;
        ASSERT_TRUE(zsfmod::DecodeSample(m.expected, s, &a, &reason) && zsfmod::DecodeSample(back[i], s, &c, &reason));
        for (size_t k = 0; k + s.bits / 8 <= a.size(); k += s.bits / 8) {
          double x = s.bits == 16 ? int16_t(a[k] | a[k + 1] << 8) / 32768.0 : int8_t(a[k]) / 128.0;
          double y = s.bits == 16 ? int16_t(c[k] | c[k + 1] << 8) / 32768.0 : int8_t(c[k]) / 128.0;
          signal += x * x;
          noise += (x - y) * (x - y);
        }
      }
      for (size_t b = 0; b < back[i].size(); ++b)
        if (!inSample[b]) { ASSERT_EQ(m.expected[b], back[i][b]) << m.name << ": byte " << b << " outside the samples"; }
      const double snr = noise > 0 ? 10 * std::log10(signal / noise) : 200.0;
      std::printf("[  SNR     ] %-28s %6.1f dB\n", m.name.c_str(), snr);
      EXPECT_GT(snr, 12.0) << m.name;
    }
    // Entries whose Vorbis stream would be larger stay raw (so do signed S3M samples,
    // whose pack bytes are not audio): coding never grows the pack beyond its raw size.
    EXPECT_LT(result.pack.size(), result.rawSampleBytes + 64 * result.entryCount);
    EXPECT_GT(result.codedEntries, 0u);
    if (set == &SynthModules()) { EXPECT_LT(result.codedEntries, result.entryCount); }
    if (set == &RealModules()) { EXPECT_LT(result.pack.size(), result.rawSampleBytes / 2) << "real music gets far smaller"; }
  }
}

TEST(PackOptions, SharingTagsAndOldVersions) {
  // Two IT songs of different lengths over the same four samples, and a module that
  // lists the same sample twice: each sample stored once.
  TestModule a = MakeTestModule("first.it", SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 2), zsfmod::kKindIt));
  TestModule b = MakeTestModule("second.it", SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 3), zsfmod::kKindIt));
  zsfsynth::ModuleSpec twice = zsfsynth::BasicSpec(zsfmod::kKindIt, 2, 1);
  twice.samples.push_back(twice.samples[0]);
  TestModule c = MakeTestModule("twice.it", SynthBytes(twice, zsfmod::kKindIt));
  TempDir dir, dir2;
  std::vector<std::vector<uint8_t>> back;
  zsfpack::PackResult result = PackAndExport({&a, &b}, Options(), dir, &back);
  EXPECT_EQ(8u * 100 + 4, result.sampleCount * 100 + result.entryCount);
  EXPECT_EQ(4u, LoadPack(result.pack)->entryCount);
  result = PackAndExport({&c}, Options(), dir2, &back);
  EXPECT_EQ(3u * 100 + 2, result.sampleCount * 100 + result.entryCount);
  EXPECT_TRUE(back[2] == c.expected);
  // The title from the module; tags added or replaced, names lowered, in order.
  zsfpack::PackOptions tagged = Options();
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), tagged, &result, &error));
  EXPECT_EQ("title=zsf basic\n", Trailer(result.songs[0].bytes));
  tagged.tags = {{"ARTIST", "Somebody Else"}, {"Title", "Renamed"}, {"game", "Demo"}};
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), tagged, &result, &error));
  EXPECT_EQ("title=Renamed\nartist=Somebody Else\ngame=Demo\n", Trailer(result.songs[0].bytes));
  // Songs before 1.12 store no offsets: they pack, load, but do not rebuild; before
  // 1.11 a song cannot say which kind it holds: only IT.
  for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 5}, {1, 0}, {1, 9}, {1, 11}}) {
    TempDir old;
    ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0]}), Options(major, minor), &result, &error)) << error.Text();
    ASSERT_TRUE(zsfpack::WritePackResult(result, old.path(), old.file("shared.zsp"), &error));
    EXPECT_EQ(major * 256 + minor, ReadFile(old.file("sample_mode.zsf"))[4] * 256 + ReadFile(old.file("sample_mode.zsf"))[5]);
    int step = -1;
    Export(old.file("sample_mode.zsf"), "", &step);
    EXPECT_EQ(2, step) << "loads, but the rebuild has no offsets";
  }
  EXPECT_FALSE(zsfpack::PackModules(Inputs({&SynthModules()[3]}), Options(1, 10), &result, &error));
  EXPECT_EQ("basic.xm", error.path);
  EXPECT_NE(std::string::npos, error.reason.find(VersionText(kZsfModuleExtensionFrom))) << error.Text();
}

TEST(PackOptions, RefusalsNameTheModuleOrOptionAndTheReason) {
  const TestModule& it = SynthModules()[0];
  auto with = [](auto change) {
    zsfpack::PackOptions o = Options();
    change(&o);
    return o;
  };
  struct Case {
    zsfpack::PackOptions options;
    std::vector<zsfpack::ModuleInput> modules;
    std::string path, reason;
  };
  const std::vector<Case> cases = {
      {Options(), {{"cut.it", std::vector<uint8_t>(it.bytes.begin(), it.bytes.begin() + it.bytes.size() / 2)}}, "cut.it", "past the end"},
      {Options(), {{"noise.xm", std::vector<uint8_t>(300, 0x5A)}}, "noise.xm", ""},
      {Options(), {{"song.wav", std::vector<uint8_t>(2000, 'w')}}, "song.wav", "not a module"},
      {Options(), {{"a/x.it", it.bytes}, {"b/x.it", it.bytes}}, "b/x.it", "a/x.it"},
      {Options(2, 3), {{"a.it", it.bytes}}, "--version", "2.3"},
      {Options(2, 2, 3, 0), {{"a.it", it.bytes}}, "--pack-version", "3.0"},
      {with([](auto* o) { o->packName = std::string(kZsfPackNameLength + 1, 'p'); }), {{"a.it", it.bytes}},
       std::string(kZsfPackNameLength + 1, 'p'), std::to_string(kZsfPackNameLength)},
      {with([](auto* o) { o->password = "x"; o->packMajor = 1; o->packMinor = 22; }), {{"a.it", it.bytes}},
       "shared.zsp",
       VersionText(kZspScrambleFlagFrom)},
      // "2" hashes to 50: the key would be 0 and the samples would stay readable.
      {with([](auto* o) { o->password = "2"; }), {{"a.it", it.bytes}}, "--password", "key 0"},
      {with([](auto* o) { o->tags = {{"a=b", "c"}}; }), {{"a.it", it.bytes}}, "--tag", "no tag name"},
      {with([](auto* o) { o->vorbis = true; o->packMajor = 1; o->packMinor = 27; }), {{"a.it", it.bytes}}, "shared.zsp",
       VersionText(kZspTypeByteFrom)},
      {Options(), {}, "pack", "no modules"},
  };
  for (const Case& c : cases) {
    zsfpack::PackResult result;
    zsfpack::PackError error;
    EXPECT_FALSE(zsfpack::PackModules(c.modules, c.options, &result, &error)) << c.path;
    EXPECT_EQ(c.path, error.path) << error.Text();
    EXPECT_FALSE(error.reason.empty());
    EXPECT_NE(std::string::npos, error.reason.find(c.reason)) << error.Text();
  }
}

TEST(PackOptions, FilesAppearWholeOrNotAtAll) {
  zsfpack::PackResult result;
  zsfpack::PackError error;
  ASSERT_TRUE(zsfpack::PackModules(Inputs({&SynthModules()[0], &SynthModules()[3]}), Options(), &result, &error));
  TempDir dir;
  // Older files of the pack and the first song; a folder in the way of the second
  // song, found once the first two are written.
  WriteFile(dir.file("shared.zsp"), std::string("old pack"));
  WriteFile(dir.file("sample_mode.zsf"), std::string("old song"));
  ASSERT_EQ(0, mkdir(dir.file("basic.zsf").c_str(), 0755));
  EXPECT_FALSE(zsfpack::WritePackResult(result, dir.path(), dir.file("shared.zsp"), &error));
  EXPECT_EQ(dir.file("basic.zsf"), error.path);
  auto text = [](const std::string& path) {
    std::vector<uint8_t> bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ("old pack|old song", text(dir.file("shared.zsp")) + "|" + text(dir.file("sample_mode.zsf")));
  EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir.path()), {})) << "no temporary file is left";
  const std::string deep = dir.file("a/b");  // missing folders are made
  ASSERT_TRUE(zsfpack::WritePackResult(result, deep, deep + "/shared.zsp", &error)) << error.Text();
  EXPECT_TRUE(ReadFile(deep + "/shared.zsp") == result.pack);
  EXPECT_TRUE(ReadFile(deep + "/basic.zsf") == result.songs[1].bytes);
}
