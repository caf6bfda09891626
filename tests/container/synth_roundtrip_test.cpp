// Synthesised modules of every kind, cut with the ZSF writer and packed with the
// ZSP writer, rebuild to the very bytes they were made from.
#include <gtest/gtest.h>

#include "song_fixtures.h"
#include "support/files.h"
#include "tools/synth/module_synth.h"

using namespace zsftest;

namespace {

struct CutSong {
  std::vector<uint8_t> module;
  std::vector<uint8_t> song;
  std::vector<uint8_t> pack;
};

// The module's samples become pack entries (raw signed PCM) and the song names
// them, in sample order.
CutSong CutModule(uint32_t kind, uint8_t major, const zsfsynth::ModuleSpec& spec) {
  static const char* const kExtensions[] = {".it", ".xm", ".s3m", ".mod"};
  CutSong out;
  zsfsynth::ModuleFile module;
  std::string error;
  EXPECT_TRUE(zsfsynth::WriteModule(spec, kind, &module, &error)) << error;
  out.module = module.bytes;

  std::vector<SampleSpan> spans;
  std::vector<TestSample> samples;
  for (const zsfsynth::WrittenSample& s : module.samples) {
    spans.push_back(SampleSpan{s.offset, s.bytes});
    samples.push_back(TestSample{s.pcm, s.bits, 0});
  }
  std::vector<uint8_t> structure;
  std::vector<uint32_t> offsets;
  EXPECT_TRUE(CutModuleImage(module.bytes, spans, &structure, &offsets, &error)) << error;
  for (size_t i = 0; i < samples.size(); ++i) samples[i].offset = offsets[i];
  ZsfSong song = MakeSong(major, major >= 2 ? 2 : 19, kExtensions[kind], structure, samples);
  song.tagText = "title=" + spec.title + "\n";
  out.song = SongBytes(song);
  out.pack = MakePack(samples);
  return out;
}

}  // namespace

TEST(SynthRoundTrip, EveryModuleKindRebuildsByteIdentical) {
  for (uint32_t kind = 0; kind < 4; ++kind) {
    for (uint8_t major : {1, 2}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " major " + std::to_string(major));
      zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(kind, 5, 3);
      CutSong cut = CutModule(kind, major, spec);
      ASSERT_FALSE(cut.module.empty());
      Song song;
      uint32_t count = 0;
      ASSERT_EQ(0u, LoadFromMemory(&song, cut.song, cut.pack, &count));
      EXPECT_EQ(kind, song.GetModuleKind());
      uint32_t result = 1;
      std::vector<uint8_t> rebuilt = Rebuild(&song, &result);
      ASSERT_EQ(0u, result);
      EXPECT_EQ(cut.module.size(), rebuilt.size());
      EXPECT_TRUE(cut.module == rebuilt);
      EXPECT_TRUE(Rebuild(&song) == rebuilt);
    }
  }
}

TEST(SynthRoundTrip, MultiSampleXmFromAFolderRebuildsByteIdentical) {
  CutSong cut = CutModule(1, 2, zsfsynth::XmMultiSampleSpec());
  TempDir dir;
  WriteFile(dir.file("shared.zsp"), cut.pack);
  WriteFile(dir.file("multi.zsf"), cut.song);
  Song song;
  ASSERT_EQ(0u, song.LoadFile(dir.file("multi.zsf").c_str()));
  EXPECT_TRUE(Rebuild(&song) == cut.module);
}
