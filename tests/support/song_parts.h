// Songs put together field by field with our own ZSF writer, for tests of the song
// reader and the module rebuild at any version: each sample is one raw PCM entry of
// a pack, and a synthesised module can be cut into such a song.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "support/pack_maker.h"
#include "tools/synth/module_synth.h"

namespace zsftest {

struct TestSample {
  std::vector<uint8_t> pcm;
  uint8_t bits = 8;
  uint32_t offset = 0;
};

inline std::vector<uint8_t> MakePack(const std::vector<TestSample>& samples) {
  std::vector<ZspEntry> entries;
  for (const TestSample& s : samples) entries.push_back(Pcm(s.pcm, s.bits));
  return MakePack(entries);
}

// A song of version MAJOR.MINOR whose sample i is pack entry i, copied unchanged.
inline ZsfSong MakeZsf(uint8_t major, uint8_t minor, const std::string& extension,
                       const std::vector<uint8_t>& structure, const std::vector<TestSample>& samples,
                       const std::string& packName = "shared.zsp") {
  ZsfSong song;
  song.major = major;
  song.minor = minor;
  song.packName = packName;
  song.moduleExtension = extension;
  song.structure = structure;
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto index = static_cast<uint32_t>(i);
    const auto size = static_cast<uint32_t>(samples[i].pcm.size());
    if (major >= 2) {
      song.sources.push_back(ZsfV2Source{index});
      song.v2Samples.push_back(ZsfV2Sample{index, size, samples[i].offset});
    } else {
      ZsfV1Sample s;
      s.entry = index;
      s.size = size;
      s.offset = samples[i].offset;
      song.samples.push_back(s);
    }
  }
  return song;
}

inline std::vector<uint8_t> SongBytes(const ZsfSong& song) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(WriteZsf(song, &bytes, &error)) << error;
  return bytes;
}

// A synthesised module cut into its structure and its samples (with their offsets).
struct CutModule {
  std::vector<uint8_t> module;
  std::vector<uint8_t> structure;
  std::vector<TestSample> samples;
};

inline CutModule Cut(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  CutModule out;
  zsfsynth::ModuleFile module;
  std::string error;
  EXPECT_TRUE(zsfsynth::WriteModule(spec, kind, &module, &error)) << error;
  out.module = module.bytes;
  std::vector<SampleSpan> spans;
  for (const zsfsynth::WrittenSample& s : module.samples) {
    spans.push_back(SampleSpan{s.offset, s.bytes});
    out.samples.push_back(TestSample{s.pcm, s.bits, 0});
  }
  std::vector<uint32_t> offsets;
  EXPECT_TRUE(CutModuleImage(module.bytes, spans, &out.structure, &offsets, &error)) << error;
  for (size_t i = 0; i < offsets.size() && i < out.samples.size(); ++i) out.samples[i].offset = offsets[i];
  return out;
}

// Loads SONG_BYTES from memory with PACK as the supplied pack stream.
inline uint32_t LoadFromMemory(Song* song, const std::vector<uint8_t>& songBytes,
                               const std::vector<uint8_t>& pack, uint32_t* count = nullptr,
                               uint32_t kind = 4) {
  ByteStream* packStream = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 1);
  ByteStream* songStream = StreamOpenMemory(songBytes.data(), static_cast<uint32_t>(songBytes.size()), 1);
  song->SetPackStream(packStream);
  uint32_t result = song->LoadStream(songStream, count, kind);
  song->SetPackStream(nullptr);
  StreamClose(songStream);
  StreamClose(packStream);
  return result;
}

inline std::vector<uint8_t> Rebuild(Song* song, uint32_t* result = nullptr) {
  ModuleImage image{};
  uint32_t r = song->BuildModuleImage(&image);
  if (result) *result = r;
  std::vector<uint8_t> bytes(image.data, image.data + image.size);
  std::free(image.data);
  return bytes;
}

}  // namespace zsftest
